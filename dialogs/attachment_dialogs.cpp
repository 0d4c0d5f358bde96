#include "dialogs/attachment_dialogs.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDesktopServices>
#include <QDir>
#include <QGridLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QShortcut>
#include <QStyle>
#include <QUrl>

#include <algorithm>
#include <system_error>

#include "card/rules/attachment_files.h"
#include "core/card.h"
#include "dialogs/access_keys.h"
#include "platform/clock.h"
#include "platform/locale_format.h"
#include "platform/message_format.h"
#include "platform/text.h"
#include "platform/text_ids.h"
#include "platform/texts.h"
#include "shell/gui/commands.h"
#include "shell/gui/gui_services.h"
#include "shell/gui/item_images.h"
#include "shell/gui/messages.h"
#include "shell/gui/sound_player.h"
#include "shell/utilities.h"
#include "shell/wave_data.h"

namespace ks::gui {

namespace fs = std::filesystem;

namespace {

constexpr int kAttachmentsStrip = 214;
constexpr int kSoundStrip = 225;
constexpr int kFolderIcon = 213;
constexpr int kAttachmentListFontSlot = 1;
constexpr int kPathRole = Qt::UserRole;
constexpr int kKindRole = Qt::UserRole + 1;
constexpr int kSlotRole = Qt::UserRole;

enum class EntryKind { Up, Folder, File };

QString path_text(const fs::path& path) {
    return QString::fromStdString(path.string());
}
fs::path path_of(const QString& text) {
    return fs::path(text.toStdString());
}
std::u16string shown_path(const fs::path& path) {
    return from_utf8(path.string());
}

void warn(uint32_t text_id, std::initializer_list<FormatArg> args) {
    message_boxes().ask({format_message(load_string(text_id), args),
                         load_string(text_id::kProductName), PromptButtons::Ok,
                         PromptIcon::Exclamation});
}

QPushButton* dialog_button(uint32_t text_id, QWidget* parent) {
    auto* button = new QPushButton(text(text_id), parent);
    button->setAutoDefault(false);
    return button;
}

bool by_name(const fs::path& a, const fs::path& b) {
    const int order =
        QString::compare(path_text(a.filename()), path_text(b.filename()), Qt::CaseInsensitive);
    return order != 0 ? order < 0 : a.filename() < b.filename();
}

// "~" and "~/..." name the home folder; any other relative path is taken from `base`.
fs::path typed_path(const QString& typed, const fs::path& base) {
    QString text = typed.trimmed();
    if (text == QStringLiteral("~") || text.startsWith(QStringLiteral("~/")))
        text.replace(0, 1, QDir::homePath());
    const fs::path path = path_of(text);
    return (path.is_absolute() ? path : base / path).lexically_normal();
}

std::vector<ExportDestination> offered_locations(const FilePickerRequest& request) {
    return request.locations.empty() ? export_destinations() : request.locations;
}

}  // namespace

bool matches_file_pattern(const QString& name, std::u16string_view patterns) {
    QStringList globs;
    for (const QString& pattern : qs(patterns).split(QLatin1Char(';'), Qt::SkipEmptyParts)) {
        const QString glob = pattern.trimmed();
        globs << (glob == QStringLiteral("*.*") ? QStringLiteral("*") : glob);
    }
    return QDir::match(globs, name);
}

// ---- The file chooser ----

FilePicker::FilePicker(QWidget* owner, FilePickerRequest request)
    : FullScreenDialog(owner, request.offer_none ? menu_id::kFilePickerNone : menu_id::kDoneCancel),
      request_(std::move(request)) {
    setObjectName(QStringLiteral("FilePicker"));
    set_title(text(request_.window_title), request_.strip_icon);

    auto* location_label = heading(text_id::kPickerLocation, this);
    locations_ = new QComboBox(this);
    location_label->setBuddy(locations_);
    locations_->setAccessibleName(location_label->text());
    for (const ExportDestination& place : offered_locations(request_))
        locations_->addItem(qs(place.label), path_text(place.folder));
    body()->addWidget(location_label);
    body()->addWidget(locations_);

    list_ = new QListWidget(this);
    list_->setAccessibleName(text(request_.filter_title));
    list_->setIconSize(QSize(16, 16));
    list_->setUniformItemSizes(true);
    list_->installEventFilter(this);
    body()->addWidget(list_, 1);

    QString filter = text(request_.filter_title);
    if (!filter.contains(QLatin1Char('(')))
        filter += QStringLiteral(" (%1)").arg(qs(request_.pattern));
    body()->addWidget(new QLabel(filter, this));

    auto* path_label = heading(text_id::kPickerPath, this);
    path_box_ = new QLineEdit(this);
    path_label->setBuddy(path_box_);
    path_box_->setAccessibleName(path_label->text());
    body()->addWidget(path_label);
    body()->addWidget(path_box_);
    assign_access_keys({location_label, path_label});

    connect(locations_, &QComboBox::activated, this, [this](int index) {
        if (!go_to(path_of(locations_->itemData(index).toString()))) QApplication::beep();
        list_->setFocus();
    });
    connect(list_, &QListWidget::itemActivated, this,
            [this](const QListWidgetItem* item) { activate(item); });
    connect(list_, &QListWidget::currentItemChanged, this, [this](const QListWidgetItem* item) {
        const bool file = item && item->data(kKindRole).toInt() == int(EntryKind::File);
        path_box_->setText(file ? item->data(kPathRole).toString() : path_text(folder_));
    });
    connect(path_box_, &QLineEdit::returnPressed, this, &FilePicker::take_typed_path);
    auto* to_path_box = new QShortcut(QKeySequence(Qt::CTRL | Qt::Key_L), this);
    connect(to_path_box, &QShortcut::activated, this, [this] {
        path_box_->setFocus();
        path_box_->selectAll();
    });

    const fs::path start =
        locations_->count() > 0 ? path_of(locations_->itemData(0).toString()) : fs::path();
    if (start.empty() || !go_to(start)) go_to(path_of(QDir::homePath()));
    list_->setFocus();
}

PickedFile FilePicker::pick_file(QWidget* owner, const FilePickerRequest& request) {
    FilePicker picker(owner, request);
    picker.exec();
    return picker.picked();
}

bool FilePicker::go_to(const fs::path& folder) {
    std::vector<fs::path> folders;
    std::vector<fs::path> files;
    std::error_code ec;
    fs::directory_iterator it(folder, ec);
    if (ec) return false;
    for (const fs::directory_iterator end; !ec && it != end; it.increment(ec)) {
        const fs::path& path = it->path();
        if (path.filename().string().starts_with('.')) continue;  // hidden
        std::error_code type_ec;
        if (it->is_directory(type_ec)) {
            folders.push_back(path);
        } else if (it->is_regular_file(type_ec) &&
                   matches_file_pattern(path_text(path.filename()), request_.pattern)) {
            files.push_back(path);
        }
    }
    std::sort(folders.begin(), folders.end(), by_name);
    std::sort(files.begin(), files.end(), by_name);
    folder_ = folder.lexically_normal();
    if (!folder_.has_filename() && folder_ != folder_.root_path())
        folder_ = folder_.parent_path();  // "a/b/" is "a/b"
    fill(folders, files);
    return true;
}

void FilePicker::fill(const std::vector<fs::path>& folders, const std::vector<fs::path>& files) {
    list_->clear();
    const auto add = [this](const QIcon& icon, const QString& name, const fs::path& path,
                            EntryKind kind) {
        auto* item = new QListWidgetItem(icon, name, list_);
        item->setData(kPathRole, path_text(path));
        item->setData(kKindRole, int(kind));
        return item;
    };
    if (folder_ != folder_.root_path()) {
        add(style()->standardIcon(QStyle::SP_FileDialogToParent), QStringLiteral(".."),
            folder_.parent_path(), EntryKind::Up)
            ->setToolTip(text(text_id::kPickerUp));
    }
    const QIcon folder_icon = strip_icon(kFolderIcon);
    for (const fs::path& folder : folders)
        add(folder_icon, path_text(folder.filename()), folder, EntryKind::Folder);
    const QIcon file_icon = style()->standardIcon(QStyle::SP_FileIcon);
    for (const fs::path& file : files)
        add(file_icon, path_text(file.filename()), file, EntryKind::File);
    // The first entry below "..", which is there only to go up.
    const int first = list_->count() > 1 && folder_ != folder_.root_path() ? 1 : 0;
    if (list_->count() > 0) list_->setCurrentRow(first);
    path_box_->setText(list_->currentItem() &&
                               list_->currentItem()->data(kKindRole).toInt() == int(EntryKind::File)
                           ? list_->currentItem()->data(kPathRole).toString()
                           : path_text(folder_));
}

void FilePicker::activate(const QListWidgetItem* item) {
    if (!item) return;
    const fs::path path = path_of(item->data(kPathRole).toString());
    switch (static_cast<EntryKind>(item->data(kKindRole).toInt())) {
        case EntryKind::Up:
            go_up();
            break;
        case EntryKind::Folder:
            if (!go_to(path)) QApplication::beep();
            break;
        case EntryKind::File:
            finish(PickOutcome::Chosen, path);
            break;
    }
}

void FilePicker::go_up() {
    if (folder_ == folder_.root_path()) return;
    const fs::path left = folder_;
    if (!go_to(folder_.parent_path())) return;
    // The folder just left stays the current entry, so Enter goes back into it.
    const QList<QListWidgetItem*> found =
        list_->findItems(path_text(left.filename()), Qt::MatchExactly);
    for (QListWidgetItem* item : found) {
        if (item->data(kKindRole).toInt() == int(EntryKind::Folder)) list_->setCurrentItem(item);
    }
}

void FilePicker::take_typed_path() {
    if (path_box_->text().trimmed().isEmpty()) {
        QApplication::beep();
        return;
    }
    const fs::path path = typed_path(path_box_->text(), folder_);
    std::error_code ec;
    if (fs::is_directory(path, ec)) {
        if (go_to(path)) {
            list_->setFocus();
            return;
        }
    } else if (fs::is_regular_file(path, ec)) {
        finish(PickOutcome::Chosen, path);
        return;
    }
    QApplication::beep();
}

void FilePicker::on_done() {
    if (path_box_->hasFocus()) {
        take_typed_path();
    } else if (const QListWidgetItem* item = list_->currentItem()) {
        activate(item);
    } else {
        QApplication::beep();  // nothing chosen: Done does nothing
    }
}

void FilePicker::run_command(int id) {
    if (id == cmd::kNone && request_.offer_none) {
        finish(PickOutcome::None, {});
        return;
    }
    FullScreenDialog::run_command(id);
}

void FilePicker::reject() {
    if (!finished_) {
        finished_ = true;
        picked_ = {};
        if (parentWidget()) post_message(parentWidget(), kFilePickerMessage, kPickerCancelled);
    }
    FullScreenDialog::reject();
}

void FilePicker::finish(PickOutcome outcome, fs::path path) {
    finished_ = true;
    picked_ = {outcome, std::move(path)};
    if (parentWidget()) post_message(parentWidget(), kFilePickerMessage, kPickerChosen);
    accept();
}

bool FilePicker::eventFilter(QObject* watched, QEvent* event) {
    if (watched == list_ && event->type() == QEvent::KeyPress) {
        const auto* key = static_cast<QKeyEvent*>(event);
        if (key->key() == Qt::Key_Backspace && key->modifiers() == Qt::NoModifier) {
            go_up();
            return true;
        }
    }
    return FullScreenDialog::eventFilter(watched, event);
}

// ---- Shared by the attachment dialogs and the card view ----

void open_with_desktop(const fs::path& path) {
    QDesktopServices::openUrl(QUrl::fromLocalFile(path_text(path)));
}

void report_saved_file(const fs::path& path) {
    message_boxes().ask(
        {format_message(u"%s\n%s", {load_string(text_id::kFileSaved), shown_path(path)}),
         load_string(text_id::kProductName), PromptButtons::Ok, PromptIcon::Information});
}

void open_attachment_file(const FileAttachment& attachment, OpenedFiles& opened,
                          const DesktopOpener& open, const fs::path& documents) {
    const std::optional<OpenedAttachment> written =
        write_opened_attachment(attachment, opened, documents);
    if (!written) return;
    if (!written->may_open) {
        report_saved_file(written->path);
    } else if (open) {
        open(written->path);
    }
}

std::optional<SecureBytes> read_chosen_file(const fs::path& path) {
    CardFileBytes file = read_card_file(path);
    switch (file.status) {
        case CardFileStatus::Read:
            return std::move(file.bytes);
        case CardFileStatus::TooLarge:
            warn(text_id::kFileTooLarge,
                 {shown_path(path), format_size(static_cast<uint32_t>(kMaxCardFileBytes))});
            break;
        case CardFileStatus::Unreadable:
            warn(text_id::kFileUnreadable, {shown_path(path)});
            break;
    }
    return std::nullopt;
}

// ---- Attachments ----

AttachmentsDialog::AttachmentsDialog(QWidget* owner, Card& card, OpenedFiles& opened)
    : FullScreenDialog(owner, menu_id::kDoneOnly),
      choose_file(FilePicker::pick_file),
      open_with(open_with_desktop),
      card_(card),
      opened_(opened) {
    setObjectName(QStringLiteral("AttachmentsDialog"));
    set_title(text(text_id::kAttachmentsTitle), kAttachmentsStrip);
    list_ = new QListWidget(this);
    list_->setFont(gui::font(kAttachmentListFontSlot));
    list_->setAccessibleName(text(text_id::kAttachmentsTitle));
    body()->addWidget(list_, 1);
    status_ = new QLabel(this);
    status_->setAccessibleName(text(text_id::kAttachmentsTitle));
    status_->setTextInteractionFlags(Qt::TextSelectableByKeyboard | Qt::TextSelectableByMouse);
    body()->addWidget(status_);

    auto* buttons = new QGridLayout;
    add_ = dialog_button(text_id::kAddFile, this);
    remove_ = dialog_button(text_id::kRemoveFile, this);
    export_ = dialog_button(text_id::kExportFile, this);
    open_ = dialog_button(text_id::kOpenFile, this);
    buttons->addWidget(add_, 0, 0);
    buttons->addWidget(remove_, 0, 1);
    buttons->addWidget(export_, 1, 0);
    buttons->addWidget(open_, 1, 1);
    body()->addLayout(buttons);
    assign_access_keys({add_, remove_, export_, open_});

    connect(list_, &QListWidget::currentRowChanged, this, &AttachmentsDialog::update_controls);
    connect(list_, &QListWidget::itemActivated, this, &AttachmentsDialog::open_file);
    connect(add_, &QPushButton::clicked, this, &AttachmentsDialog::add_file);
    connect(remove_, &QPushButton::clicked, this, &AttachmentsDialog::remove_file);
    connect(export_, &QPushButton::clicked, this, &AttachmentsDialog::export_file);
    connect(open_, &QPushButton::clicked, this, &AttachmentsDialog::open_file);
    fill();
    list_->setFocus();
}

void AttachmentsDialog::fill() {
    const QSignalBlocker quiet(list_);
    list_->clear();
    const auto& files = std::as_const(card_).files();
    for (size_t slot = 0; slot < files.size(); ++slot) {
        if (!files[slot].has_data()) continue;
        auto* item = new QListWidgetItem(qs(files[slot].name()), list_);
        item->setData(kSlotRole, static_cast<int>(slot));
    }
    if (list_->count() > 0) list_->setCurrentRow(0);
    update_controls();
}

std::optional<size_t> AttachmentsDialog::selected_slot() const {
    const QListWidgetItem* item = list_->currentItem();
    if (!item || !item->isSelected()) return std::nullopt;
    return static_cast<size_t>(item->data(kSlotRole).toInt());
}

void AttachmentsDialog::update_controls() {
    const std::optional<size_t> slot = selected_slot();
    if (slot) {
        const FileAttachment& file = std::as_const(card_).files()[*slot];
        status_->setText(
            qs(format_message(load_string(text_id::kAttachmentStatus),
                              {format_date(file.file_time(), short_date_format4()),
                               format_size(file.data_stored_length() - file.data_pad())})));
    } else {
        status_->clear();
    }
    remove_->setEnabled(slot.has_value());
    export_->setEnabled(slot.has_value());
    open_->setEnabled(slot.has_value());
    add_->setEnabled(card_.file_count() < card_.files().size());
}

void AttachmentsDialog::add_file() {
    if (card_.file_count() >= card_.files().size() || !choose_file) return;
    const PickedFile picked = choose_file(
        this,
        {u"*.*", text_id::kFilesFilter, text_id::kAddAttachmentTitle, kAttachmentsStrip, true, {}});
    if (picked.outcome != PickOutcome::Chosen || picked.path.empty()) return;
    const std::optional<SecureBytes> bytes = read_chosen_file(picked.path);
    if (!bytes) return;
    FileAttachment attachment;
    attachment.set_from_bytes(bytes->span(), shown_path(picked.path),
                              file_modified_time(picked.path));
    const std::optional<size_t> slot = card_.add_file(std::move(attachment));
    fill();
    for (int row = 0; slot && row < list_->count(); ++row) {
        if (list_->item(row)->data(kSlotRole).toInt() == static_cast<int>(*slot))
            list_->setCurrentRow(row);
    }
}

void AttachmentsDialog::remove_file() {
    const std::optional<size_t> slot = selected_slot();
    if (!slot) return;
    card_.file(*slot).clear();
    fill();
}

void AttachmentsDialog::export_file() {
    const std::optional<size_t> slot = selected_slot();
    if (!slot) return;
    if (const auto path = export_attachment(std::as_const(card_).files()[*slot], documents))
        report_saved_file(*path);
}

void AttachmentsDialog::open_file() {
    const std::optional<size_t> slot = selected_slot();
    if (!slot) return;
    open_attachment_file(std::as_const(card_).files()[*slot], opened_, open_with, documents);
}

// ---- Sound ----

SoundDialog::SoundDialog(QWidget* owner, Card& card)
    : FullScreenDialog(owner, menu_id::kDoneCancel),
      choose_file(FilePicker::pick_file),
      play([](std::span<const uint8_t> wav) { sound_player().play(wav); }),
      stop_playing([] { sound_player().stop(); }),
      card_(card) {
    setObjectName(QStringLiteral("SoundDialog"));
    set_title(text(text_id::kSoundTitle), kSoundStrip);
    stop_playing();
    const SoundAttachment& sound = std::as_const(card_).sound();
    if (sound.has_data()) working_ = WorkingSound{SecureBytes(sound.data_view()), sound.name()};

    auto* name_label = heading(text_id::kCurrentSoundFile, this);
    name_ = new QLabel(this);
    name_->setAccessibleName(name_label->text());
    name_->setTextInteractionFlags(Qt::TextSelectableByKeyboard | Qt::TextSelectableByMouse);
    body()->addWidget(name_label);
    body()->addWidget(name_);
    auto* buttons = new QGridLayout;
    select_ = dialog_button(text_id::kSelectSound, this);
    remove_ = dialog_button(text_id::kRemoveSound, this);
    play_button_ = dialog_button(text_id::kPlaySound, this);
    export_ = dialog_button(text_id::kExportSound, this);
    buttons->addWidget(select_, 0, 0);
    buttons->addWidget(remove_, 0, 1);
    buttons->addWidget(play_button_, 1, 0);
    buttons->addWidget(export_, 1, 1);
    body()->addLayout(buttons);
    play_when_viewed_ = new QCheckBox(text(text_id::kPlayWhenViewed), this);
    play_when_viewed_->setChecked(sound.has_data() && sound.play_when_viewed());
    body()->addWidget(play_when_viewed_);
    body()->addStretch(1);
    assign_access_keys({select_, remove_, play_button_, export_, play_when_viewed_});

    connect(select_, &QPushButton::clicked, this, &SoundDialog::select_sound);
    connect(remove_, &QPushButton::clicked, this, [this] {
        working_.reset();
        update_controls();
    });
    connect(play_button_, &QPushButton::clicked, this, [this] {
        if (!working_) return;
        if (stop_playing) stop_playing();
        if (play) play(working_->data.span());
        played_ = true;
    });
    connect(export_, &QPushButton::clicked, this, &SoundDialog::export_sound);
    update_controls();
    select_->setFocus();
}

void SoundDialog::update_controls() {
    name_->setText(working_ ? qs(working_->name) : QString());
    for (QWidget* control :
         std::initializer_list<QWidget*>{remove_, play_button_, export_, play_when_viewed_})
        control->setEnabled(working_.has_value());
}

void SoundDialog::select_sound() {
    if (!choose_file) return;
    const PickedFile picked = choose_file(
        this,
        {u"*.wav", text_id::kSoundFilesFilter, text_id::kSelectSoundTitle, kSoundStrip, true, {}});
    if (picked.outcome == PickOutcome::None) {
        working_.reset();
    } else if (picked.outcome == PickOutcome::Chosen && !picked.path.empty()) {
        std::optional<SecureBytes> bytes = read_chosen_file(picked.path);
        if (!bytes) return;
        if (!parse_wave(bytes->span())) {
            warn(text_id::kNotASound, {shown_path(picked.path)});
            return;
        }
        working_ =
            WorkingSound{std::move(*bytes), attachment_name_from_path(shown_path(picked.path))};
        play_when_viewed_->setChecked(true);
    }
    update_controls();
}

void SoundDialog::export_sound() {
    if (!working_) return;
    if (const auto path = export_new_copy(working_->data.span(), working_->name, documents))
        report_saved_file(*path);
}

void SoundDialog::store_into_card() {
    const SoundAttachment& stored = std::as_const(card_).sound();
    if (!working_) {
        if (stored.has_data()) card_.sound().clear();
        return;
    }
    const std::span<const uint8_t> data = working_->data.span();
    if (!std::ranges::equal(stored.data_view(), data) || stored.name() != working_->name)
        card_.sound().set_from_bytes(data, working_->name);
    if (play_when_viewed_->isChecked() != stored.play_when_viewed())
        card_.sound().set_play_when_viewed(play_when_viewed_->isChecked());
}

void SoundDialog::on_done() {
    if (working_ && stop_playing) stop_playing();
    store_into_card();
    working_.reset();
    accept();
}

void SoundDialog::reject() {
    if (played_ && stop_playing) stop_playing();
    working_.reset();
    FullScreenDialog::reject();
}

}  // namespace ks::gui
