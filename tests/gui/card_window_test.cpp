// The card window offscreen: the view's lines, selection and activation, the editor's rows and
// commits, form design, the Notes and Selection Field dialogs, and closing with its notices.
#include <gtest/gtest.h>

#include <QApplication>
#include <QBuffer>
#include <QClipboard>
#include <QComboBox>
#include <QListWidget>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QTest>

#include "card/card_dialogs.h"
#include "card/card_editors.h"
#include "card/card_window.h"
#include "card/notes_dialog.h"
#include "card/selection_field_dialog.h"
#include "card/title_strip.h"
#include "core/wallet_document.h"
#include "shell/gui/commands.h"
#include "shell/gui/gui_services.h"
#include "shell/gui/item_images.h"
#include "shell/gui/messages.h"
#include "shell/gui/secret_clipboard.h"
#include "shell/gui/soft_keys.h"
#include "shell/settings.h"
#include "support/test_support.h"

namespace ks::gui {
namespace {

// Counts what the scripted dialogs were asked, and changes the card as told.
class ScriptedCardDialogs final : public CardDialogs {
  public:
    bool text_colors(QWidget*, Card&) override { return ++text_colors_runs, false; }
    bool background(QWidget*, Card&) override { return true; }
    bool icon(QWidget*, TreeNode&, ItemImages&) override { return false; }
    void attachments(QWidget*, Card&, OpenedFiles&) override {}
    void sound(QWidget*, Card&) override {}
    void open_attachment(QWidget*, const Card&, int slot, OpenedFiles&) override {
        opened.push_back(slot);
    }
    int text_colors_runs = 0;
    std::vector<int> opened;
};

// Receives the card window's closing notices.
class Owner final : public QObject {
  public:
    bool event(QEvent* e) override {
        if (e->type() != MessageEvent::type()) return QObject::event(e);
        notices.push_back(static_cast<int>(static_cast<MessageEvent*>(e)->wparam));
        return true;
    }
    std::vector<int> notices;
};

FieldRecord make_field(uint16_t kind, std::u16string_view label, std::u16string_view value) {
    FieldRecord f;
    f.set_kind(kind);
    f.set_label(label);
    if (!value.empty()) f.set_value(value);
    return f;
}

// A card: Number (text), PIN, Mail, Web, Expires (date), Type (editable list), Active (yes/no,
// never set), and an empty Notes.
class CardWindowTest : public ::testing::Test {
  protected:
    void SetUp() override {
        app_settings().reset_to_defaults();
        ASSERT_EQ(doc.create(dir / "w.ks5", u"secret", std::nullopt, false), CreateResult::Created);
        ASSERT_EQ(doc.load(dir / "w.ks5", u"secret"), OpenResult::Opened);
        Card c = doc.new_card({});
        c.node()->set_name(u"Bank");
        c.insert_field(make_field(1, u"Number", u"12345678"));
        c.insert_field(make_field(7, u"PIN", u"4321"));
        c.insert_field(make_field(5, u"Mail", u"ann@example.org"));
        c.insert_field(make_field(3, u"Web", u"bank.example.com"));
        c.insert_field(make_field(8, u"Expires", u""));
        FieldRecord type = make_field(12, u"Type", u"Diners");
        type.add_list_item(u"Visa");
        type.add_list_item(u"Amex");
        c.insert_field(type);
        c.insert_field(make_field(13, u"Active", u""));
        c.insert_field(make_field(1, u"", u"nameless"));
        entry = doc.store_card(c);
        ASSERT_NE(entry, kNoIndex);
        card = *doc.load_card(entry);
        owner_window.resize(480, 640);
    }
    void TearDown() override {
        window.reset();
        doc.close();
    }
    CardWindow& open(CardMode mode = CardMode::View, bool on_name = false, int field = -1) {
        request = {};
        request.read_only = request_read_only;
        request.card = &card;
        request.owner = &owner;
        request.current_field = field;
        window = std::make_unique<CardWindow>(&owner_window, request, CardWindowStart{mode, on_name},
                                              dialogs, images);
        window->open_address = [this](const std::string& a) { addresses.push_back(a); };
        window->resize(480, 640);
        window->show();
        QApplication::processEvents();
        return *window;
    }
    CardList& list() { return *window->list(); }
    // The view line showing a field's value.
    int value_line(int field) {
        const auto& lines = list().lines();
        for (size_t i = 0; i < lines.size(); ++i)
            if (lines[i].field == field && lines[i].kind == CardLineKind::FieldValue)
                return static_cast<int>(i);
        return -1;
    }
    void tap_line(int line) {
        const QRect r = list().line_rect(line);
        QTest::mouseClick(list().surface()->viewport(), Qt::LeftButton, {}, r.center());
    }
    void key(int k, Qt::KeyboardModifiers mods = Qt::NoModifier) {
        QWidget* target = QApplication::focusWidget() ? QApplication::focusWidget() : window.get();
        QTest::keyClick(target, static_cast<Qt::Key>(k), mods);
    }
    // Posted notices may post more: two rounds.
    void settle() {
        QApplication::processEvents();
        QApplication::processEvents();
    }

