#include <gtest/gtest.h>

#include <QAbstractItemModelTester>
#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QLineEdit>
#include <QMenu>
#include <QTest>

#include <deque>
#include <fstream>

#include "core/wallet_document.h"
#include "dialogs/exchange_dialogs.h"
#include "dialogs/item_dialogs.h"
#include "forms/forms.h"
#include "platform/message_format.h"
#include "platform/texts.h"
#include "shell/gui/commands.h"
#include "shell/gui/gui_services.h"
#include "shell/gui/item_images.h"
#include "shell/gui/messages.h"
#include "shell/settings.h"
#include "shell/wallet_tree.h"
#include "support/test_support.h"
#include "support/wallet_builder.h"

namespace ks::gui {
namespace {

namespace fs = std::filesystem;

// The answers the tree's dialogs give.
struct TreeScript {
    std::deque<ExportRequest> exports;
    std::deque<ExportFormsRequest> form_exports;
    std::deque<fs::path> files;
    std::deque<std::optional<FormChoice>> card_types;
    std::deque<std::u16string> folder_names;  // empty: cancel
    bool main_level = false;
    int cards_shown = 0;
    std::vector<CardWindowStart> card_starts;
    // What the card window does to the card; its result is the closing notice (0 by default).
    std::function<int(Card&)> card_window;
};

class ScriptedTreeDialogs final : public TreeDialogs {
  public:
    explicit ScriptedTreeDialogs(TreeScript& s) : s_(s) {}
    bool folder_properties(QWidget*, FolderPropertiesRequest& r, WalletDocument&,
                           ItemImages&) override {
        if (s_.folder_names.empty() || s_.folder_names.front().empty()) return false;
        if (r.special)
            r.name = s_.folder_names.front();
        else
            r.folder.set_name(s_.folder_names.front());
        r.main_level = s_.main_level;
        s_.folder_names.pop_front();
        return true;
    }
    std::optional<FormChoice> select_card_type(QWidget*, const FormId&, const WalletDocument&,
                                               ItemImages&) override {
        if (s_.card_types.empty()) return std::nullopt;
        auto c = s_.card_types.front();
        s_.card_types.pop_front();
        return c;
    }
    bool export_choices(QWidget*, ExportRequest& r) override {
        if (s_.exports.empty()) return false;
        const int kind = r.selection_kind;
        r = s_.exports.front();
        r.selection_kind = kind;
        s_.exports.pop_front();
        return true;
    }
    bool export_form_choices(QWidget*, ExportFormsRequest& r) override {
        if (s_.form_exports.empty()) return false;
        r = s_.form_exports.front();
        s_.form_exports.pop_front();
        return true;
    }
    int import_forms(QWidget*) override { return ImportFormsDialog::kFromFile; }
    std::optional<fs::path> pick_file(QWidget*, FileKind) override {
        if (s_.files.empty()) return std::nullopt;
        auto f = s_.files.front();
        s_.files.pop_front();
        return f;
    }
    void run_card_window(QWidget*, CardWindowRequest& r, const CardWindowStart& start,
                         ItemImages&) override {
        ++s_.cards_shown;
        s_.card_starts.push_back(start);
        const int notice = s_.card_window ? s_.card_window(*r.card) : 0;
        post_message(r.owner, r.notification, notice);
    }
    void open_file(const fs::path&) override {}

