#include "shell/main_window.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QDesktopServices>
#include <QDialog>
#include <QKeyEvent>
#include <QMenu>
#include <QPainter>
#include <QProcess>
#include <QShortcut>
#include <QUrl>

#include "card/rules/attachment_files.h"
#include "core/keys.h"
#include "core/format.h"
#include "dialogs/password_dialogs.h"
#include "dialogs/wallet_chooser.h"
#include "forms/legacy_conversion.h"
#include "platform/clock.h"
#include "platform/instance.h"
#include "platform/product.h"
#include "platform/registry.h"
#include "platform/string_table.h"
#include "platform/text.h"
#include "platform/texts.h"
#include "shell/gui/commands.h"
#include "shell/gui/drawn_icons.h"
#include "shell/gui/gui_services.h"
#include "shell/gui/messages.h"
#include "shell/gui/secret_clipboard.h"
#include "shell/gui/soft_keys.h"
#include "shell/settings.h"
#include "shell/shell_integration.h"
#include "shell/utilities.h"

namespace ks::gui {

namespace fs = std::filesystem;

namespace {
constexpr int kIdleCheckMs = 10000;
constexpr int kSyncCloseMs = 1000;
constexpr uint32_t kHeaderLine = 0x9C613B;
constexpr uint32_t kPressedStart = 0xCCF4FF;
constexpr uint32_t kPressedEnd = 0x91D0FF;

// Counts a dialog run to completion, so that an exit waits until it has unwound.
class ModalScope {
  public:
    explicit ModalScope(int& depth) : depth_(depth) { ++depth_; }
    ~ModalScope() { --depth_; }
    ModalScope(const ModalScope&) = delete;
    ModalScope& operator=(const ModalScope&) = delete;

  private:
    int& depth_;
};

// The session's questions through the program's dialogs and message boxes.
class WindowSessionUi final : public SessionUi {
  public:
    WindowSessionUi(QWidget* owner, DialogRunner& dialogs, int& modal_depth)
        : owner_(owner), dialogs_(dialogs), modal_depth_(modal_depth) {}
    std::optional<SecretText> ask_password(const PasswordQuestion& q) override {
        ModalScope scope(modal_depth_);
        return dialogs_.ask_password(owner_, q);
    }
    std::optional<NewPassword> ask_new_password(bool new_wallet) override {
        ModalScope scope(modal_depth_);
        return dialogs_.ask_new_password(owner_, new_wallet);
    }
    Prompt& prompt() override { return message_boxes(); }
    void set_busy(bool busy) override {
        if (busy) QApplication::setOverrideCursor(Qt::WaitCursor);
        else QApplication::restoreOverrideCursor();
    }

  private:
    QWidget* owner_;
    DialogRunner& dialogs_;
    int& modal_depth_;
};
}  // namespace

// ---- DialogRunner ----

std::optional<SecretText> DialogRunner::ask_password(QWidget* owner, const PasswordQuestion& q) {
    PasswordEntryDialog dialog(owner, q);
    if (dialog.exec() != QDialog::Accepted) return std::nullopt;
    return dialog.password();
}

std::optional<NewPassword> DialogRunner::ask_new_password(QWidget* owner, bool new_wallet) {
    NewPasswordDialog dialog(owner, new_wallet);
    if (dialog.exec() != QDialog::Accepted) return std::nullopt;
    return dialog.result_password();
}

std::optional<DisplayValues> DialogRunner::display_options(QWidget* owner, const DisplayValues& v) {
    DisplayOptionsDialog dialog(owner, v);
    if (dialog.exec() != QDialog::Accepted) return std::nullopt;
    return dialog.values();
}

std::optional<SecurityValues> DialogRunner::security_options(QWidget* owner,
                                                            const SecurityValues& v) {
    SecurityOptionsDialog dialog(owner, v);
    if (dialog.exec() != QDialog::Accepted) return std::nullopt;
    return dialog.values();
}

void DialogRunner::about(QWidget* owner) {
    AboutBox box(owner);
    box.open_web_site = [] {
        QDesktopServices::openUrl(QUrl(QString::fromLatin1(kWebAddress)));
    };
    box.exec();
}

// ---- Header controls ----

HeaderButton::HeaderButton(int id, int icon_resource, QWidget* parent)
    : QAbstractButton(parent), id_(id) {
    setIcon(resource_icon(icon_resource));
    setFocusPolicy(Qt::NoFocus);
    setCursor(Qt::PointingHandCursor);
}

void HeaderButton::paintEvent(QPaintEvent*) {
    QPainter p(this);
    const AppSettings& s = app_settings();
    const QRect r = rect();
    if (isDown()) {
        gradient_fill(p, r, colour(kPressedStart), colour(kPressedEnd));
        p.setPen(Qt::black);
        p.drawRect(r.adjusted(0, 0, -1, -1));
    } else {
        // The header's own gradient, in the steps of the whole band, so the button blends in.
        const QRect band(0, -y(), width(), parentWidget() ? 22 : height());
        gradient_fill_in(p, r, colour(s.ColorBarStart), colour(s.ColorBarEnd), band);
    }
    icon().paint(&p, r.adjusted(2, 2, -2, -2));
}

FindEdit::FindEdit(QWidget* parent) : QLineEdit(parent) {
    setMaxLength(static_cast<int>(kFindTextLimit));
    setPlaceholderText(gui::text(text_id::kFindPrompt));
    setAccessibleName(gui::text(text_id::kFindPrompt));
    setClearButtonEnabled(false);
}

void FindEdit::focusInEvent(QFocusEvent* event) {
    QLineEdit::focusInEvent(event);
    if (QLineEdit::text() == gui::text(text_id::kFindPrompt)) clear();
    end(false);
}

void FindEdit::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        emit run_find();
        return;
    }
    if (event->key() == Qt::Key_Down) {
        emit leave_down();
        return;
    }
    QLineEdit::keyPressEvent(event);
}

