#pragma once
// The card's attached files and its sound, and the program's own file chooser that they, the
// background and the icon dialogs choose files with.
#include <QListWidget>

#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "card/full_screen_dialog.h"
#include "dialogs/exchange_dialogs.h"
#include "platform/bytes.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;

namespace ks {
class Card;
class FileAttachment;
class OpenedFiles;
}  // namespace ks

namespace ks::gui {

// Posted by the file chooser to its owner when it ends: wParam kPickerChosen when a file or
// "None" was chosen, kPickerCancelled when it was cancelled.
constexpr uint32_t kFilePickerMessage = 4025;
constexpr intptr_t kPickerChosen = 3;
constexpr intptr_t kPickerCancelled = 1;

struct FilePickerRequest {
    std::u16string pattern = u"*.*";  // one or more patterns separated by ";"
    uint32_t filter_title = 0;        // text ids
    uint32_t window_title = 0;
    int strip_icon = 0;
    bool offer_none = false;
    // The places offered; empty: the documents folder, then the mounted media.
    std::vector<ExportDestination> locations;
};

enum class PickOutcome { Chosen, None, Cancelled };
struct PickedFile {
    PickOutcome outcome = PickOutcome::Cancelled;
    std::filesystem::path path;  // when chosen
};

// How a dialog chooses a file; FilePicker::pick_file unless a test scripts it.
using FileChooser = std::function<PickedFile(QWidget* owner, const FilePickerRequest& request)>;
// How an opened attachment reaches the program the desktop opens it with.
using DesktopOpener = std::function<void(const std::filesystem::path& path)>;

// Whether `name` matches one of `patterns` ("*.bmp;*.jpg", "*" and "?"), case ignored; "*.*"
// matches every name, also one without a dot.
bool matches_file_pattern(const QString& name, std::u16string_view patterns);

// The chooser: a place, the folders and the matching files of the current folder, and a box
// where any folder or file may be typed. Enter opens a folder or chooses a file, Backspace goes
// up a folder, Ctrl+L goes to the box.
class FilePicker final : public FullScreenDialog {
    Q_OBJECT
  public:
    FilePicker(QWidget* owner, FilePickerRequest request);
    // Runs a chooser modally over `owner`.
    static PickedFile pick_file(QWidget* owner, const FilePickerRequest& request);

    const PickedFile& picked() const { return picked_; }
    const std::filesystem::path& folder() const { return folder_; }
    // Lists `folder`; false, changing nothing, when it cannot be read.
    bool go_to(const std::filesystem::path& folder);
    void run_command(int id) override;

    QListWidget* list() const { return list_; }
    QComboBox* locations() const { return locations_; }
    QLineEdit* path_box() const { return path_box_; }

  protected:
    void on_done() override;
    void reject() override;
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void fill(const std::vector<std::filesystem::path>& folders,
              const std::vector<std::filesystem::path>& files);
    void activate(const QListWidgetItem* item);
    void go_up();
    void take_typed_path();
    void finish(PickOutcome outcome, std::filesystem::path path);

    FilePickerRequest request_;
    std::filesystem::path folder_;
    PickedFile picked_;
    bool finished_ = false;
    QComboBox* locations_;
    QListWidget* list_;
    QLineEdit* path_box_;
};

// Hands a file to the program the desktop opens it with.
void open_with_desktop(const std::filesystem::path& path);

// "The file was saved as" and the path, in an information box.
void report_saved_file(const std::filesystem::path& path);

// Open of an attachment, from the Attachments dialog or the card view: the attachment written
// out and handed to `open`; a wallet file is saved into `documents` (the documents folder when
// empty) and reported instead. Nothing is said when it could not be written.
void open_attachment_file(const FileAttachment& attachment, OpenedFiles& opened,
                          const DesktopOpener& open, const std::filesystem::path& documents = {});

// Reads a file chosen for the card, telling the user why when it cannot be taken.
std::optional<SecureBytes> read_chosen_file(const std::filesystem::path& path);

// Attachments: every change reaches the card at once; Done and Cancel only close.
class AttachmentsDialog final : public FullScreenDialog {
    Q_OBJECT
  public:
    AttachmentsDialog(QWidget* owner, Card& card, OpenedFiles& opened);

    FileChooser choose_file;
    DesktopOpener open_with;
    std::filesystem::path documents;  // where Export File writes; empty: the documents folder

    QListWidget* list() const { return list_; }
    QLabel* status() const { return status_; }
    QPushButton* add_button() const { return add_; }
    QPushButton* remove_button() const { return remove_; }
    QPushButton* export_button() const { return export_; }
    QPushButton* open_button() const { return open_; }

  private:
    void fill();
    void update_controls();
    std::optional<size_t> selected_slot() const;
    void add_file();
    void remove_file();
    void export_file();
    void open_file();

    Card& card_;
    OpenedFiles& opened_;
    QListWidget* list_;
    QLabel* status_;
    QPushButton* add_;
    QPushButton* remove_;
    QPushButton* export_;
    QPushButton* open_;
};

// The sound: chosen, played, exported and removed on a working copy that Done stores.
class SoundDialog final : public FullScreenDialog {
    Q_OBJECT
  public:
    SoundDialog(QWidget* owner, Card& card);

    FileChooser choose_file;
    std::function<void(std::span<const uint8_t> wav)> play;
    std::function<void()> stop_playing;
    std::filesystem::path documents;  // where Export Sound writes; empty: the documents folder

    bool has_working_sound() const { return working_.has_value(); }
    QLabel* file_name() const { return name_; }
    QCheckBox* play_when_viewed() const { return play_when_viewed_; }
    QPushButton* select_button() const { return select_; }
    QPushButton* remove_button() const { return remove_; }
    QPushButton* play_button() const { return play_button_; }
    QPushButton* export_button() const { return export_; }

  protected:
    void on_done() override;
    void reject() override;

  private:
    struct WorkingSound {
        SecureBytes data;
        std::u16string name;
    };
    void update_controls();
    void select_sound();
    void export_sound();
    void store_into_card();

    Card& card_;
    std::optional<WorkingSound> working_;
    bool played_ = false;
    QLabel* name_;
    QCheckBox* play_when_viewed_;
    QPushButton* select_;
    QPushButton* remove_;
    QPushButton* play_button_;
    QPushButton* export_;
};

}  // namespace ks::gui
