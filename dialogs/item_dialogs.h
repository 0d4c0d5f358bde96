#pragma once
// The dialogs of a folder's or card's look and of the form new cards take: the folder
// properties, the icon chooser and the card type chooser.
#include <QListWidget>

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "core/node.h"
#include "core/node_id.h"
#include "card/full_screen_dialog.h"

class QCheckBox;
class QLabel;
class QLineEdit;
class QToolButton;

namespace ks {
class WalletDocument;
}

namespace ks::gui {

class ItemImages;

// A node's icon: a built-in number, or (number -1) a picture of its own.
struct IconChoice {
    int32_t number = 0;
    std::vector<uint8_t> picture;  // an ICO file's bytes when number is -1
    bool operator==(const IconChoice&) const = default;
};

// The icon grid: cells of 22 pixels (44 at high resolution), as many columns as fit. Left and
// Right wrap within their row; Up and Down stop at the first and last row.
class IconGrid final : public QListWidget {
    Q_OBJECT
  public:
    explicit IconGrid(QWidget* parent);
    int columns() const;

  protected:
    void keyPressEvent(QKeyEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
};

class IconDialog final : public FullScreenDialog {
    Q_OBJECT
  public:
    IconDialog(QWidget* owner, const IconChoice& current, ItemImages& images);
    // Valid after Done: the icon chosen, when it differs from the current one.
    const std::optional<IconChoice>& chosen() const { return chosen_; }
    IconGrid* grid() const { return grid_; }
    // Loads an icon file as the new icon (Import Icon); false when it is not a usable icon.
    bool import_icon(const std::filesystem::path& path);
    // Replaceable for tests: the file chooser of Import Icon (nothing: "None" or cancelled).
    std::function<std::optional<std::filesystem::path>()> choose_file;

  protected:
    void on_done() override;

  private:
    void show_new(const QIcon& icon);

    IconChoice current_;
    ItemImages& images_;
    std::vector<uint8_t> imported_file_;
    std::optional<IconChoice> chosen_;
    IconGrid* grid_;
    QToolButton* new_large_;
    QToolButton* new_small_;
};

// What the folder properties edit.
struct FolderPropertiesRequest {
    bool special = false;  // a special folder: only its caption is edited
    TreeNode folder;       // a folder: its name, icon and default form are edited in place
    bool offer_main_level = false;
    bool main_level = false;
    std::u16string title_argument;  // special: the folder's title
    std::u16string name;            // special: the caption (63 characters)
    bool new_folder = false;
};

// The card type chooser's answer.
struct FormChoice {
    FormId id{};
    bool builtin = true;
    uint32_t builtin_number = 0;
};

class SelectCardTypeDialog final : public FullScreenDialog {
    Q_OBJECT
  public:
    // Mode 1: choosing the form of a new card; mode 0: a folder's default form.
    SelectCardTypeDialog(QWidget* owner, const FormId& current, const WalletDocument& document,
                         int mode, ItemImages& images);
    // Valid after Done.
    const FormChoice& choice() const { return choice_; }
    QListWidget* list() const { return list_; }

  protected:
    void on_done() override;

  private:
    FormChoice choice_;
    QListWidget* list_;
};

class FolderPropertiesDialog final : public FullScreenDialog {
    Q_OBJECT
  public:
    FolderPropertiesDialog(QWidget* owner, FolderPropertiesRequest& request,
                           WalletDocument& document, ItemImages& images);
    QLineEdit* name_edit() const { return name_; }
    QCheckBox* main_level_box() const { return main_level_; }
    // Replaceable for tests: the icon and form choosers.
    std::function<std::optional<IconChoice>(const IconChoice& current)> choose_icon;
    std::function<std::optional<FormChoice>(const FormId& current)> choose_form;

  protected:
    void on_done() override;

  private:
    void show_icon();
    void show_form();

    FolderPropertiesRequest& request_;
    WalletDocument& document_;
    ItemImages& images_;
    QLineEdit* name_;
    QToolButton* icon_ = nullptr;
    QLineEdit* form_ = nullptr;
    QCheckBox* main_level_ = nullptr;
};

}  // namespace ks::gui