// ---- MainWindow ----

MainWindow::MainWindow(Registry& registry, std::unique_ptr<DialogRunner> dialogs)
    : registry_(registry),
      dialogs_(dialogs ? std::move(dialogs) : std::make_unique<DialogRunner>()),
      session_(document_, app_settings()),
      watcher_(activity_, [this] { post_message(this, MWM_AUTOCLOSE); }) {
    setObjectName(QString::fromLatin1(kMainWindowClass.data(),
                                      static_cast<qsizetype>(kMainWindowClass.size())));
    setWindowTitle(QStringLiteral("Keystash Pro 6"));
    setWindowIcon(resource_icon(kProgramIcon));
    setAttribute(Qt::WA_OpaquePaintEvent, false);
    QPalette pal = palette();
    pal.setColor(QPalette::Window, Qt::white);
    setPalette(pal);
    setAutoFillBackground(true);
    resize(480, 640);
    activity_.touch();

    for (auto [id, icon] : {std::pair{cmd::kModeButton, kModeIcon}, {cmd::kSearchButton, kSearchIcon},
                            {cmd::kClearButton, kClearIcon}, {cmd::kExpandButton, kExpandIcon}}) {
        auto* b = new HeaderButton(id, icon, this);
        buttons_[id] = b;
        connect(b, &QAbstractButton::clicked, this, [this, id = id] { command(id); });
    }
    buttons_[cmd::kModeButton]->setAccessibleName(qs(translate_menu_text(u"Find")));
    buttons_[cmd::kSearchButton]->setAccessibleName(qs(translate_menu_text(u"Go")));
    buttons_[cmd::kClearButton]->setAccessibleName(qs(translate_menu_text(u"Clear")));
    buttons_[cmd::kExpandButton]->setAccessibleName(gui::text(text_id::kExpandAll));
    find_edit_ = new FindEdit(this);
    find_edit_->setFont(gui::font(kHeaderFontSlot));
    connect(find_edit_, &FindEdit::run_find, this, [this] { post_message(this, MWM_RUNFIND); });
    connect(find_edit_, &FindEdit::leave_down, this, [this] { tree_->setFocus(); });
    connect(find_edit_, &QLineEdit::textChanged, this, [this] {
        lay_out();
        find_edit_->setFocus();
    });

    tree_ = new WalletTree(document_, results_, this);
    tree_->setAccessibleName(qs(load_string(text_id::kProductName)));
    tree_->setFont(font_for_size(app_settings().FontMain, app_settings().FontMainStyle & 1));
    tree_->hide();
    connect(tree_, &WalletTree::enter_find, this, [this] { set_find_mode(true); });
    connect(tree_, &WalletTree::activity, this, [this] { activity_.touch(); });
    connect(tree_, &WalletTree::dropped, this, [this] { post_message(this, MWM_DROP); });

    select_menu(app_settings().MenusExpanded ? menu_id::kMainExpanded : menu_id::kMain);

    auto* quit_key = new QShortcut(QKeySequence(Qt::CTRL | Qt::Key_Q), this);
    connect(quit_key, &QShortcut::activated, this, [this] { command(cmd::kOk); });
    auto* find_key = new QShortcut(QKeySequence::Find, this);
    connect(find_key, &QShortcut::activated, this, [this] {
        if (session_.is_open()) set_find_mode(true);
    });
    auto* help_key = new QShortcut(QKeySequence::HelpContents, this);
    connect(help_key, &QShortcut::activated, this, [this] { command(cmd::kHelp); });
    auto* menu_key = new QShortcut(QKeySequence(Qt::Key_F10), this);
    connect(menu_key, &QShortcut::activated, this, [this] { keys_->press_right(); });

    qApp->installEventFilter(this);
    connect(qApp, &QGuiApplication::applicationStateChanged, this,
            [this](Qt::ApplicationState state) {
                if (state != Qt::ApplicationActive) switched_away();
            });
    message_boxes().set_owner(this);
    lay_out();
}

