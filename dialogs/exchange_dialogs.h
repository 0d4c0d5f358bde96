#pragma once
// The dialogs that collect the choices for moving data out of and into a wallet: Export, Export
// Forms and Import Forms. They only ask; the export and import are the interchange's.
#include <filesystem>
#include <string>
#include <vector>

#include "card/full_screen_dialog.h"

class QCheckBox;
class QComboBox;
class QLineEdit;

namespace ks::gui {

// What to export: `selection_kind` is given (1 a card, 2 a folder, else the whole wallet), the
// rest is chosen.
struct ExportRequest {
    int selection_kind = 0;
    int items = 0;         // 0 the wallet, 1 the folder, 2 the card, 3 the card as a form
    int format = 0;        // 0 text, 2 form file
    bool option1 = false;  // text: attached files; form: data in form fields
    bool option2 = false;  // text: PIN values
    std::filesystem::path folder;
};

struct ExportDestination {
    std::u16string label;
    std::filesystem::path folder;
};

class ExportDialog final : public FullScreenDialog {
    Q_OBJECT
  public:
    ExportDialog(QWidget* owner, ExportRequest& request,
                 std::vector<ExportDestination> destinations);
    QComboBox* items() const { return items_; }
    QComboBox* formats() const { return formats_; }
    QComboBox* destinations() const { return destinations_box_; }
    QCheckBox* option1() const { return option1_; }
    QCheckBox* option2() const { return option2_; }

  protected:
    void on_done() override;

  private:
    void fill_formats();

    ExportRequest& request_;
    std::vector<ExportDestination> destinations_;
    QComboBox* items_;
    QComboBox* formats_;
    QComboBox* destinations_box_;
    QCheckBox* option1_;
    QCheckBox* option2_;
};

// The places an export can go: the documents folder and the removable storage found.
std::vector<ExportDestination> export_destinations();

struct ExportFormsRequest {
    std::u16string form_name;  // given
    std::u16string description;
    std::u16string author;
    bool exclude_data = true;
};

constexpr int kFormDescriptionLimit = 127;
constexpr int kFormAuthorLimit = 63;

class ExportFormsDialog final : public FullScreenDialog {
    Q_OBJECT
  public:
    ExportFormsDialog(QWidget* owner, ExportFormsRequest& request);
    QLineEdit* description() const { return description_; }
    QLineEdit* author() const { return author_; }
    QCheckBox* exclude() const { return exclude_; }
    // Replaceable: opens the forms web page.
    std::function<void()> open_forms_page;

  protected:
    void on_done() override;

  private:
    ExportFormsRequest& request_;
    QLineEdit* description_;
    QLineEdit* author_;
    QCheckBox* exclude_;
};

// Import Forms: ends with 1 (import from a file), 2 (the web page was opened) or 0.
class ImportFormsDialog final : public FullScreenDialog {
    Q_OBJECT
  public:
    static constexpr int kFromFile = 1;
    static constexpr int kFromWeb = 2;
    explicit ImportFormsDialog(QWidget* owner);
    std::function<void()> open_forms_page;
};

void open_forms_web_page();

}  // namespace ks::gui
