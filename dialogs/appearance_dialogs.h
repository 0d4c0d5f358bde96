#pragma once
// How a card looks: its text size, colours and password display (Text/Colors) and its
// background picture (Background). Both work on copies that only Done stores.
#include <QAbstractButton>
#include <QImage>

#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>

#include "card/full_screen_dialog.h"
#include "core/wallet_blocks.h"
#include "dialogs/attachment_dialogs.h"
#include "platform/bytes.h"

class QCheckBox;
class QComboBox;
class QGridLayout;
class QLineEdit;
class QPushButton;

namespace ks {
class Card;
}

namespace ks::gui {

// How a colour is chosen; the desktop's colour dialog unless a test scripts it. Nothing when
// the choice was cancelled.
using ColourChooser = std::function<std::optional<QColor>(QWidget* owner, const QColor& current)>;

// A colour button: the colour as a swatch inside a white border. A stored colour of -1 shows
// as white.
class ColourSwatch final : public QAbstractButton {
    Q_OBJECT
  public:
    explicit ColourSwatch(QWidget* parent);
    void set_colour(uint32_t value);  // 0x00BBGGRR
    uint32_t colour() const { return colour_; }
    QSize sizeHint() const override;

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    uint32_t colour_ = 0;
};

class TextColorsDialog final : public FullScreenDialog {
    Q_OBJECT
  public:
    TextColorsDialog(QWidget* owner, Card& card);

    ColourChooser choose_colour;
    // After Done: the card's style differs from what it was and has been stored.
    bool changed() const { return changed_; }

    QComboBox* size_list() const { return size_; }
    ColourSwatch* background_button() const { return background_; }
    ColourSwatch* names_button() const { return names_; }
    ColourSwatch* data_button() const { return data_; }
    QCheckBox* names_bold() const { return names_bold_; }
    QCheckBox* data_bold() const { return data_bold_; }
    QCheckBox* always_display() const { return always_display_; }

  protected:
    void on_done() override;

  private:
    // A row of the grid: its label and colour button, and for the field rows the Bold box.
    ColourSwatch* colour_row(QGridLayout* grid, int row, uint32_t label_id, uint32_t value);
    QCheckBox* bold_box(QGridLayout* grid, int row, bool checked);

    Card& card_;
    bool changed_ = false;
    QComboBox* size_;
    ColourSwatch* background_;
    ColourSwatch* names_;
    ColourSwatch* data_;
    QCheckBox* names_bold_;
    QCheckBox* data_bold_;
    QCheckBox* always_display_;
};

// The background preview: the button-face colour, and the picture centred at its own size, or
// scaled down to fit and centred.
class BackgroundPreview final : public QWidget {
    Q_OBJECT
  public:
    explicit BackgroundPreview(QWidget* parent);
    void set_picture(QImage picture);
    // The preview as painted at its present size.
    QImage rendered() const;
    // The colour of the picture's top left pixel as drawn; white without a picture.
    QColor top_left_colour() const;
    QSize sizeHint() const override;

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    QRect picture_rect(QSize area) const;

    QImage picture_;
};

class BackgroundDialog final : public FullScreenDialog {
    Q_OBJECT
  public:
    BackgroundDialog(QWidget* owner, Card& card);

    FileChooser choose_file;
    std::filesystem::path documents;  // where Export Image writes; empty: the documents folder

    bool has_working_picture() const { return working_.has_value(); }
    bool match_pending() const { return match_pending_; }
    QComboBox* position_list() const { return position_; }
    QLineEdit* file_name() const { return name_; }
    BackgroundPreview* preview() const { return preview_; }
    QPushButton* select_button() const { return select_; }
    QPushButton* remove_button() const { return remove_; }
    QPushButton* match_button() const { return match_; }
    QPushButton* export_button() const { return export_; }

  protected:
    void on_done() override;

  private:
    struct WorkingPicture {
        SecureBytes data;
        std::u16string name;
        bool new_file = false;  // chosen in this dialog, not the card's own
    };
    void update_controls();
    void select_image();
    void remove_image();
    void export_image();
    void show_picture();

    Card& card_;
    std::optional<WorkingPicture> working_;
    bool match_pending_ = false;
    uint32_t matched_colour_ = 0xFFFFFF;
    QComboBox* position_;
    QLineEdit* name_;
    BackgroundPreview* preview_;
    QPushButton* select_;
    QPushButton* remove_;
    QPushButton* match_;
    QPushButton* export_;
};

}  // namespace ks::gui