MainWindow::~MainWindow() {
    qApp->removeEventFilter(this);
    watcher_.stop();
    message_boxes().set_owner(nullptr);
    // The tree listens to the document, which goes before the window's children do.
    delete tree_;
    tree_ = nullptr;
    session_.close();
}

// ---- Messages and timers ----

bool MainWindow::event(QEvent* e) {
    if (e->type() == MessageEvent::type()) {
        const auto* m = static_cast<MessageEvent*>(e);
        handle_message(m->message, m->wparam);
        return true;
    }
    return QWidget::event(e);
}

void MainWindow::handle_message(uint32_t message, intptr_t wparam) {
    switch (message) {
        case MWM_RUNFIND: run_find(); break;
        case MWM_CHOOSERDONE: chooser_done(static_cast<int>(wparam)); break;
        case MWM_OPENPATH: open_path(startup_path_); break;
        case MWM_SHOWCHOOSER: show_chooser(); break;
        case MWM_SHOWTREE:
            if (wparam == 1) {
                activateWindow();
                set_find_mode(false);
                select_first_row();
            }
            break;
        case MWM_SYNCSTART:
            set_timer(TIMER_SYNCCLOSE, kSyncCloseMs);
            QApplication::beep();
            break;
        case MWM_SYNCEND: QApplication::beep(); break;
        case MWM_AUTOCLOSE:
            if (activity_.due(clock().now())) {
                dismiss_dialogs();
                post_message(this, WM_COMMAND, cmd::kExit);
            }
            break;
        case WM_COMMAND: command(static_cast<int>(wparam)); break;
        case MWM_DROP: tree_->finish_drop(); break;
        case MWM_CARDCLOSED: tree_->card_closed(static_cast<int>(wparam)); break;
        default: break;
    }
}

void MainWindow::set_timer(int id, int ms) {
    QTimer*& timer = timers_[id];
    if (!timer) {
        timer = new QTimer(this);
        connect(timer, &QTimer::timeout, this, [this, id] { timer_fired(id); });
    }
    timer->start(ms);
}

void MainWindow::kill_timer(int id) {
    if (auto it = timers_.find(id); it != timers_.end() && it->second) it->second->stop();
}

bool MainWindow::timer_active(int id) const {
    auto it = timers_.find(id);
    return it != timers_.end() && it->second && it->second->isActive();
}

void MainWindow::timer_fired(int id) {
    switch (id) {
        case TIMER_IDLECHECK: apply_auto_close(); break;
        case TIMER_SYNCCLOSE:
            kill_timer(TIMER_SYNCCLOSE);
            post_message(this, MWM_SHOWCHOOSER);
            break;
        default: kill_timer(id); break;
    }
}

bool MainWindow::eventFilter(QObject* watched, QEvent* e) {
    switch (e->type()) {
        case QEvent::KeyPress:
        case QEvent::MouseButtonPress:
        case QEvent::MouseMove:
        case QEvent::Wheel:
        case QEvent::Shortcut:
            activity_.touch();
            break;
        default: break;
    }
    return QWidget::eventFilter(watched, e);
}

// ---- Commands ----

