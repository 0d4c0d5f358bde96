#include "shell/gui/soft_keys.h"

#include <QAction>
#include <QHBoxLayout>
#include <QMenu>
#include <QToolButton>

#include "shell/gui/commands.h"
#include "shell/gui/drawn_icons.h"
#include "shell/gui/gui_services.h"
#include "platform/texts.h"
#include "shell/utilities.h"

namespace ks::gui {

namespace {
using namespace ks::cmd;

constexpr MenuEntry kOptionsMenu[] = {
    {u"Display", kDisplay},
    {u"Security", kSecurity},
    {u"Change Password", kChangePassword},
    {u"Expanded Menus", kExpandedMenus},
};
constexpr MenuEntry kMainMenu[] = {
    {u"New Card", kNewCard},
    {u"New Folder", kNewFolder},
    {u"", 0},
    {u"Properties", kProperties},
    {u"Rename", kRename},
    {u"Delete", kDelete},
    {u"", 0},
    {u"Cut", kCut},
    {u"Copy", kCopy},
    {u"Paste", kPaste},
    {u"Add to Favorites", kAddToFavorites},
    {u"Save to My Forms", kSaveToMyForms},
    {u"", 0},
    {u"Export", kExport},
    {u"Import", kImport},
    {u"Import Form", kImportForm},
    {u"", 0},
    {u"Options", 0, kOptionsMenu},
    {u"Help", kHelp},
    {u"Check for Updates", kCheckForUpdates},
    {u"About", kAbout},
    {u"", 0},
    {u"Wallets", kWallets},
    {u"Exit", kExit},
};
constexpr MenuEntry kExpandedToolbar[] = {
    {u"New Card", kNewCard},
    {u"New Folder", kNewFolder},
    {u"Properties", kProperties},
};
constexpr MenuEntry kChooserMenu[] = {
    {u"New", kNew},       {u"Open", kOpen},   {u"Browse", kBrowse, {}, text_id::kBrowse},
    {u"Delete", kDelete}, {u"About", kAbout}, {u"", 0},
    {u"Exit", kExit},
};

constexpr MenuEntry kCardViewMenu[] = {
    {u"Edit", kEdit},
    {u"Copy Text", kCopyText},
    {u"", 0},
    {u"Icon", kIcon},
    {u"Text/Colors", kTextColors},
    {u"Background", kBackground},
    {u"Sound", kSound},
    {u"Attachments", kAttachments},
    {u"", 0},
    {u"Delete Card", kDeleteCard},
    {u"", 0},
    {u"Cancel", kCardCancel},
};
constexpr MenuEntry kCardViewToolbar[] = {
    {u"Edit", kEdit},
    {u"Copy Text", kCopyText},
    {u"Attachments", kAttachments},
};
constexpr MenuEntry kEditMenu[] = {
    {u"Cut", kEditCut},
    {u"Copy", kEditCopy},
    {u"Paste", kEditPaste},
    {u"Clear", kEditClear},
    {u"Select All", kEditSelectAll},
    {u"", 0},
    {u"Form Design", kFormDesign},
    {u"", 0},
    {u"Cancel", kCardCancel},
};
constexpr MenuEntry kEditToolbar[] = {
    {u"Cut", kEditCut},
    {u"Copy", kEditCopy},
    {u"Paste", kEditPaste},
};
constexpr MenuEntry kMoveFieldMenu[] = {
    {u"Up", kFieldUp},
    {u"Down", kFieldDown},
    {u"Top", kFieldTop},
    {u"Bottom", kFieldBottom},
};
constexpr MenuEntry kFormDesignMenu[] = {
    {u"Add field", kAddField},
    {u"Move field", 0, kMoveFieldMenu},
    {u"Copy field", kCopyField},
    {u"Delete field", kDeleteField},
    {u"Edit Selection Field", kEditSelectionField},
    {u"", 0},
    {u"Cancel", kCardCancel},
};
constexpr MenuEntry kFormDesignToolbar[] = {
    {u"Add field", kAddField},
    {u"Up", kFieldUp},
    {u"Down", kFieldDown},
};
constexpr MenuEntry kZoomMenu[] = {
    {u"75%", kZoom75},      {u"100%", kZoom75 + 1}, {u"150%", kZoom75 + 2},
    {u"200%", kZoom75 + 3}, {u"300%", kZoom300},
};
constexpr MenuEntry kNotesMenu[] = {
    {u"Cut", kEditCut},
    {u"Copy", kEditCopy},
    {u"Paste", kEditPaste},
    {u"Clear", kEditClear},
    {u"Select All", kEditSelectAll},
    {u"", 0},
    {u"Insert Date", kInsertDate},
    {u"Insert Time", kInsertTime},
    {u"Zoom", 0, kZoomMenu},
    {u"", 0},
    {u"Cancel", kCancel},
};

// The file chooser when an empty choice is allowed.
constexpr MenuEntry kNoneCancelMenu[] = {
    {u"None", kNone},
    {u"Cancel", kCancel},
};

constexpr MenuTemplate kTemplates[] = {
    {menu_id::kMain, {u"Find", kFind}, {u"MENU", kMenu, kMainMenu}},
    {menu_id::kMainExpanded, {u"Find", kFind}, {u"MENU", kMenu, kMainMenu}, kExpandedToolbar},
    {menu_id::kFind, {u"Go", kGo}, {u"Cancel", kFindCancel}},
    {menu_id::kChooser, {u"New", kNew}, {u"MENU", kMenu, kChooserMenu}},
    {menu_id::kAbout, {u"Done", kOk}, {u"Web Site", kWebSite}},
    {menu_id::kDoneCancel, {u"Done", kOk}, {u"Cancel", kCancel}},
    {menu_id::kCancelOnly, {u"Cancel", kCancel}, {}},
    {menu_id::kCardView, {u"Done", kOk}, {u"MENU", kMenu, kCardViewMenu}},
    {menu_id::kCardViewExpanded, {u"Done", kOk}, {u"MENU", kMenu, kCardViewMenu}, kCardViewToolbar},
    {menu_id::kEditMode, {u"Done", kOk}, {u"MENU", kMenu, kEditMenu}},
    {menu_id::kEditModeExpanded, {u"Done", kOk}, {u"MENU", kMenu, kEditMenu}, kEditToolbar},
    {menu_id::kFormDesign, {u"Done", kOk}, {u"MENU", kMenu, kFormDesignMenu}},
    {menu_id::kFormDesignExpanded, {u"Done", kOk}, {u"MENU", kMenu, kFormDesignMenu},
     kFormDesignToolbar},
    {menu_id::kNotes, {u"Done", kOk}, {u"MENU", kMenu, kNotesMenu}},
    {menu_id::kDoneOnly, {u"Done", kOk}, {}},
    {menu_id::kFilePickerNone, {u"Done", kOk}, {u"MENU", kMenu, kNoneCancelMenu}},
};

QString translated(std::u16string_view english) { return qs(translate_menu_text(english)); }
QString label(const MenuEntry& e) { return e.text_id ? text(e.text_id) : translated(e.english); }
}  // namespace

const MenuTemplate* menu_template(int id) {
    for (const MenuTemplate& t : kTemplates) {
        if (t.id == id) return &t;
    }
    return nullptr;
}

SoftKeyBar::SoftKeyBar(int menu_id, QWidget* parent) : QWidget(parent), menu_id_(menu_id) {
    setObjectName(QStringLiteral("SoftKeyBar"));
    setAutoFillBackground(true);
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(2, 2, 2, 2);
    const MenuTemplate* t = menu_template(menu_id);
    if (!t) return;
    left_ = make_key(t->left);
    layout->addWidget(left_, 1);
    for (const MenuEntry& e : t->toolbar) {
        auto* button = new QToolButton(this);
        button->setIcon(command_icon(e.command));
        if (button->icon().isNull()) button->setText(translated(e.english));
        button->setToolTip(translated(e.english));
        button->setAccessibleName(translated(e.english));
        button->setAutoRaise(true);
        connect(button, &QToolButton::clicked, this, [this, id = e.command] { emit command(id); });
        image_buttons_.emplace_back(e.command, button);
        layout->addWidget(button);
    }
    if (!t->right.english.empty()) {
        right_ = make_key(t->right);
        layout->addWidget(right_, 1);
    }
}

QToolButton* SoftKeyBar::make_key(const MenuEntry& entry) {
    auto* key = new QToolButton(this);
    key->setText(translated(entry.english));
    key->setAccessibleName(key->text());
    key->setToolButtonStyle(Qt::ToolButtonTextOnly);
    key->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    key->setMinimumHeight(26);
    key->setFocusPolicy(Qt::NoFocus);
    if (!entry.submenu.empty()) {
        menu_ = new QMenu(key);
        fill_menu(menu_, entry.submenu, [this](int id) { emit command(id); });
        connect(menu_, &QMenu::aboutToShow, this, &SoftKeyBar::menu_about_to_show);
        connect(key, &QToolButton::clicked, this, [this, key] {
            menu_->popup(key->mapToGlobal(QPoint(key->width() - menu_->sizeHint().width(),
                                                 -menu_->sizeHint().height())));
        });
    } else {
        connect(key, &QToolButton::clicked, this, [this, id = entry.command] { emit command(id); });
    }
    return key;
}

QAction* SoftKeyBar::action(int command) const {
    return menu_ ? menu_action(menu_, command) : nullptr;
}

void fill_menu(QMenu* menu, std::span<const MenuEntry> entries,
               const std::function<void(int)>& on_command) {
    for (const MenuEntry& e : entries) {
        if (e.english.empty()) {
            menu->addSeparator();
        } else if (!e.submenu.empty()) {
            fill_menu(menu->addMenu(translated(e.english)), e.submenu, on_command);
        } else {
            QAction* a = menu->addAction(label(e));
            a->setData(e.command);
            if (e.command == cmd::kExpandedMenus) a->setCheckable(true);
            QObject::connect(a, &QAction::triggered, menu, [on_command, id = e.command] {
                on_command(id);
            });
        }
    }
}

QAction* menu_action(const QMenu* menu, int command) {
    const QList<QAction*> all = menu->findChildren<QAction*>();
    for (QAction* a : all) {
        if (a->data().isValid() && a->data().toInt() == command) return a;
    }
    return nullptr;
}

void SoftKeyBar::set_command_enabled(int command, bool enabled) {
    if (QAction* a = action(command)) a->setEnabled(enabled);
    for (auto& [id, button] : image_buttons_) {
        if (id == command) button->setEnabled(enabled);
    }
}

void SoftKeyBar::press_left() {
    if (left_) left_->click();
}

void SoftKeyBar::press_right() {
    if (right_) right_->click();
}

void translate_menu(QMenu* menu) {
    for (QAction* a : menu->actions()) {
        if (a->isSeparator()) continue;
        a->setText(qs(translate_menu_text(u16(a->text()))));
        if (a->menu()) translate_menu(a->menu());
    }
}

}  // namespace ks::gui
