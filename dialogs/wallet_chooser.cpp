#include "dialogs/wallet_chooser.h"

#include <QFileDialog>
#include <QFileSystemWatcher>
#include <QKeyEvent>
#include <QListWidget>
#include <QMenu>
#include <QPushButton>
#include <QVBoxLayout>

#include <algorithm>
#include <set>

#include "forms/legacy_conversion.h"
#include "platform/message_format.h"
#include "platform/text.h"
#include "platform/texts.h"
#include "shell/gui/commands.h"
#include "shell/gui/drawn_icons.h"
#include "shell/gui/gui_services.h"
#include "shell/gui/messages.h"
#include "shell/gui/soft_keys.h"
#include "shell/settings.h"

namespace ks::gui {

namespace fs = std::filesystem;

namespace {
bool wallet_extension(const fs::path& path) {
    const std::u16string ext = from_utf8(path.extension().string());
    return iequals_ascii(ext, u".ks5") || iequals_ascii(ext, u".wal");
}

QString path_text(const fs::path& path) { return QString::fromStdString(path.string()); }
}  // namespace

std::vector<fs::path> list_wallet_files(const std::vector<fs::path>& folders) {
    std::vector<fs::path> found;
    std::set<fs::path> seen;
    for (const fs::path& folder : folders) {
        std::error_code ec;
        for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
            std::error_code type_ec;
            if (!it->is_regular_file(type_ec) || !wallet_extension(it->path())) continue;
            std::error_code real_ec;
            const fs::path real = fs::weakly_canonical(it->path(), real_ec);
            if (seen.insert(real_ec ? it->path() : real).second) found.push_back(it->path());
        }
    }
    std::stable_sort(found.begin(), found.end(), [](const fs::path& a, const fs::path& b) {
        return QString::compare(path_text(a.filename()), path_text(b.filename()),
                                Qt::CaseInsensitive) < 0;
    });
    return found;
}

QString normalised_new_wallet_path(QString path) {
    if (path.startsWith(QStringLiteral("//"))) path.remove(0, 1);
    if (path.endsWith(QLatin1Char('.'))) path += QStringLiteral("ks5");
    return path;
}

WalletChooser::WalletChooser(QWidget* owner, std::vector<fs::path> folders)
    : FullScreenDialog(owner, menu_id::kChooser), folders_(std::move(folders)) {
    setObjectName(QStringLiteral("WalletChooser"));
    set_title(gui::text(text_id::kChooserTitle), kProgramIcon);
    setFont(gui::font(kDialogFontSlot));
    body()->setContentsMargins(0, 0, 0, 0);
    list_ = new QListWidget(this);
    list_->setAccessibleName(gui::text(text_id::kWalletFilter));
    list_->setFrameShape(QFrame::NoFrame);
    list_->setIconSize(QSize(16, 16));
    body()->addWidget(list_, 1);
    browse_ = new QPushButton(gui::text(text_id::kBrowse), this);
    browse_->setAutoDefault(false);
    browse_->setAccessibleName(browse_->text());
    body()->addWidget(browse_);
    connect(browse_, &QPushButton::clicked, this, [this] { run_command(cmd::kBrowse); });
    connect(list_, &QListWidget::itemActivated, this, [this] { run_command(cmd::kOpen); });
    connect(soft_keys(), &SoftKeyBar::menu_about_to_show, this, &WalletChooser::update_menu);
    // The list follows the folders: wallets copied in, synced or deleted elsewhere.
    auto* watcher = new QFileSystemWatcher(this);
    for (const fs::path& folder : folders_) watcher->addPath(path_text(folder));
    connect(watcher, &QFileSystemWatcher::directoryChanged, this, &WalletChooser::refresh);

    ask_new_path = [this] {
        QFileDialog dialog(this, gui::text(text_id::kChooserTitle),
                           folders_.empty() ? QString() : path_text(folders_.front()),
                           gui::text(text_id::kKeystashFiles));
        dialog.setAcceptMode(QFileDialog::AcceptSave);
        dialog.setDefaultSuffix(QStringLiteral("ks5"));
        return dialog.exec() == QDialog::Accepted && !dialog.selectedFiles().isEmpty()
                   ? dialog.selectedFiles().front()
                   : QString();
    };
    ask_browse_path = [this] {
        return QFileDialog::getOpenFileName(
            this, gui::text(text_id::kBrowse),
            folders_.empty() ? QString() : path_text(folders_.front()),
            gui::text(text_id::kWalletFilter) + QStringLiteral(" (*.ks5 *.wal)"));
    };
    refresh();
}