void MainWindow::command(int id) {
    activity_.touch();
    switch (id) {
        case cmd::kOk:
        case cmd::kCancel:
            post_message(this, MWM_SHOWCHOOSER);
            break;
        case cmd::kExit: exit_program(); break;
        case cmd::kChangePassword: change_password(); break;
        case cmd::kAbout: {
            ModalScope scope(modal_depth_);
            dialogs_->about(this);
            break;
        }
        case cmd::kFindCancel: set_find_mode(false); break;
        case cmd::kWallets:
            kill_timer(TIMER_IDLECHECK);
            watcher_.stop();
            show_chooser();
            break;
        case cmd::kFind:
            if (session_.is_open()) set_find_mode(true);
            break;
        case cmd::kGo:
        case cmd::kSearchButton: run_find(); break;
        case cmd::kDisplay: display_options(); break;
        case cmd::kSecurity: security_options(); break;
        case cmd::kCheckForUpdates: open_address(std::string(kUpdatePage)); break;
        case cmd::kHelp: open_help(); break;
        case cmd::kModeButton:
            if (session_.is_open() || find_mode_) set_find_mode(!find_mode_);
            break;
        case cmd::kClearButton: find_edit_->clear(); break;
        case cmd::kExpandButton: expand_or_collapse(); break;
        case cmd::kExpandedMenus:
            app_settings().set(&AppSettings::MenusExpanded, app_settings().MenusExpanded ? 0 : 1);
            select_menu(app_settings().MenusExpanded ? menu_id::kMainExpanded : menu_id::kMain);
            break;
        default:
            if (WalletTree::is_tree_command(id) && session_.is_open()) {
                ModalScope scope(modal_depth_);
                tree_->command(id);
            }
            break;
    }
}

int MainWindow::current_menu_id() const { return keys_ ? keys_->menu_id() : 0; }

void MainWindow::select_menu(int menu_id) {
    if (keys_ && keys_->menu_id() == menu_id) return;
    delete keys_;
    keys_ = new SoftKeyBar(menu_id, this);
    connect(keys_, &SoftKeyBar::command, this, &MainWindow::command);
    connect(keys_, &SoftKeyBar::menu_about_to_show, this, &MainWindow::enable_menu_items);
    enable_menu_items();
    keys_->show();
    lay_out();
}

void MainWindow::enable_menu_items() {
    tree_->enable_menu([this](int id) { return keys_->action(id); });
    for (int id : {cmd::kNewCard, cmd::kNewFolder, cmd::kProperties}) {
        if (QAction* a = keys_->action(id)) keys_->set_command_enabled(id, a->isEnabled());
    }
    const bool writable = session_.is_open() && !session_.read_only();
    for (int id : {cmd::kChangePassword, cmd::kSecurity, cmd::kDisplay}) {
        keys_->set_command_enabled(id, writable);
    }
    if (QAction* a = keys_->action(cmd::kExpandedMenus)) {
        a->setChecked(app_settings().MenusExpanded != 0);
    }
}

void MainWindow::set_find_mode(bool on) {
    find_mode_ = on;
    select_menu(on ? menu_id::kFind
                   : (app_settings().MenusExpanded ? menu_id::kMainExpanded : menu_id::kMain));
    lay_out();
    if (on) {
        find_edit_->setFocus();
    } else {
        tree_->setFocus();
    }
    update();
}

// ---- Layout and painting ----

void MainWindow::lay_out() {
    layout_ = header_layout(width(), find_mode_, has_visible_text(u16(find_edit_->text())));
    const auto place = [](QWidget* w, const Box& b, bool visible) {
        w->setGeometry(b.x, b.y, b.width, b.height);
        w->setVisible(visible);
    };
    place(buttons_[cmd::kModeButton], layout_.mode, true);
    place(buttons_[cmd::kSearchButton], layout_.search, layout_.show_search);
    place(buttons_[cmd::kClearButton], layout_.clear, layout_.show_clear);
    place(buttons_[cmd::kExpandButton], layout_.expand, layout_.show_expand && session_.is_open());
    place(find_edit_, layout_.edit, layout_.show_edit);
    const int bar = keys_ ? keys_->sizeHint().height() : 0;
    if (keys_) keys_->setGeometry(0, height() - bar, width(), bar);
    tree_->setGeometry(0, layout_.height, width(), height() - layout_.height - bar);
    update();
}

void MainWindow::resizeEvent(QResizeEvent* e) {
    QWidget::resizeEvent(e);
    lay_out();
}

