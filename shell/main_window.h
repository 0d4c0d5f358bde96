#pragma once
// The program's one top-level window: the header with the find bar, the wallet's items below
// it and the soft-key bar at the bottom. It routes the commands, runs the find, and drives the
// life of the open wallet (open, chooser, auto-close, exit) through its private messages.
#include <QAbstractButton>
#include <QLineEdit>
#include <QPointer>
#include <QTimer>
#include <QWidget>

#include <filesystem>
#include <map>
#include <memory>
#include <optional>

#include "core/search.h"
#include "core/wallet_document.h"
#include "dialogs/options_dialogs.h"
#include "dialogs/wallet_chooser.h"
#include "shell/idle_watcher.h"
#include "shell/shell_integration.h"
#include "shell/session_rules.h"
#include "shell/wallet_session.h"
#include "shell/wallet_tree.h"


namespace ks {
class Registry;
}

namespace ks::gui {

class SoftKeyBar;
class WalletChooser;

// Private messages of the main window.
constexpr uint32_t MWM_RUNFIND = 3025;
constexpr uint32_t MWM_CARDCLOSED = 3027;
constexpr uint32_t MWM_DROP = 3028;
constexpr uint32_t MWM_OPENPATH = 3029;
constexpr uint32_t MWM_SHOWCHOOSER = 3030;
constexpr uint32_t MWM_SHOWTREE = 3031;
constexpr uint32_t MWM_RESORT = 3032;
constexpr uint32_t MWM_IMPORTFORMFILE = 3124;
constexpr uint32_t MWM_IMPORTTEXT = 3125;
constexpr uint32_t MWM_SYNCSTART = 3524;
constexpr uint32_t MWM_SYNCEND = 3525;
// A command posted as a message (wparam: the command id).
constexpr uint32_t WM_COMMAND = 0x0111;
// Posted by the idle watcher's thread: dismiss the dialogs and exit (the rule held).
constexpr uint32_t MWM_AUTOCLOSE = 3526;

// Timers of the main window.
constexpr int TIMER_DRAGSCROLL = 3000;
constexpr int TIMER_IDLECHECK = 3001;
constexpr int TIMER_SYNCCLOSE = 3002;

// The dialogs the main window runs to completion; tests replace them with scripted answers.
class DialogRunner {
  public:
    virtual ~DialogRunner() = default;
    virtual std::optional<SecretText> ask_password(QWidget* owner, const PasswordQuestion& q);
    virtual std::optional<NewPassword> ask_new_password(QWidget* owner, bool new_wallet);
    virtual std::optional<DisplayValues> display_options(QWidget* owner, const DisplayValues& v);
    virtual std::optional<SecurityValues> security_options(QWidget* owner,
                                                          const SecurityValues& v);
    virtual void about(QWidget* owner);
};

// An owner-drawn header button: the header's gradient under its icon, a pale-to-deeper orange
// gradient in a black frame while pressed.
class HeaderButton final : public QAbstractButton {
    Q_OBJECT
  public:
    HeaderButton(int id, int icon_resource, QWidget* parent);
    int id() const { return id_; }

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    int id_;
};

// The find edit: Return runs the find, Down goes to the tree; it empties its prompt text on
// entry.
class FindEdit final : public QLineEdit {
    Q_OBJECT
  public:
    explicit FindEdit(QWidget* parent);

  signals:
    void run_find();
    void leave_down();

  protected:
    void focusInEvent(QFocusEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
};

class MainWindow final : public QWidget {
    Q_OBJECT
  public:
    MainWindow(Registry& registry, std::unique_ptr<DialogRunner> dialogs = nullptr);
    ~MainWindow() override;

    // Runs a command as its menu item, soft key or button would.
    void command(int id);
    void set_startup_path(const std::filesystem::path& path) { startup_path_ = path; }

    // State, for the program's own checks and for tests.
    bool find_mode() const { return find_mode_; }
    int current_menu_id() const;
    SoftKeyBar* soft_keys() const { return keys_; }
    FindEdit* find_edit() const { return find_edit_; }
    HeaderButton* header_button(int id) const;
    WalletTree* tree() const { return tree_; }
    WalletChooser* chooser() const { return chooser_; }
    WalletSession& session() { return session_; }
    WalletDocument& document() { return document_; }
    const SearchResults& search_results() const { return results_; }
    bool timer_active(int id) const;
    IdleWatcher& idle_watcher() { return watcher_; }
    ActivityState& activity() { return activity_; }
    const HeaderLayout& layout_now() const { return layout_; }
    QString header_text() const;
    // The folders the chooser lists; the documents folder and storage locations by default.
    void set_chooser_folders(std::vector<std::filesystem::path> folders);
    // Applies the auto-close rule now (the idle timer and activation do).
    void apply_auto_close();

  signals:
    // The window closed: the program ends.
    void finished();

  protected:
    bool event(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void changeEvent(QEvent* event) override;

  private:
    void handle_message(uint32_t message, intptr_t wparam);
    void set_timer(int id, int ms);
    void kill_timer(int id);
    void timer_fired(int id);

    void select_menu(int menu_id);
    void enable_menu_items();
    void set_find_mode(bool on);
    void lay_out();
    void run_find();
    void show_tree_message();
    void open_path(const std::filesystem::path& path);
    void show_chooser();
    void chooser_done(int choice);
    void close_wallet();
    void exit_program();
    void dismiss_dialogs();
    void switched_away();
    void start_auto_close();
    void stop_auto_close();
    void select_first_row();
    void change_password();
    void display_options();
    void security_options();
    void expand_or_collapse();
    void open_address(const std::string& address);
    void open_help();
  public:
    // A request that came through the single-instance socket (an InstanceRequest).
    void handle_instance_request(int request);

  private:

    Registry& registry_;
    BrowserCommandCache browser_;
    std::unique_ptr<DialogRunner> dialogs_;
    WalletDocument document_;
    WalletSession session_;
    ActivityState activity_;
    IdleWatcher watcher_;
    SearchResults results_;
    std::filesystem::path startup_path_;
    std::vector<std::filesystem::path> chooser_folders_;
    bool chooser_folders_set_ = false;

    HeaderLayout layout_;
    bool find_mode_ = false;
    bool dismissing_ = false;
    bool exiting_ = false;
    int modal_depth_ = 0;
    bool expanded_ = false;
    std::map<int, QTimer*> timers_;
    SoftKeyBar* keys_ = nullptr;
    FindEdit* find_edit_ = nullptr;
    std::map<int, HeaderButton*> buttons_;
    WalletTree* tree_ = nullptr;
    QPointer<WalletChooser> chooser_;
};

}  // namespace ks::gui