  private:
    TreeScript& s_;
};

// A wallet: Top { A { a1, a2 }, B { b1 }, t1, t2 }, and My Forms.
class WalletTreeTest : public ::testing::Test {
  protected:
    void SetUp() override {
        app_settings().reset_to_defaults();
        ASSERT_EQ(doc.create(path, u"secret", std::nullopt, false), CreateResult::Created);
        ASSERT_EQ(doc.load(path, u"secret"), OpenResult::Opened);
        top = folder(u"Top", kNoIndex);
        a = folder(u"A", top);
        b = folder(u"B", top);
        a1 = card(u"a1", a);
        card(u"a2", a);
        card(u"b1", b);
        t1 = card(u"t1", top);
        card(u"t2", top);
        tree = std::make_unique<WalletTree>(doc, results, nullptr);
        tree->set_dialogs(std::make_unique<ScriptedTreeDialogs>(script));
        tester = std::make_unique<QAbstractItemModelTester>(
            tree->model(), QAbstractItemModelTester::FailureReportingMode::Fatal);
        tree->resize(300, 400);
        tree->reload();
        tree->show();
        tree->expandAll();
    }
    void TearDown() override {
        tester.reset();
        tree.reset();
        doc.close();
    }
    int folder(std::u16string_view name, int parent) {
        TreeNode f = doc.new_folder(parent == kNoIndex ? NodeId{} : doc.node(parent)->id());
        f.set_name(name);
        return doc.store_folder(f);
    }
    int card(std::u16string_view name, int parent) {
        Card c = doc.new_card(doc.node(parent)->id());
        c.node()->set_name(name);
        return doc.store_card(c);
    }
    void select(int entry) {
        const QModelIndex i = tree->wallet_model()->index_of(entry);
        ASSERT_TRUE(i.isValid());
        tree->setCurrentIndex(i);
    }
    size_t live_children(int folder) const { return doc.child_count(folder); }
    std::u16string question() const {
        return boxes.shown.empty() ? std::u16string() : boxes.shown.back().text;
    }