QString MainWindow::header_text() const {
    if (!session_.is_open()) return {};
    QString name = qs(session_.display_name());
    if (session_.read_only()) name += QLatin1Char(' ') + gui::text(text_id::kReadOnlyMark);
    return name;
}

void MainWindow::paintEvent(QPaintEvent*) {
    QPainter p(this);
    const AppSettings& s = app_settings();
    const QRect header(0, 0, width(), layout_.height - 1);
    gradient_fill(p, header, colour(s.ColorBarStart), colour(s.ColorBarEnd));
    p.fillRect(QRect(0, layout_.height - 1, width(), 1), colour(kHeaderLine));
    if (!find_mode_ && session_.is_open()) {
        p.setFont(gui::font(kHeaderFontSlot));
        p.setPen(colour(s.ColorBarText));
        const Box& n = layout_.name;
        const QString shown = p.fontMetrics().elidedText(header_text(), Qt::ElideRight, n.width);
        p.drawText(QRect(n.x, n.y, n.width, n.height), Qt::AlignVCenter | Qt::AlignLeft, shown);
    }
    if (tree_->isHidden()) {
        p.setPen(Qt::black);
        p.setFont(gui::font(1));
        p.drawText(rect(), Qt::AlignCenter, gui::text(text_id::kNoWalletOpen));
    }
}

// ---- The wallet's life ----

void MainWindow::open_path(const fs::path& path) {
    kill_timer(TIMER_IDLECHECK);
    stop_auto_close();
    activity_.touch();
    close_wallet();
    WindowSessionUi ui(this, *dialogs_, modal_depth_);
    const OpenOutcome outcome = session_.open(path, ui);
    activity_.wallet_open = session_.is_open();
    if (outcome != OpenOutcome::Opened) {
        update();
        post_message(this, MWM_SHOWCHOOSER);
        return;
    }
    activity_.touch();
    start_auto_close();
    tree_->reload();
    tree_->show();
    lay_out();
    post_message(this, MWM_SHOWTREE, 1);
    if (session_.read_only()) {
        message_box(text_id::kOpenedReadOnly, text_id::kProductName, PromptButtons::Ok,
                    PromptIcon::Information);
    }
}

void MainWindow::start_auto_close() {
    activity_.period_minutes = session_.auto_close_minutes();
    activity_.wallet_open = session_.is_open();
    if (session_.is_open() && session_.auto_close_minutes() != 0) {
        set_timer(TIMER_IDLECHECK, kIdleCheckMs);
        watcher_.start();
    }
}

void MainWindow::stop_auto_close() {
    kill_timer(TIMER_IDLECHECK);
    watcher_.stop();
}

void MainWindow::close_wallet() {
    results_.clear();
    tree_->hide();
    session_.close();
    // Copies of attachments opened while the wallet was open go with it, and so does a secret
    // still on the clipboard.
    OpenedFiles::empty_folder();
    secret_clipboard().clear_secret();
    tree_->reload();
    activity_.wallet_open = false;
    update();
}

void MainWindow::show_chooser() {
    raise();
    activateWindow();
    stop_auto_close();
    if (QMenu* m = keys_ ? keys_->menu() : nullptr) m->hide();
    close_wallet();
    set_find_mode(false);
    if (chooser_) return;
    if (!chooser_folders_set_) {
        chooser_folders_.clear();
        for (const StorageLocation& l : storage_locations()) chooser_folders_.push_back(l.path);
    }
    auto* chooser = new WalletChooser(this, chooser_folders_);
    chooser->setAttribute(Qt::WA_DeleteOnClose);
    chooser->show_about = [this] {
        ModalScope scope(modal_depth_);
        dialogs_->about(chooser_);
    };
    chooser->convert_legacy = [this](const fs::path& legacy) -> fs::path {
        ModalScope scope(modal_depth_);
        const ConversionOutcome outcome = convert_legacy_wallet(
            legacy, message_boxes(), [this](std::u16string_view caption) {
                PasswordQuestion q;
                q.display_name = std::u16string(caption);
                return dialogs_->ask_password(chooser_, q);
            });
        return outcome.result == ConversionResult::Converted ? outcome.new_path : fs::path{};
    };
    if (const std::u16string& mru = app_settings().MRU; !mru.empty()) {
        chooser->select_path(fs::path(to_utf8(mru)));
    }
    chooser_ = chooser;
    chooser->open();
}

