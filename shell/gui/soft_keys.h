#pragma once
// The soft-key menu bar: a bottom bar with two keys, the second usually opening a menu, built
// from menu templates kept in code; every text goes through the menu text table.
#include <QWidget>

#include <cstdint>
#include <functional>
#include <span>
#include <string_view>
#include <vector>

class QMenu;
class QToolButton;

namespace ks::gui {

struct MenuEntry {
    std::u16string_view english;  // empty: a separator
    int command = 0;
    std::span<const MenuEntry> submenu = {};
    uint32_t text_id = 0;  // a text of our own instead of the menu text table's
};

struct MenuTemplate {
    int id;
    MenuEntry left;
    MenuEntry right;
    std::span<const MenuEntry> toolbar = {};  // the expanded menu's image buttons
};

// The template of a menu id; nullptr for an unknown id.
const MenuTemplate* menu_template(int id);

class SoftKeyBar final : public QWidget {
    Q_OBJECT
  public:
    SoftKeyBar(int menu_id, QWidget* parent);
    int menu_id() const { return menu_id_; }
    // The popup menu of the right key (or the left), for enabling and ticking items.
    QMenu* menu() const { return menu_; }
    QAction* action(int command) const;
    // Enables or disables a command wherever the bar offers it: a menu item or an image button.
    void set_command_enabled(int command, bool enabled);
    QToolButton* left_key() const { return left_; }
    QToolButton* right_key() const { return right_; }
    // Opens the key's menu, or runs its command (F1/F2 and the keyboard's soft keys).
    void press_left();
    void press_right();

  signals:
    void command(int id);
    void menu_about_to_show();

  private:
    QToolButton* make_key(const MenuEntry& entry);

    int menu_id_;
    QMenu* menu_ = nullptr;
    QToolButton* left_ = nullptr;
    QToolButton* right_ = nullptr;
    std::vector<std::pair<int, QToolButton*>> image_buttons_;
};

// Adds the entries to `menu`, their texts translated; choosing one calls `on_command`.
void fill_menu(QMenu* menu, std::span<const MenuEntry> entries,
               const std::function<void(int)>& on_command);
// The item of `menu` (or its submenus) that runs `command`.
QAction* menu_action(const QMenu* menu, int command);

// Replaces every item's English text with its translation (submenus too).
void translate_menu(QMenu* menu);

}  // namespace ks::gui
