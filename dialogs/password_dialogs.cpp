#include "dialogs/password_dialogs.h"

#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "platform/message_format.h"
#include "platform/texts.h"
#include "shell/gui/commands.h"
#include "shell/gui/drawn_icons.h"
#include "shell/gui/gui_services.h"
#include "shell/settings.h"
#include "shell/utilities.h"

namespace ks::gui {

namespace {
QLineEdit* password_edit(QWidget* parent) {
    auto* edit = new QLineEdit(parent);
    edit->setEchoMode(QLineEdit::Password);
    edit->setMaxLength(kPasswordBoxLimit);
    edit->setInputMethodHints(Qt::ImhHiddenText | Qt::ImhNoPredictiveText |
                              Qt::ImhSensitiveData | Qt::ImhNoAutoUppercase);
    return edit;
}

QLabel* wrapped_label(const QString& text, QWidget* parent) {
    auto* label = new QLabel(text, parent);
    label->setWordWrap(true);
    label->setTextFormat(Qt::PlainText);
    return label;
}

// Keypad colours: digits white on blue, Clear and Back white on red, OK white on green.
QString key_style(const QColor& background) {
    return QStringLiteral("QPushButton{color:white;background:%1;border:1px solid %2;"
                          "border-radius:3px;padding:4px;}"
                          "QPushButton:pressed{background:%2;}"
                          "QPushButton:focus{border:2px solid black;}")
        .arg(background.name(), background.darker(140).name());
}
}  // namespace

// ---- PasswordEntryDialog ----

PasswordEntryDialog::PasswordEntryDialog(QWidget* owner, PasswordQuestion request)
    : FullScreenDialog(owner, menu_id::kDoneCancel), request_(std::move(request)) {
    const QString title =
        request_.display_name.empty()
            ? gui::text(text_id::kEnterPasswordTitle)
            : qs(format_message(u"%s (%s)", {load_string(text_id::kEnterPasswordTitle),
                                             request_.display_name}));
    set_title(title, kPasswordIcon);
    setObjectName(QStringLiteral("PasswordEntryDialog"));

    body()->addWidget(wrapped_label(gui::text(text_id::kEnterPasswordTip), this));
    box_ = password_edit(this);
    box_->setAlignment(Qt::AlignCenter);
    box_->setAccessibleName(gui::text(text_id::kPasswordLabel));
    body()->addWidget(box_);

    auto* grid = new QGridLayout;
    grid->setSpacing(4);
    keys_.resize(13, nullptr);
    const QFont key_font = gui::font(kHeaderFontSlot);
    const auto make_key = [&](int id, const QString& label, const QColor& colour_) {
        auto* b = new QPushButton(label, this);
        b->setFont(key_font);
        b->setAutoDefault(false);
        b->setFocusPolicy(Qt::TabFocus);
        b->setStyleSheet(key_style(colour_));
        b->setMinimumHeight(30);
        b->setAccessibleName(label);
        connect(b, &QPushButton::clicked, this, [this, id] { press_keypad(id); });
        keys_[static_cast<size_t>(id - kDigit0)] = b;
        return b;
    };
    const QColor digit_colour = colour(0xCE3000), red = colour(0x3838FF), green = colour(0x008000);
    for (int d = 1; d <= 9; ++d) {
        grid->addWidget(make_key(kDigit0 + d, QString::number(d), digit_colour), (d - 1) / 3,
                        (d - 1) % 3);
    }
    grid->addWidget(make_key(kClear, gui::text(text_id::kKeypadClear), red), 3, 0);
    grid->addWidget(make_key(kDigit0, QStringLiteral("0"), digit_colour), 3, 1);
    grid->addWidget(make_key(kBack, gui::text(text_id::kKeypadBack), red), 3, 2);
    grid->addWidget(make_key(kOkButton, qs(translate_menu_text(u"OK")), green), 4, 0, 1, 3);
    body()->addLayout(grid);
    body()->addStretch(1);

    connect(box_, &QLineEdit::textChanged, this, &PasswordEntryDialog::text_changed);
    connect(box_, &QLineEdit::returnPressed, this, &PasswordEntryDialog::on_done);
    timer_.setInterval(1000);
    connect(&timer_, &QTimer::timeout, this, &PasswordEntryDialog::tick);
    connect(this, &QDialog::finished, this, [this] {
        timer_.stop();
        box_->clear();
    });
    timer_.start();
    box_->setFocus();
}

QPushButton* PasswordEntryDialog::keypad_button(int id) const {
    const int slot = id - kDigit0;
    return slot >= 0 && slot < static_cast<int>(keys_.size()) ? keys_[static_cast<size_t>(slot)]
                                                              : nullptr;
}

void PasswordEntryDialog::press_keypad(int id) {
    if (id >= kDigit0 && id <= kDigit0 + 9) {
        box_->insert(QString::number(id - kDigit0));
        box_->setFocus();
    } else if (id == kBack) {
        box_->setFocus();
        box_->backspace();
    } else if (id == kClear) {
        box_->clear();
        box_->setFocus();
    } else if (id == kOkButton) {
        on_done();
    }
}

void PasswordEntryDialog::text_changed() {
    if (!app_settings().PassAutoOK || !request_.checker) return;
    const SecretText typed(read_limited(u16(box_->text()), kAutoOkReadLimit));
    if (!typed.empty() && request_.checker(typed.view())) accept_text(typed.view());
}

void PasswordEntryDialog::accept_text(std::u16string_view text) {
    password_ = SecretText(text);
    accept();
}

void PasswordEntryDialog::on_done() {
    const SecretText typed(read_limited(u16(box_->text()), kPasswordReadLimit));
    if (typed.empty()) {
        reject();
        return;
    }
    if (!request_.checker || request_.checker(typed.view())) {
        accept_text(typed.view());
        return;
    }
    const bool show_hint = attempts_.count_failure(!request_.hint.empty());
    message_box(text_id::kPasswordWrong, text_id::kPasswordTitle, PromptButtons::Ok,
                PromptIcon::Exclamation);
    if (show_hint) {
        message_boxes().ask({format_message(u"%s\n\n%s", {load_string(text_id::kHintShown),
                                                          request_.hint}),
                             load_string(text_id::kPasswordTitle), PromptButtons::Ok,
                             PromptIcon::Information});
    }
    box_->clear();
    box_->setFocus();
    countdown_.restart();
}

void PasswordEntryDialog::tick() {
    if (countdown_.tick()) reject();
}

// ---- NewPasswordDialog ----

NewPasswordDialog::NewPasswordDialog(QWidget* owner, bool new_wallet)
    : FullScreenDialog(owner, menu_id::kDoneCancel) {
    setObjectName(QStringLiteral("NewPasswordDialog"));
    set_title(text(new_wallet ? text_id::kNewWalletPasswordTitle : text_id::kChangePasswordTitle),
              kPasswordIcon);
    auto* first_label =
        wrapped_label(text(new_wallet ? text_id::kPasswordLabel : text_id::kNewPasswordLabel), this);
    first_ = password_edit(this);
    first_label->setBuddy(first_);
    first_->setAccessibleName(first_label->text());
    auto* second_label = wrapped_label(gui::text(text_id::kAgainToConfirm), this);
    second_ = password_edit(this);
    second_label->setBuddy(second_);
    second_->setAccessibleName(second_label->text());
    auto* hint_label = wrapped_label(gui::text(text_id::kHintLabel), this);
    hint_ = new QLineEdit(this);
    hint_->setMaxLength(kHintBoxLimit);
    hint_label->setBuddy(hint_);
    hint_->setAccessibleName(hint_label->text());
    auto* tip = wrapped_label(gui::text(text_id::kNewPasswordTip), this);
    tip->setStyleSheet(QStringLiteral("color: #0000FF; background: white;"));
    for (QWidget* w : std::initializer_list<QWidget*>{first_label, first_, second_label, second_,
                                                      hint_label, hint_, tip}) {
        body()->addWidget(w);
    }
    body()->addStretch(1);
    for (QLineEdit* e : {first_, second_, hint_}) {
        connect(e, &QLineEdit::returnPressed, this, &NewPasswordDialog::on_done);
    }
    timer_.setInterval(1000);
    connect(&timer_, &QTimer::timeout, this, &NewPasswordDialog::tick);
    connect(this, &QDialog::finished, this, [this] {
        timer_.stop();
        first_->clear();
        second_->clear();
    });
    timer_.start();
    first_->setFocus();
}

void NewPasswordDialog::on_done() {
    const SecretText first(read_limited(u16(first_->text()), kPasswordReadLimit));
    const SecretText second(read_limited(u16(second_->text()), kPasswordReadLimit));
    if (const auto problem = check_new_password(first.view(), second.view())) {
        message_box(problem->text_id, text_id::kErrorTitle, PromptButtons::Ok, problem->icon);
        countdown_.restart();
        return;
    }
    result_ = NewPassword{first, read_limited(u16(hint_->text()), kHintReadLimit)};
    accept();
}

void NewPasswordDialog::tick() {
    if (countdown_.tick()) reject();
}

}  // namespace ks::gui