void MainWindow::set_chooser_folders(std::vector<fs::path> folders) {
    chooser_folders_ = std::move(folders);
    chooser_folders_set_ = true;
}

void MainWindow::chooser_done(int choice) {
    const fs::path chosen = chooser_ ? chooser_->chosen_path() : fs::path{};
    select_menu(app_settings().MenusExpanded ? menu_id::kMainExpanded : menu_id::kMain);
    switch (static_cast<ChooserChoice>(choice)) {
        case ChooserChoice::New: {
            std::optional<NewPassword> password;
            if (!chosen.empty()) {
                ModalScope scope(modal_depth_);
                password = dialogs_->ask_new_password(this, true);
            }
            WindowSessionUi ui(this, *dialogs_, modal_depth_);
            if (password && session_.create(chosen, *password, ui)) {
                open_path(chosen);
            } else {
                post_message(this, MWM_SHOWCHOOSER);
            }
            break;
        }
        case ChooserChoice::Open:
            if (chosen.string().size() >= 6) open_path(chosen);
            else post_message(this, MWM_SHOWCHOOSER);
            break;
        case ChooserChoice::Exit:
            close();
            break;
        default:
            if (choice == 0) close();
            break;
    }
}

void MainWindow::exit_program() {
    stop_auto_close();
    if (modal_depth_ > 0) {
        // A dialog run by a command is still unwinding; exit once it has.
        QTimer::singleShot(50, this, [this] { command(cmd::kExit); });
        return;
    }
    close_wallet();
    exiting_ = true;
    close();
}

void MainWindow::closeEvent(QCloseEvent* e) {
    stop_auto_close();
    close_wallet();
    exiting_ = true;
    for (auto& [id, timer] : timers_) timer->stop();
    e->accept();
    emit finished();
}

void MainWindow::changeEvent(QEvent* e) {
    if (e->type() == QEvent::ActivationChange && isActiveWindow()) {
        apply_auto_close();
        if (tree_->isVisible() && !find_edit_->hasFocus()) tree_->setFocus();
    }
    QWidget::changeEvent(e);
}

void MainWindow::switched_away() {
    // The wallet's "close when switching" choice: another program took the focus.
    if (exiting_ || modal_depth_ > 0 || !session_.is_open() || !session_.close_when_switching() ||
        chooser_)
        return;
    dismiss_dialogs();
    post_message(this, MWM_SHOWCHOOSER);
}

void MainWindow::apply_auto_close() {
    if (exiting_ || !activity_.due(clock().now())) return;
    dismiss_dialogs();
    post_message(this, WM_COMMAND, cmd::kExit);
}

void MainWindow::dismiss_dialogs() {
    if (dismissing_) return;
    dismissing_ = true;
    // The topmost dialog first, then each one under it, until only the main window is left.
    for (int guard = 0; guard < 64; ++guard) {
        QWidget* top = QApplication::activeModalWidget();
        if (!top || top == this) break;
        if (auto* dialog = qobject_cast<QDialog*>(top)) dialog->reject();
        else top->close();
    }
    if (QMenu* m = keys_ ? keys_->menu() : nullptr) m->hide();
    dismissing_ = false;
}

// ---- The items and the find ----

void MainWindow::select_first_row() {
    QAbstractItemModel* model = tree_->model();
    if (!tree_->currentIndex().isValid() && model->rowCount() > 0) {
        tree_->setCurrentIndex(model->index(0, 0));
    }
}

void MainWindow::run_find() {
    if (!session_.is_open()) return;
    const FindRequest request = classify_find(u16(find_edit_->text()));
    if (request.kind == FindKind::TooShort) {
        message_box(text_id::kFindTooShort, text_id::kProductName, PromptButtons::Ok,
                    PromptIcon::Information);
        set_find_mode(true);
        return;
    }
    if (apply_find_switch(request.kind, app_settings())) {
        if (request.kind == FindKind::ResetSwitch) QApplication::beep();
        return;
    }
    if (request.was_cut) find_edit_->setText(qs(request.text));
    QApplication::setOverrideCursor(Qt::WaitCursor);
    results_.clear();
    search_wallet(document_, request.text, results_);
    QApplication::restoreOverrideCursor();
    tree_->show_search_results();
    if (!results_.indexes.empty()) {
        tree_->setFocus();
    } else {
        message_box(text_id::kFindNothing, text_id::kProductName, PromptButtons::Ok,
                    PromptIcon::Information);
        set_find_mode(true);
    }
}