    test::TempDir dir;
    WalletDocument doc;
    int entry = kNoIndex;
    Card card;
    QWidget owner_window;
    Owner owner;
    ScriptedCardDialogs dialogs;
    ItemImages images;
    CardWindowRequest request;
    bool request_read_only = false;
    std::unique_ptr<CardWindow> window;
    std::vector<std::string> addresses;
    ScriptedMessageBoxes boxes;
    ScopedMessageBoxes boxes_scope{boxes};
};

TEST_F(CardWindowTest, TheViewShowsFieldsWithValuesAndStartsOnTheFirstValue) {
    open();
    const auto& lines = list().lines();
    ASSERT_EQ(lines.size(), 12u);  // 6 fields with something to show, a label and a value each
    EXPECT_EQ(list().selected_line(), 1);
    EXPECT_EQ(lines[10].text, u"*");
    EXPECT_EQ(value_line(4), -1);  // the empty date
    EXPECT_EQ(value_line(6), -1);  // the yes/no never set
    EXPECT_EQ(window->title_strip()->text(), QStringLiteral("Bank"));
    EXPECT_EQ(list().message(LUM_GETFIELDTYPE), 0);
}

TEST_F(CardWindowTest, APinIsCopiedInClearAsASecretAndClearedLater) {
    open();
    secret_clipboard().set_interval(50);
    list().select_line(value_line(1));
    key(Qt::Key_C, Qt::ControlModifier);
    QClipboard* clipboard = QApplication::clipboard();
    EXPECT_EQ(clipboard->text(), QStringLiteral("4321"));
    const QMimeData* data = clipboard->mimeData();
    ASSERT_NE(data, nullptr);
    EXPECT_EQ(data->data(QStringLiteral("x-kde-passwordManagerHint")), QByteArray("secret"));
    QTest::qWait(120);
    EXPECT_TRUE(clipboard->text().isEmpty());

    // Something copied since is left alone.
    list().command(cmd::kCopyText);
    clipboard->setText(QStringLiteral("mine"));
    QTest::qWait(120);
    EXPECT_EQ(clipboard->text(), QStringLiteral("mine"));
    secret_clipboard().set_interval(kSecretClipboardMs);
}

TEST_F(CardWindowTest, TheFirstTapSelectsAndTheSecondOpensTheMail) {
    open();
    const int mail = value_line(2);
    tap_line(mail);
    EXPECT_EQ(list().selected_line(), mail);
    EXPECT_TRUE(addresses.empty());
    tap_line(mail);
    ASSERT_EQ(addresses.size(), 1u);
    EXPECT_EQ(addresses[0], "mailto:ann@example.org");

    list().select_line(value_line(3));
    key(Qt::Key_Return);
    EXPECT_EQ(addresses.back(), "http://bank.example.com");
    // A tap on a label selects the value below it.
    tap_line(value_line(0) - 1);
    EXPECT_EQ(list().selected_line(), value_line(0));
}

TEST_F(CardWindowTest, KeysMoveOverValuesOnly) {
    open();
    key(Qt::Key_Down);
    EXPECT_EQ(list().selected_line(), 3);
    key(Qt::Key_Tab);
    EXPECT_EQ(list().selected_line(), 5);
    key(Qt::Key_Up);
    EXPECT_EQ(list().selected_line(), 3);
    key(Qt::Key_Left);
    EXPECT_EQ(list().selected_line(), 3);
}

TEST_F(CardWindowTest, DoneReportsWhetherTheCardChanged) {
    open();
    window->run_command(cmd::kOk);
    settle();
    ASSERT_EQ(owner.notices, std::vector<int>{0});
    EXPECT_EQ(request.card, nullptr);
    EXPECT_EQ(window->result(), QDialog::Accepted);

    owner.notices.clear();
    open(CardMode::Edit);
    QTest::keyClicks(list().editors().text(), u8"Savings");  // the field's value
    key(Qt::Key_S, Qt::ControlModifier);                      // back to the view
    EXPECT_EQ(window->mode(), CardMode::View);
    key(Qt::Key_Return, Qt::ControlModifier);
    settle();
    EXPECT_EQ(owner.notices, std::vector<int>{3});
}

TEST_F(CardWindowTest, CancelOnAChangedCardAsksAndNoKeepsItOpen) {
    open(CardMode::Edit, true);
    QTest::keyClicks(list().editors().text(), "Savings");
    boxes.answer(PromptAnswer::No);
    key(Qt::Key_Escape);
    ASSERT_EQ(boxes.shown.size(), 1u);
    EXPECT_EQ(boxes.shown[0].text, load_string(25900));
    EXPECT_TRUE(window->isVisible());
    EXPECT_EQ(card.node()->name(), u"Savings");

    boxes.answer(PromptAnswer::Yes);
    window->run_command(cmd::kCardCancel);
    settle();
    EXPECT_FALSE(window->isVisible());
    EXPECT_EQ(owner.notices, std::vector<int>{0});
}

TEST_F(CardWindowTest, DismissalClosesWithoutAQuestion) {
    open(CardMode::Edit, true);
    QTest::keyClicks(list().editors().text(), "x");
    window->reject();
    settle();
    EXPECT_TRUE(boxes.shown.empty());
    EXPECT_EQ(owner.notices, std::vector<int>{0});
}

TEST_F(CardWindowTest, DeleteAskedYesClosesWithDelete) {
    open();
    boxes.answer(PromptAnswer::No);
    window->run_command(cmd::kDeleteCard);
    settle();
    EXPECT_TRUE(owner.notices.empty());
    boxes.answer(PromptAnswer::Yes);
    window->run_command(cmd::kDeleteCard);
    settle();
    EXPECT_EQ(owner.notices, std::vector<int>{4});
    EXPECT_EQ(window->result(), QDialog::Accepted);
}

TEST_F(CardWindowTest, EditStartsOnTheSelectedFieldAndTabWrapsToTheName) {
    open();
    list().select_line(value_line(7));  // the last field
    window->run_command(cmd::kEdit);
    EXPECT_EQ(list().current_row(), 2 * 7 + 3);
    key(Qt::Key_Tab);
    EXPECT_EQ(list().current_row(), 1);
    EXPECT_EQ(list().open_editor(), EditorKind::Name);
    EXPECT_EQ(list().editors().text()->selectedText(), QStringLiteral("Bank"));
    EXPECT_EQ(list().editors().text()->maxLength(), 255);
    key(Qt::Key_Backtab);
    EXPECT_EQ(list().current_row(), 1);
}

TEST_F(CardWindowTest, EditorsCommitAsTheirKindsSay) {
    open(CardMode::Edit);
    // The selection field keeps its free text unchanged; the yes/no never set stores "2".
    list().move_to_row(2 * 5 + 3);
    ASSERT_EQ(list().open_editor(), EditorKind::Selection);
    EXPECT_EQ(list().editors().selection()->currentText(), QStringLiteral("Diners"));
    list().move_to_row(2 * 6 + 3);
    ASSERT_EQ(list().open_editor(), EditorKind::YesNo);
    EXPECT_EQ(list().editors().yes_no()->checkState(), Qt::PartiallyChecked);
    key(Qt::Key_Tab);
    EXPECT_EQ(card.fields()[5].value(), u"Diners");
    EXPECT_EQ(card.fields()[5].change_bits(), 0u);
    EXPECT_EQ(card.fields()[6].value(), u"2");

    // Entry 0 of the selection clears the field.
    list().move_to_row(2 * 5 + 3);
    list().editors().selection()->setCurrentIndex(0);
    key(Qt::Key_Tab);
    EXPECT_TRUE(card.fields()[5].value().empty());

    // A date set, then cleared with Clear, stores nothing.
    list().move_to_row(2 * 4 + 3);
    ASSERT_EQ(list().open_editor(), EditorKind::Date);
    list().editors().date_time()->set_box()->setChecked(true);
    key(Qt::Key_Tab);
    EXPECT_NE(card.fields()[4].date().year, 0);
    list().move_to_row(2 * 4 + 3);
    window->run_command(cmd::kEditClear);
    key(Qt::Key_Tab);
    EXPECT_EQ(card.fields()[4].date().year, 0);
    EXPECT_TRUE(card.fields()[4].display_text().empty());
}

TEST_F(CardWindowTest, TheMenuEnablesWhatTheEditorCanDo) {
    open(CardMode::Edit, true);  // the name, all selected
    SoftKeyBar* keys = window->soft_keys();
    emit keys->menu_about_to_show();
    EXPECT_TRUE(keys->action(cmd::kEditCut)->isEnabled());
    list().move_to_row(2 * 6 + 3);  // yes/no: Clear only
    emit keys->menu_about_to_show();
    EXPECT_FALSE(keys->action(cmd::kEditCopy)->isEnabled());
    EXPECT_TRUE(keys->action(cmd::kEditClear)->isEnabled());
    window->run_command(cmd::kEditClear);
    EXPECT_EQ(list().editors().yes_no()->checkState(), Qt::PartiallyChecked);
}

TEST_F(CardWindowTest, TheNotesDialogReplacesTheValueKeepingLineBreaks) {
    open(CardMode::Edit);
    list().move_to_row(3);
    list().edit_notes = [](const QString& title, const QString& text) -> std::optional<QString> {
        EXPECT_EQ(title, QStringLiteral("Number"));
        return text + QStringLiteral("\r\nsecond line");
    };
    emit list().editors().more_clicked();
    EXPECT_TRUE(list().editors().text()->isReadOnly());
    key(Qt::Key_Tab);
    EXPECT_EQ(card.fields()[0].value(), u"12345678\r\nsecond line");
    // Opening the row again and leaving it keeps the line break.
    list().move_to_row(3);
    key(Qt::Key_Tab);
    EXPECT_EQ(card.fields()[0].value(), u"12345678\r\nsecond line");
}

TEST_F(CardWindowTest, FormDesignMovesFieldsAndOpensTheSelectionListOnlyForKind12) {
    open(CardMode::Design);
    EXPECT_EQ(window->title_strip()->text(), QStringLiteral("Form Design: Bank"));
    list().move_to_row(4);  // the third field's name
    window->run_command(cmd::kFieldTop);
    EXPECT_EQ(card.fields()[0].label(), u"Mail");
    EXPECT_EQ(list().current_row(), 0);
    window->run_command(cmd::kFieldBottom);
    EXPECT_EQ(card.fields().back().label(), u"Mail");

    int runs = 0;
    list().edit_selection_list = [&runs](FieldRecord&) { return ++runs, true; };
    list().move_to_row(2 * 4);  // Type, now fifth
    ASSERT_EQ(card.fields()[4].label(), u"Type");
    EXPECT_EQ(list().message(LUM_GETFIELDTYPE), 12);
    emit window->soft_keys()->menu_about_to_show();
    EXPECT_TRUE(window->soft_keys()->action(cmd::kEditSelectionField)->isEnabled());
    window->run_command(cmd::kEditSelectionField);
    EXPECT_EQ(runs, 1);
    list().move_to_row(0);
    emit window->soft_keys()->menu_about_to_show();
    EXPECT_FALSE(window->soft_keys()->action(cmd::kEditSelectionField)->isEnabled());
    window->run_command(cmd::kEditSelectionField);
    EXPECT_EQ(runs, 1);

    // A kind changed to date and back keeps its name.
    list().move_to_row(1);
    list().editors().selection()->setCurrentIndex(8);  // Date
    key(Qt::Key_Down);
    EXPECT_EQ(card.fields()[0].kind(), 8);
    list().move_to_row(1);
    list().editors().selection()->setCurrentIndex(0);
    key(Qt::Key_Down);
    EXPECT_EQ(card.fields()[0].kind(), 1);
    EXPECT_EQ(card.fields()[0].label(), u"Number");

    window->run_command(cmd::kAddField);
    EXPECT_EQ(card.fields().back().label(), u"New Field");
    EXPECT_EQ(list().editors().text()->selectedText(), QStringLiteral("New Field"));
    window->run_command(cmd::kOk);
    EXPECT_EQ(window->mode(), CardMode::Edit);
}

TEST_F(CardWindowTest, ACardOfAReadOnlyWalletIsOnlyShown) {
    request_read_only = true;
    open();
    window->run_command(cmd::kEdit);
    key(Qt::Key_D, Qt::ControlModifier);
    EXPECT_EQ(window->mode(), CardMode::View);
    emit window->soft_keys()->menu_about_to_show();
    EXPECT_FALSE(window->soft_keys()->action(cmd::kDeleteCard)->isEnabled());
    EXPECT_TRUE(window->soft_keys()->action(cmd::kCopyText)->isEnabled());
}

TEST_F(CardWindowTest, SwitchingModesRebuildsTheView) {
    open();
    window->run_command(cmd::kEdit);
    list().move_to_row(3);
    list().editors().text()->setText(QStringLiteral("87654321"));
    window->run_command(cmd::kOk);
    ASSERT_EQ(window->mode(), CardMode::View);
    EXPECT_EQ(list().lines()[1].text, u"87654321");
}

TEST_F(CardWindowTest, LineUpNearTheTopStaysAndPageUpReachesIt) {
    for (int i = 0; i < 60; ++i) card.insert_field(make_field(1, u"Extra", u"value"));
    open();
    QScrollBar* bar = list().surface()->verticalScrollBar();
    ASSERT_GT(bar->maximum(), 0);
    bar->setValue(3);
    bar->triggerAction(QAbstractSlider::SliderSingleStepSub);
    EXPECT_EQ(bar->value(), 3);
    bar->triggerAction(QAbstractSlider::SliderPageStepSub);
    EXPECT_EQ(bar->value(), 0);
}

TEST_F(CardWindowTest, AnAttachmentLineOpensTheAttachment) {
    FileAttachment file;
    ASSERT_TRUE(file.set_from_bytes(std::vector<uint8_t>{1, 2}, u"scan.pdf", std::nullopt));
    card.add_file(file);
    open();
    const int line = static_cast<int>(list().lines().size()) - 1;
    list().select_line(line);
    key(Qt::Key_Return);
    EXPECT_EQ(dialogs.opened, std::vector<int>{0});
}

TEST_F(CardWindowTest, TheBackgroundPictureIsPlacedOrTiled) {
    QImage red(8, 8, QImage::Format_RGB32);
    red.fill(Qt::red);
    QByteArray bmp;
    QBuffer buffer(&bmp);
    buffer.open(QIODevice::WriteOnly);
    ASSERT_TRUE(red.save(&buffer, "BMP"));
    const std::span<const uint8_t> bytes(reinterpret_cast<const uint8_t*>(bmp.data()),
                                         static_cast<size_t>(bmp.size()));
    CardStyle style = card.style();
    style[style::kBackground] = 0xFFFFFF;
    card.set_style(style);
    for (const int position : {10, 1}) {
        ASSERT_TRUE(card.picture().set_from_bytes(bytes, u"red.bmp", std::nullopt, position));
        open();
        QWidget* surface = list().surface()->viewport();
        const QImage shot = surface->grab().toImage();
        const QColor corner = shot.pixelColor(shot.width() - 2, shot.height() - 2);
        EXPECT_EQ(corner == QColor(Qt::red), position == 10) << position;
        EXPECT_EQ(shot.pixelColor(1, 1), QColor(Qt::red)) << position;
    }
}

TEST_F(CardWindowTest, SideBySideLayoutsPutNamesAndValuesOnOppositeSides) {
    CardStyle style = card.style();
    style[style::kNameColour] = 0x0000FF;  // red
    style[style::kDataColour] = 0xFF0000;  // blue
    style[style::kBackground] = 0xFFFFFF;
    for (const uint32_t layout : {1u, 2u}) {
        style[style::kLayout] = layout;
        card.set_style(style);
        open();
        list().select_line(value_line(2));  // keep the first row unselected
        QApplication::processEvents();
        const QImage shot = list().surface()->viewport()->grab().toImage();
        const QRect row = list().line_rect(value_line(0));
        int red_left = 0, red_right = 0, blue_left = 0, blue_right = 0;
        for (int y = row.top(); y < row.bottom(); ++y) {
            for (int x = 0; x < shot.width(); ++x) {
                const QColor c = shot.pixelColor(x, y);
                const bool left = x < shot.width() / 2;
                if (c.red() > 150 && c.green() < 100 && c.blue() < 100) (left ? red_left : red_right)++;
                if (c.blue() > 150 && c.green() < 100 && c.red() < 100) (left ? blue_left : blue_right)++;
            }
        }
        if (layout == 1) {
            EXPECT_GT(red_right, 0);
            EXPECT_EQ(red_left, 0);
            EXPECT_GT(blue_left, 0);
            EXPECT_EQ(blue_right, 0);
        } else {
            EXPECT_GT(red_left, 0);
            EXPECT_EQ(red_right, 0);
            EXPECT_GT(blue_right, 0);
            EXPECT_EQ(blue_left, 0);
        }
    }
}

TEST(NotesDialogTest, DoneWithoutAChangeGivesNothingAndZoomIsRemembered) {
    app_settings().reset_to_defaults();
    NotesDialog unchanged(nullptr, QStringLiteral("Notes"), QStringLiteral("one\r\ntwo"));
    EXPECT_EQ(unchanged.editor()->toPlainText(), QStringLiteral("one\ntwo"));
    EXPECT_EQ(unchanged.zoom(), 1);  // the default 9 counts as 100%
    unchanged.run_command(cmd::kOk);
    EXPECT_FALSE(unchanged.result().has_value());

    NotesDialog changed(nullptr, QStringLiteral("Notes"), QStringLiteral("one\r\ntwo"));
    changed.run_command(cmd::kZoom75 + 3);
    EXPECT_EQ(app_settings().NoteZoom, 3);
    EXPECT_EQ(changed.editor()->font().pointSize(), 13);
    test::DeterministicEnvironment fixed;
    changed.run_command(cmd::kInsertDate);
    changed.run_command(cmd::kOk);
    ASSERT_TRUE(changed.result().has_value());
    EXPECT_TRUE(changed.result()->startsWith(QStringLiteral("one\r\ntwo")));
    EXPECT_TRUE(changed.result()->endsWith(QStringLiteral("2006 ")));
}

TEST(SelectionFieldDialogTest, EntriesAreAddedMovedAndStoredUpTo128) {
    FieldRecord field;
    field.set_kind(12);
    field.add_list_item(u"a");
    field.add_list_item(u"b");
    SelectionFieldDialog dialog(nullptr, field);
    QTest::keyClicks(dialog.entry(), "c");
    QTest::keyClick(dialog.entry(), Qt::Key_Return);
    EXPECT_EQ(dialog.list()->count(), 3);
    EXPECT_TRUE(dialog.entry()->text().isEmpty());
    dialog.move(-1);  // c above b
    EXPECT_EQ(dialog.list()->currentRow(), 1);
    dialog.list()->setCurrentRow(0);
    dialog.remove();
    EXPECT_EQ(dialog.list()->currentRow(), 0);
    for (int i = 0; i < 127; ++i) dialog.list()->addItem(QStringLiteral("x%1").arg(i));
    dialog.run_command(cmd::kOk);
    ASSERT_EQ(field.list().size(), 128u);
    EXPECT_EQ(field.list()[0], u"c");
    EXPECT_EQ(field.list()[1], u"b");
}

}  // namespace
}  // namespace ks::gui
