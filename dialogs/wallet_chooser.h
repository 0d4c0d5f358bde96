#pragma once
// The start screen while no wallet is open: the wallets in the documents folder and on storage
// locations, with New, Open, Browse, Delete, About and Exit. It reports its choice to its owner
// by posting MWM_CHOOSERDONE.
#include <QIcon>
#include <QString>

#include <filesystem>
#include <functional>
#include <vector>

#include "card/full_screen_dialog.h"

class QListWidget;
class QPushButton;

namespace ks::gui {

constexpr uint32_t MWM_CHOOSERDONE = 3026;

enum class ChooserChoice : int { Exit = 1, New = 2, Open = 3 };

// The wallet files ("*.wal;*.ks5", any case) directly in each folder, each listed once (by its
// real path), sorted by name without regard to case.
std::vector<std::filesystem::path> list_wallet_files(
    const std::vector<std::filesystem::path>& folders);

// The name a save dialog's answer becomes: a leading "//" loses one "/", a name ending in "."
// gets "ks5".
QString normalised_new_wallet_path(QString path);

// One wallet in the chooser's list.
struct ChooserEntry {
    QString text;
    QIcon icon;
    std::filesystem::path path;
};

// The desktop's list: each wallet by its name (a previous-version file with its extension).
std::vector<ChooserEntry> desktop_chooser_entries(const std::vector<std::filesystem::path>& folders);

class WalletChooser final : public FullScreenDialog {
    Q_OBJECT
  public:
    WalletChooser(QWidget* owner, std::vector<std::filesystem::path> folders);

    // Replaceable for tests: the save dialog of New and the open dialog of Browse (empty:
    // cancelled), and the conversion of a previous-version wallet (the new path, or empty).
    std::function<QString()> ask_new_path;
    std::function<QString()> ask_browse_path;
    std::function<std::filesystem::path(const std::filesystem::path&)> convert_legacy;
    std::function<void()> show_about;
    // How the wallets of the folders are listed (the keypad edition lists its own way).
    std::function<std::vector<ChooserEntry>(const std::vector<std::filesystem::path>&)>
        list_entries = desktop_chooser_entries;

    // The keypad edition's picker has its own title and no Browse.
    void set_heading(const QString& text);
    void offer_browse(bool offered);

    void refresh();
    QListWidget* list() const { return list_; }
    const std::filesystem::path& chosen_path() const { return chosen_; }
    void select_path(const std::filesystem::path& path);
    void run_command(int id) override;

  protected:
    void on_done() override { report(ChooserChoice::Exit); }
    void reject() override;

  private:
    std::filesystem::path selected_path() const;
    void open_path(std::filesystem::path path);
    void report(ChooserChoice choice);
    void update_menu();

    std::vector<std::filesystem::path> folders_;
    QListWidget* list_;
    QPushButton* browse_;
    bool browse_offered_ = true;
    std::filesystem::path chosen_;
    bool reported_ = false;
};

}  // namespace ks::gui
