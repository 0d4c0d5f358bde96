#pragma once
// The display options (tree and new-card text sizes and colours), the security options
// (automatic close) and the About box.
#include <array>
#include <cstdint>
#include <functional>

#include "core/wallet_blocks.h"
#include "card/full_screen_dialog.h"

class QCheckBox;
class QComboBox;
class QPushButton;

namespace ks::gui {

// What the display options edit: program settings and the open wallet's settings block.
struct DisplayValues {
    int32_t font_main = 9;
    int32_t font_main_style = 0;
    int32_t font_card = 9;
    uint32_t tree_colour = 0;
    uint32_t card_entry_colour = 0;
    CardStyle card_defaults{};
};

class DisplayOptionsDialog final : public FullScreenDialog {
    Q_OBJECT
  public:
    enum Swatch { Folders, Cards, Background, FieldNames, FieldData, kSwatches };
    DisplayOptionsDialog(QWidget* owner, const DisplayValues& values);
    // Valid after Done.
    const DisplayValues& values() const { return values_; }
    QComboBox* tree_size() const { return tree_size_; }
    QComboBox* card_size() const { return card_size_; }
    QPushButton* swatch(Swatch s) const { return swatches_[s]; }
    void set_swatch_colour(Swatch s, uint32_t colorref);
    // Replaceable for tests: the colour chooser (nothing when cancelled).
    std::function<std::optional<uint32_t>(uint32_t current)> choose_colour;

  protected:
    void on_done() override;

  private:
    void paint_swatch(Swatch s);

    DisplayValues values_;
    std::array<uint32_t, kSwatches> colours_{};
    std::array<QPushButton*, kSwatches> swatches_{};
    QComboBox* tree_size_;
    QComboBox* card_size_;
    QCheckBox* names_bold_;
    QCheckBox* data_bold_;
};

struct SecurityValues {
    uint32_t minutes = 0;
    bool close_when_switching = false;
};

class SecurityOptionsDialog final : public FullScreenDialog {
    Q_OBJECT
  public:
    SecurityOptionsDialog(QWidget* owner, const SecurityValues& values);
    const SecurityValues& values() const { return values_; }
    QComboBox* period() const { return period_; }
    QCheckBox* switching() const { return switching_; }

  protected:
    void on_done() override;

  private:
    SecurityValues values_;
    QComboBox* period_;
    QCheckBox* switching_;
};

class AboutBox final : public FullScreenDialog {
    Q_OBJECT
  public:
    explicit AboutBox(QWidget* owner);
    void run_command(int id) override;
    std::function<void()> open_web_site;
};

}  // namespace ks::gui