    test::TempDir dir;
    fs::path path = dir / "Tree.ks5";
    WalletDocument doc;
    SearchResults results;
    ScriptedMessageBoxes boxes;
    ScopedMessageBoxes scope{boxes};
    TreeScript script;
    std::unique_ptr<WalletTree> tree;
    std::unique_ptr<QAbstractItemModelTester> tester;
    int top = kNoIndex, a = kNoIndex, b = kNoIndex, a1 = kNoIndex, t1 = kNoIndex;
};

TEST_F(WalletTreeTest, ShowsTheFoldersAndCardsSortedCardsFirst) {
    const QModelIndex top_index = tree->wallet_model()->index_of(top);
    ASSERT_TRUE(top_index.isValid());
    QStringList names;
    for (int row = 0; row < tree->model()->rowCount(top_index); ++row)
        names << tree->model()->index(row, 0, top_index).data().toString();
    EXPECT_EQ(names, (QStringList{"t1", "t2", "A", "B"}));
    // My Forms comes last at the top level.
    const int rows = tree->model()->rowCount();
    EXPECT_EQ(tree->model()->index(rows - 1, 0).data(kEntryRole).toInt(), doc.my_forms_index());
}

TEST_F(WalletTreeTest, DroppingAFolderOnItsOwnDescendantChangesNothing) {
    const QModelIndex source = tree->wallet_model()->index_of(top);
    tree->start_drag(source);
    ASSERT_TRUE(tree->dragging());
    const QPoint over_a = tree->visualRect(tree->wallet_model()->index_of(a)).center();
    tree->drag_to(over_a);
    tree->end_drag(over_a);
    tree->finish_drop();
    EXPECT_EQ(tree->refusals(), 1);
    EXPECT_EQ(doc.place_of(top)->parent, kNoIndex);
    EXPECT_EQ(doc.place_of(a)->parent, top);
    EXPECT_EQ(tree->clip().mode, ClipMode::None);

    // A card dropped on another folder moves there.
    tree->start_drag(tree->wallet_model()->index_of(a1));
    const QPoint over_b = tree->visualRect(tree->wallet_model()->index_of(b)).center();
    tree->drag_to(over_b);
    tree->end_drag(over_b);
    tree->finish_drop();
    EXPECT_EQ(doc.place_of(a1)->parent, b);
}

TEST_F(WalletTreeTest, A33rdFavouriteIsIgnored) {
    std::vector<int> cards;
    for (int i = 0; i < 33; ++i) cards.push_back(card(u"c" + std::u16string(1, u'A' + i), a));
    for (int i = 0; i < 32; ++i) ASSERT_TRUE(doc.add_favourite(doc.node(cards[size_t(i)])->id()));
    select(cards[32]);
    const size_t shown = boxes.shown.size();
    tree->command(cmd::kAddToFavorites);
    EXPECT_EQ(doc.favourites_count(), 32u);
    EXPECT_FALSE(doc.is_favourite(doc.node(cards[32])->id()));
    EXPECT_EQ(boxes.shown.size(), shown);
    EXPECT_EQ(tree->model()->rowCount(tree->wallet_model()->index_of(kFavouritesEntry)), 32);
}

TEST_F(WalletTreeTest, DeletingAFolderAsksWithItsCountsAndTakesEverything) {
    select(top);
    boxes.answer(PromptAnswer::No);
    tree->command(cmd::kDelete);
    EXPECT_EQ(question(), format_message(load_string(22004), {int64_t{3}, int64_t{5}}));
    EXPECT_FALSE(doc.node(top)->deleted());

    select(top);
    boxes.answer(PromptAnswer::Yes);
    tree->command(cmd::kDelete);
    for (int index : {top, a, b, a1, t1}) EXPECT_TRUE(doc.node(index)->deleted()) << index;
    EXPECT_FALSE(tree->wallet_model()->index_of(top).isValid());
}

TEST_F(WalletTreeTest, RenamingInsideFavoritesIsRefusedBeforeTheEditorOpens) {
    select(t1);
    tree->command(cmd::kAddToFavorites);
    const QModelIndex favourites = tree->wallet_model()->index_of(kFavouritesEntry);
    ASSERT_TRUE(favourites.isValid());
    tree->setCurrentIndex(tree->model()->index(0, 0, favourites));
    tree->command(cmd::kRename);
    EXPECT_EQ(tree->editing(), false);
    EXPECT_EQ(tree->refusals(), 1);

    select(t1);
    tree->command(cmd::kRename);
    EXPECT_EQ(tree->editing(), true);
    QLineEdit* editor = nullptr;
    for (QLineEdit* e : tree->viewport()->findChildren<QLineEdit*>())
        if (e->isVisible()) editor = e;
    ASSERT_TRUE(editor);
    EXPECT_EQ(editor->text(), QStringLiteral("t1"));
    EXPECT_EQ(editor->maxLength(), 255);
    editor->setText(QStringLiteral("zz renamed"));
    QTest::keyClick(editor, Qt::Key_Return);
    QCoreApplication::processEvents();  // the editor commits through a queued call
    EXPECT_EQ(doc.node(t1)->name(), u"zz renamed");
    // The shortcut follows the new name.
    EXPECT_EQ(tree->model()
                  ->index(0, 0, tree->wallet_model()->index_of(kFavouritesEntry))
                  .data()
                  .toString(),
              QStringLiteral("zz renamed"));
}

TEST_F(WalletTreeTest, OneCopyPastedTwiceMakesTwoCopies) {
    select(t1);
    tree->command(cmd::kCopy);
    EXPECT_TRUE(QApplication::clipboard()->text().startsWith(QStringLiteral("t1")));
    select(b);
    tree->command(cmd::kPaste);
    select(b);
    tree->command(cmd::kPaste);
    EXPECT_EQ(live_children(b), 3u);
    EXPECT_EQ(live_children(top), 4u);  // the original stays
}

TEST_F(WalletTreeTest, CutThenPasteMovesAndCutThenRenameCancelsTheCut) {
    select(t1);
    tree->command(cmd::kCut);
    EXPECT_EQ(tree->clip().mode, ClipMode::Cut);
    EXPECT_EQ(tree->wallet_model()->index_of(t1).data(Qt::ForegroundRole).value<QColor>(),
              QColor(Qt::gray));
    tree->command(cmd::kRename);
    EXPECT_EQ(tree->clip().mode, ClipMode::None);
    EXPECT_NE(tree->wallet_model()->index_of(t1).data(Qt::ForegroundRole).value<QColor>(),
              QColor(Qt::gray));

    select(t1);
    tree->command(cmd::kCut);
    select(b);
    tree->command(cmd::kPaste);
    EXPECT_EQ(doc.place_of(t1)->parent, b);
    EXPECT_EQ(tree->clip().mode, ClipMode::None);
    EXPECT_EQ(tree->currentIndex(), tree->wallet_model()->index_of(t1));
}

TEST_F(WalletTreeTest, AFolderCannotGoIntoMyFormsButACardIsSavedThere) {
    select(b);
    tree->command(cmd::kCut);
    tree->move_to(tree->wallet_model()->index_of(doc.my_forms_index()));
    EXPECT_EQ(question(), load_string(22000));
    EXPECT_EQ(doc.place_of(b)->parent, top);

    const size_t forms = live_children(doc.my_forms_index());
    select(t1);
    tree->command(cmd::kCut);
    tree->move_to(tree->wallet_model()->index_of(doc.my_forms_index()));
    EXPECT_EQ(live_children(doc.my_forms_index()), forms + 1);
}

TEST_F(WalletTreeTest, ContextMenusAndTheDeleteText) {
    select(t1);
    tree->command(cmd::kAddToFavorites);
    const QModelIndex shortcut =
        tree->model()->index(0, 0, tree->wallet_model()->index_of(kFavouritesEntry));
    auto menu = tree->context_menu_at(tree->visualRect(shortcut).center());
    QStringList texts;
    for (QAction* action : menu->actions()) texts << action->text();
    EXPECT_EQ(texts, (QStringList{"Copy", "Remove", "Save to My Forms", "Export"}));

    auto nothing = tree->context_menu_at(QPoint(5, 390));
    ASSERT_EQ(nothing->actions().size(), 1);
    EXPECT_TRUE(nothing->actions().front()->isEnabled());

    // Removing the shortcut leaves the card.
    tree->setCurrentIndex(shortcut);
    boxes.answer(PromptAnswer::Yes);
    tree->command(cmd::kDelete);
    EXPECT_EQ(doc.favourites_count(), 0u);
    EXPECT_FALSE(doc.node(t1)->deleted());
    EXPECT_FALSE(tree->wallet_model()->index_of(kFavouritesEntry).isValid());
}

TEST_F(WalletTreeTest, NewFolderAndNewCard) {
    select(a);
    script.folder_names = {u""};  // cancelled: nothing made
    const size_t before = doc.nodes().size();
    tree->command(cmd::kNewFolder);
    EXPECT_EQ(doc.nodes().size(), before);

    script.folder_names = {u"Inner"};
    tree->command(cmd::kNewFolder);
    const int inner = tree->currentIndex().data(kEntryRole).toInt();
    EXPECT_EQ(doc.node(inner)->name(), u"Inner");
    EXPECT_EQ(doc.node(inner)->icon(), 72);
    EXPECT_EQ(doc.place_of(inner)->parent, a);

    // A new card opens in edit mode on its name, and is stored only when the window keeps it.
    script.card_types = {FormChoice{builtin_form_id(13), true, 13}};
    const size_t nodes = doc.nodes().size();
    tree->command(cmd::kNewCard);
    QApplication::processEvents();
    EXPECT_EQ(doc.nodes().size(), nodes);
    ASSERT_EQ(script.card_starts.size(), 1u);
    EXPECT_EQ(script.card_starts[0].mode, CardMode::Edit);
    EXPECT_TRUE(script.card_starts[0].on_card_name);

    script.card_types = {FormChoice{builtin_form_id(13), true, 13}};
    script.card_window = [](Card& c) {
        c.node()->set_name(u"Fresh");
        return 3;
    };
    tree->command(cmd::kNewCard);
    QApplication::processEvents();
    const int made = tree->currentIndex().data(kEntryRole).toInt();
    EXPECT_EQ(doc.kind_of(made), 1);
    EXPECT_EQ(doc.node(made)->name(), u"Fresh");
    EXPECT_EQ(doc.place_of(made)->parent, inner);
    EXPECT_EQ(script.cards_shown, 2);
}

TEST_F(WalletTreeTest, TheCardWindowsNoticeStoresOrDeletesTheCard) {
    select(t1);
    script.card_window = [](Card& c) {
        c.field(0).set_value(u"changed");
        return 3;
    };
    ASSERT_TRUE(doc.load_card(t1)->fields().empty());
    Card with_field = *doc.load_card(t1);
    with_field.insert_field(FieldRecord{});
    ASSERT_NE(doc.update_card(with_field), kNoIndex);
    QTest::keyClick(tree.get(), Qt::Key_Return);
    QApplication::processEvents();
    EXPECT_EQ(doc.load_card(t1)->fields().at(0).value(), u"changed");
    EXPECT_EQ(script.card_starts.back().mode, CardMode::View);

    script.card_window = [](Card&) { return 4; };
    QTest::keyClick(tree.get(), Qt::Key_Return);
    QApplication::processEvents();
    EXPECT_TRUE(doc.node(t1)->deleted());
}

TEST_F(WalletTreeTest, AFormInMyFormsOpensInFormDesign) {
    const int form = doc.save_to_my_forms(t1);
    ASSERT_NE(form, kNoIndex);
    tree->expandAll();
    select(form);
    QTest::keyClick(tree.get(), Qt::Key_Return);
    QApplication::processEvents();
    ASSERT_EQ(script.card_starts.size(), 1u);
    EXPECT_EQ(script.card_starts[0].mode, CardMode::Design);
}

TEST_F(WalletTreeTest, PropertiesRenameAFolderAndMoveItToTheMainLevel) {
    select(a);
    script.folder_names = {u"Renamed"};
    script.main_level = true;
    tree->command(cmd::kProperties);
    EXPECT_EQ(doc.node(a)->name(), u"Renamed");
    EXPECT_EQ(doc.place_of(a)->parent, kNoIndex);
    EXPECT_EQ(tree->currentIndex(), tree->wallet_model()->index_of(a));
    EXPECT_FALSE(tree->currentIndex().parent().isValid());

    // A special folder's caption.
    select(t1);
    tree->command(cmd::kAddToFavorites);
    tree->setCurrentIndex(tree->wallet_model()->index_of(kFavouritesEntry));
    script.folder_names = {u"Stars"};
    tree->command(cmd::kProperties);
    EXPECT_EQ(tree->wallet_model()->index_of(kFavouritesEntry).data().toString(),
              QStringLiteral("Stars"));
}

TEST_F(WalletTreeTest, ExportAndImportRoundTripsFromTheMenus) {
    // The whole wallet as text.
    ExportRequest text_export;
    text_export.items = 0;
    text_export.folder = dir.path();
    script.exports = {text_export};
    boxes.default_answer = PromptAnswer::No;
    tree->setCurrentIndex({});
    tree->command(cmd::kExport);
    bool found_text = false;
    for (const auto& e : fs::recursive_directory_iterator(dir.path()))
        found_text |= e.path().extension() == ".txt";
    EXPECT_TRUE(found_text);

    // A card as a form file, imported into My Forms.
    ExportRequest form_export;
    form_export.items = 3;
    form_export.format = 2;
    form_export.folder = dir.path() / "forms";
    script.exports = {form_export};
    script.form_exports = {ExportFormsRequest{u"t1", u"A form", u"Me", true}};
    select(t1);
    tree->command(cmd::kExport);
    std::vector<fs::path> forms;
    for (const auto& e : fs::directory_iterator(dir.path() / "forms")) forms.push_back(e.path());
    ASSERT_EQ(forms.size(), 1u);
    EXPECT_EQ(forms[0].extension(), ".ksx");

    const size_t before = live_children(doc.my_forms_index());
    select(doc.my_forms_index());
    script.files = {forms[0]};
    boxes.default_answer = PromptAnswer::Yes;
    tree->command(cmd::kImport);
    EXPECT_EQ(live_children(doc.my_forms_index()), before + 1);

    // A tab-separated list becomes a new folder of cards.
    const fs::path list = dir / "list.txt";
    std::ofstream(list) << "CardName\tUser\r\nMail\tme\r\nShop\tyou\r\n";
    script.files = {list};
    select(a);
    tree->command(cmd::kImport);
    const int imported = tree->currentIndex().data(kEntryRole).toInt();
    EXPECT_EQ(doc.kind_of(imported), 2);
    EXPECT_EQ(live_children(imported), 2u);
}

TEST_F(WalletTreeTest, SearchResultsShowTheTextAndLoseDeletedHits) {
    results.indexes = {a1, t1};
    results.text = u"x";
    tree->show_search_results();
    const QModelIndex folder = tree->wallet_model()->index_of(kSearchResultsEntry);
    ASSERT_TRUE(folder.isValid());
    EXPECT_EQ(folder.row(), 0);
    EXPECT_EQ(tree->model()->rowCount(folder), 2);
    EXPECT_TRUE(tree->isExpanded(folder));
    ASSERT_TRUE(doc.remove(t1));
    EXPECT_EQ(tree->model()->rowCount(tree->wallet_model()->index_of(kSearchResultsEntry)), 1);

    // Clear empties the list and the folder goes.
    tree->setCurrentIndex(tree->wallet_model()->index_of(kSearchResultsEntry));
    tree->command(cmd::kClear);
    EXPECT_TRUE(results.indexes.empty());
    EXPECT_FALSE(tree->wallet_model()->index_of(kSearchResultsEntry).isValid());
}

TEST_F(WalletTreeTest, KeysRunTheCommands) {
    select(t1);
    QTest::keyClick(tree.get(), Qt::Key_C, Qt::ControlModifier);
    EXPECT_EQ(tree->clip().mode, ClipMode::Copy);
    QTest::keyClick(tree.get(), Qt::Key_Return);
    EXPECT_EQ(script.cards_shown, 1);
    boxes.answer(PromptAnswer::No);
    QTest::keyClick(tree.get(), Qt::Key_Delete);
    EXPECT_EQ(question(), format_message(u"%s\n\n(%s)", {load_string(22003), u"t1"}));
    QTest::keyClick(tree.get(), Qt::Key_F2);
    EXPECT_EQ(tree->editing(), true);
}

TEST_F(WalletTreeTest, AClickOpensACardOrTogglesAFolderAndTheArrowTogglesOnce) {
    const QModelIndex b_index = tree->wallet_model()->index_of(b);
    ASSERT_TRUE(tree->isExpanded(b_index));
    const QRect label = tree->visualRect(b_index);
    QTest::mouseClick(tree->viewport(), Qt::LeftButton, {}, label.center());
    EXPECT_FALSE(tree->isExpanded(b_index));
    const QPoint arrow(label.left() - tree->indentation() / 2, label.center().y());
    QTest::mouseClick(tree->viewport(), Qt::LeftButton, {}, arrow);
    EXPECT_TRUE(tree->isExpanded(b_index));
    QTest::mouseClick(tree->viewport(), Qt::LeftButton, {},
                      tree->visualRect(tree->wallet_model()->index_of(t1)).center());
    EXPECT_EQ(script.cards_shown, 1);
}

TEST(WalletTreeDeepTest, AWalletOf20000NestedFoldersOpensWithoutACrash) {
    test::TempDir dir;
    const fs::path path = dir / "Deep.ks5";
    {
        WalletStorage storage;
        test::create_wallet(storage, path);
        auto chain = test::folder_chain(storage, 20000);
        test::append_nodes(storage, chain);
    }
    WalletDocument doc;
    ASSERT_EQ(doc.load(path, u"secret"), OpenResult::Opened);
    SearchResults results;
    WalletTree tree(doc, results, nullptr);
    tree.resize(300, 400);
    tree.reload();
    tree.show();
    tree.expand_or_collapse_all();
    QCoreApplication::processEvents();
    EXPECT_GE(tree.model()->rowCount(), 1);
    const QModelIndex deepest =
        tree.wallet_model()->index_of(doc.list_index_of(doc.nodes().back().id()));
    EXPECT_TRUE(deepest.isValid());
    EXPECT_EQ(folder_contents(doc, tree.model()->index(0, 0).data(kEntryRole).toInt()).folders,
              20000u);
}

}  // namespace
}  // namespace ks::gui