std::vector<ChooserEntry> desktop_chooser_entries(const std::vector<fs::path>& folders) {
    std::vector<ChooserEntry> entries;
    const QIcon icon = resource_icon(kProgramIcon);
    for (const fs::path& path : list_wallet_files(folders)) {
        // A wallet shows as its name; a previous-version file keeps its extension, so the
        // conversion it needs is no surprise.
        const bool legacy = is_legacy_wallet_path(path);
        entries.push_back({legacy ? path_text(path.filename()) : path_text(path.stem()), icon, path});
    }
    return entries;
}

void WalletChooser::set_heading(const QString& text) { set_title(text, kProgramIcon); }

void WalletChooser::offer_browse(bool offered) {
    browse_offered_ = offered;
    browse_->setVisible(offered);
}

void WalletChooser::refresh() {
    const fs::path previous = selected_path();
    list_->clear();
    for (const ChooserEntry& entry : list_entries(folders_)) {
        auto* item = new QListWidgetItem(entry.icon, entry.text, list_);
        item->setData(Qt::UserRole, path_text(entry.path));
        item->setToolTip(path_text(entry.path));
    }
    if (!previous.empty()) select_path(previous);
    if (!list_->currentItem() && list_->count() > 0) list_->setCurrentRow(0);
    list_->setFocus();
}

void WalletChooser::select_path(const fs::path& path) {
    for (int i = 0; i < list_->count(); ++i) {
        if (list_->item(i)->data(Qt::UserRole).toString() == path_text(path)) {
            list_->setCurrentRow(i);
            return;
        }
    }
}

fs::path WalletChooser::selected_path() const {
    const QListWidgetItem* item = list_->currentItem();
    if (!item) return {};
    return fs::path(item->data(Qt::UserRole).toString().toStdString());
}

void WalletChooser::update_menu() {
    if (QAction* exit = soft_keys()->action(cmd::kExit)) {
        exit->setVisible(app_settings().ExitMenu != 0);
    }
    if (QAction* browse = soft_keys()->action(cmd::kBrowse)) browse->setVisible(browse_offered_);
}

void WalletChooser::run_command(int id) {
    switch (id) {
        case cmd::kOpen:
            open_path(selected_path());
            break;
        case cmd::kBrowse: {
            if (!browse_offered_) break;
            const QString chosen = ask_browse_path ? ask_browse_path() : QString();
            if (!chosen.isEmpty()) open_path(fs::path(chosen.toStdString()));
            break;
        }
        case cmd::kNew: {
            const QString answer = ask_new_path ? ask_new_path() : QString();
            if (answer.isEmpty()) break;
            const fs::path path(normalised_new_wallet_path(answer).toStdString());
            std::error_code ec;
            fs::remove(path, ec);  // the save dialog asked before replacing it
            chosen_ = path;
            report(ChooserChoice::New);
            break;
        }
        case cmd::kDelete: {
            const fs::path path = selected_path();
            if (path.empty()) break;
            const PromptAnswer answer = message_boxes().ask(
                {format_message(load_string(text_id::kDeleteWalletAsk), {from_utf8(path.string())}),
                 load_string(text_id::kProductName), PromptButtons::YesNo, PromptIcon::Exclamation});
            if (answer == PromptAnswer::Yes) {
                std::error_code ec;
                fs::remove(path, ec);
                refresh();
            }
            break;
        }
        case cmd::kAbout:
            if (show_about) show_about();
            break;
        case cmd::kExit:
        case cmd::kCancel:
        case cmd::kOk:  // Done
            report(ChooserChoice::Exit);
            break;
        default:
            break;
    }
}

void WalletChooser::open_path(fs::path path) {
    if (path.empty()) return;
    if (is_legacy_wallet_path(path)) {
        path = convert_legacy ? convert_legacy(path) : fs::path{};
        if (path.empty()) {
            refresh();
            return;  // a failed conversion keeps the chooser open
        }
    }
    chosen_ = std::move(path);
    report(ChooserChoice::Open);
}

void WalletChooser::reject() {
    if (!reported_) {
        report(ChooserChoice::Exit);
        return;
    }
    FullScreenDialog::reject();
}

void WalletChooser::report(ChooserChoice choice) {
    if (reported_) return;
    reported_ = true;
    if (parentWidget()) post_message(parentWidget(), MWM_CHOOSERDONE, static_cast<int>(choice));
    done(static_cast<int>(choice));
}

}  // namespace ks::gui