void MainWindow::expand_or_collapse() {
    tree_->expand_or_collapse_all();
    tree_->setFocus();
}

// ---- Dialog commands ----

void MainWindow::change_password() {
    if (!session_.is_open() || session_.read_only()) return;
    const fs::path path = session_.path();
    stop_auto_close();
    WindowSessionUi ui(this, *dialogs_, modal_depth_);
    if (session_.change_password(ui)) {
        startup_path_ = path;
        open_path(path);
    } else {
        start_auto_close();
    }
}

void MainWindow::display_options() {
    if (!session_.is_open() || session_.read_only()) return;
    AppSettings& s = app_settings();
    DisplayValues v;
    v.font_main = s.FontMain;
    v.font_main_style = s.FontMainStyle;
    v.font_card = s.FontCard;
    v.tree_colour = document_.settings().value(format::settings::kTreeColour);
    v.card_entry_colour = document_.settings().value(format::settings::kCardEntryColour);
    v.card_defaults = document_.settings().default_card_style();
    std::optional<DisplayValues> chosen;
    {
        ModalScope scope(modal_depth_);
        chosen = dialogs_->display_options(this, v);
    }
    if (!chosen || !session_.is_open()) return;
    s.FontMain = chosen->font_main;
    s.FontMainStyle = chosen->font_main_style;
    s.FontCard = chosen->font_card;
    s.announce_change();
    document_.settings().set_value(format::settings::kTreeColour, chosen->tree_colour);
    document_.settings().set_value(format::settings::kCardEntryColour, chosen->card_entry_colour);
    document_.settings().set_default_card_style(chosen->card_defaults);
    document_.save_blocks();
    tree_->setFont(font_for_size(s.FontMain, s.FontMainStyle & 1));
    tree_->viewport()->update();
}

void MainWindow::security_options() {
    if (!session_.is_open() || session_.read_only()) return;
    kill_timer(TIMER_IDLECHECK);
    const SecurityValues before{session_.auto_close_minutes(), session_.close_when_switching()};
    std::optional<SecurityValues> chosen;
    {
        ModalScope scope(modal_depth_);
        chosen = dialogs_->security_options(this, before);
    }
    if (chosen && session_.is_open() &&
        (chosen->minutes != before.minutes ||
         chosen->close_when_switching != before.close_when_switching)) {
        session_.set_auto_close_minutes(chosen->minutes);
        session_.set_close_when_switching(chosen->close_when_switching);
        document_.save_blocks();
    }
    activity_.period_minutes = session_.auto_close_minutes();
    if (session_.auto_close_minutes() != 0) {
        activity_.touch();
        set_timer(TIMER_IDLECHECK, kIdleCheckMs);
        watcher_.start();
    }
}

void MainWindow::open_address(const std::string& address) {
    const std::u16string command = browser_.command(registry_);
    const std::vector<std::string> args = browser_arguments(command, from_utf8(address));
    if (!args.empty()) {
        QStringList rest;
        for (size_t i = 1; i < args.size(); ++i) rest << QString::fromStdString(args[i]);
        if (QProcess::startDetached(QString::fromStdString(args.front()), rest)) return;
    }
    QDesktopServices::openUrl(QUrl(QString::fromStdString(address)));
}

void MainWindow::open_help() {
    const fs::path help = help_file_path(data_directory());
    QDesktopServices::openUrl(QUrl::fromLocalFile(QString::fromStdString(help.string())));
}

}  // namespace ks::gui

namespace ks::gui {

void MainWindow::handle_instance_request(int request) {
    switch (static_cast<InstanceRequest>(request)) {
        case InstanceRequest::Activate:
            if (isMinimized()) showNormal();
            raise();
            activateWindow();
            if (QWidget* modal = QApplication::activeModalWidget()) {
                modal->raise();
                modal->activateWindow();
            }
            break;
        case InstanceRequest::SyncStart: post_message(this, MWM_SYNCSTART); break;
        case InstanceRequest::SyncEnd: post_message(this, MWM_SYNCEND); break;
        case InstanceRequest::Close:
            dismiss_dialogs();
            post_message(this, WM_COMMAND, cmd::kExit);
            break;
    }
}

}  // namespace ks::gui
