// The card's attachment, sound, appearance and background dialogs and the file chooser, driven
// offscreen with scripted choosers, a scripted desktop and scripted message boxes.
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QBuffer>
#include <QCheckBox>
#include <QComboBox>
#include <QElapsedTimer>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTest>

#include <sys/stat.h>

#include <cstdlib>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "card/rules/attachment_files.h"
#include "core/card.h"
#include "dialogs/appearance_dialogs.h"
#include "dialogs/attachment_dialogs.h"
#include "dialogs/card_dialog_set.h"
#include "platform/bytes.h"
#include "platform/locale_format.h"
#include "platform/text.h"
#include "shell/gui/commands.h"
#include "shell/gui/gui_services.h"
#include "shell/gui/messages.h"
#include "shell/gui/soft_keys.h"
#include "shell/gui/sound_player.h"
#include "shell/utilities.h"
#include "support/test_support.h"

namespace ks::gui {
namespace {

namespace fs = std::filesystem;

using test::ScopedEnv;

// An owner that keeps the private messages posted to it.
class MessageCatcher final : public QWidget {
  public:
    std::vector<std::pair<uint32_t, intptr_t>> received;

  protected:
    bool event(QEvent* e) override {
        if (e->type() == MessageEvent::type()) {
            const auto* m = static_cast<MessageEvent*>(e);
            received.emplace_back(m->message, m->wparam);
            return true;
        }
        return QWidget::event(e);
    }
};

// A mono 16-bit PCM WAV file of `sample_bytes` bytes of samples.
Bytes wav_bytes(size_t sample_bytes = 64) {
    Bytes file(44, 0);
    const auto id = [&file](size_t at, const char* text) {
        std::copy_n(text, 4, file.begin() + at);
    };
    id(0, "RIFF");
    put_u32(file, 4, static_cast<uint32_t>(36 + sample_bytes));
    id(8, "WAVE");
    id(12, "fmt ");
    put_u32(file, 16, 16);
    put_u16(file, 20, 1);      // PCM
    put_u16(file, 22, 1);      // channels
    put_u32(file, 24, 8000);   // samples per second
    put_u32(file, 28, 16000);  // bytes per second
    put_u16(file, 32, 2);      // bytes per frame
    put_u16(file, 34, 16);     // bits per sample
    id(36, "data");
    put_u32(file, 40, static_cast<uint32_t>(sample_bytes));
    file.resize(file.size() + sample_bytes, 0x10);
    return file;
}

Bytes picture_bytes(const char* format, QColor colour, QSize size = {4, 4}) {
    QImage image(size, QImage::Format_RGB32);
    image.fill(colour);
    QByteArray encoded;
    QBuffer buffer(&encoded);
    buffer.open(QIODevice::WriteOnly);
    EXPECT_TRUE(image.save(&buffer, format));
    return Bytes(encoded.begin(), encoded.end());
}

FileAttachment attachment(std::u16string_view name, Bytes data) {
    FileAttachment a;
    EXPECT_TRUE(a.set_from_bytes(data, name, std::nullopt));
    return a;
}

// A loaded card as the card window holds it: nothing changed yet.
Card clean(Card card) {
    card.set_dirty(false);
    return card;
}

// On 5 March 2006, with the documents, the opened copies and the chooser's files in a
// temporary folder, message boxes and choosers scripted.
class CardDialogsTest : public ::testing::Test {
  protected:
    void SetUp() override {
        for (const fs::path& folder : {run_, documents_, files_}) fs::create_directories(folder);
        ::chmod(run_.c_str(), 0700);
        env_.set("XDG_RUNTIME_DIR", run_.string());
        env_.set("XDG_CACHE_HOME", (dir_ / "cache").string());
    }

    // A chooser that answers `picked` and keeps the request it was given.
    FileChooser chooser(PickedFile picked) {
        return [this, picked](QWidget*, const FilePickerRequest& request) {
            requests_.push_back(request);
            return picked;
        };
    }
    fs::path file(const std::string& name, const Bytes& bytes) {
        test::write_file_bytes(files_ / name, bytes);
        return files_ / name;
    }
    const PromptMessage& last_box() const { return boxes_.shown.back(); }
    std::u16string saved_text(const fs::path& path) const {
        return load_string(text_id::kFileSaved) + u"\n" + from_utf8(path.string());
    }

    test::DeterministicEnvironment environment_;
    ScopedLocaleFormats formats_{LocaleFormats::en_us()};
    test::TempDir dir_;
    fs::path run_ = dir_ / "run";
    fs::path documents_ = dir_ / "Documents";
    fs::path files_ = dir_ / "files";
    ScopedEnv env_;
    ScriptedMessageBoxes boxes_;
    ScopedMessageBoxes boxes_scope_{boxes_};
    std::vector<FilePickerRequest> requests_;
    std::vector<fs::path> opened_with_desktop_;
    DesktopOpener desktop_ = [this](const fs::path& path) { opened_with_desktop_.push_back(path); };
};

// ---- Attachments ----

TEST_F(CardDialogsTest, TenAttachmentsDisableAddFileAndOpenStillWorks) {
    Card card;
    for (int i = 0; i < 10; ++i)
        card.add_file(
            attachment(u"file" + from_utf8(std::to_string(i)) + u".txt", {'a', 'b', 'c'}));
    card = clean(std::move(card));
    OpenedFiles opened;
    AttachmentsDialog dialog(nullptr, card, opened);
    dialog.open_with = desktop_;
    ASSERT_EQ(dialog.list()->count(), 10);
    EXPECT_FALSE(dialog.add_button()->isEnabled());
    EXPECT_TRUE(dialog.status()->text().contains(QStringLiteral("3/5/2006")));
    EXPECT_TRUE(dialog.status()->text().contains(qs(format_size(3))));

    dialog.list()->setCurrentRow(3);
    dialog.open_button()->click();
    const fs::path copy = run_ / "keystash" / "opened" / "20060305_file3.txt";
    EXPECT_EQ(opened_with_desktop_, std::vector<fs::path>{copy});
    EXPECT_EQ(test::read_file_bytes(copy), (Bytes{'a', 'b', 'c'}));
    // Opened again (here by Enter on the list): handed over again, listed once.
    QTest::keyClick(dialog.list(), Qt::Key_Return);
    EXPECT_EQ(opened_with_desktop_.size(), 2u);
    EXPECT_EQ(opened.paths(), std::vector<fs::path>{copy});
    EXPECT_FALSE(card.dirty());
}

TEST_F(CardDialogsTest, WithoutASelectionOnlyAddFileIsOffered) {
    Card card;
    OpenedFiles opened;
    AttachmentsDialog dialog(nullptr, card, opened);
    EXPECT_TRUE(dialog.add_button()->isEnabled());
    for (QPushButton* b : {dialog.remove_button(), dialog.export_button(), dialog.open_button()})
        EXPECT_FALSE(b->isEnabled()) << b->text().toStdString();
    EXPECT_TRUE(dialog.status()->text().isEmpty());
    // Done comes from Ctrl+Enter as well as from its key.
    dialog.show();
    QTest::keyClick(&dialog, Qt::Key_Return, Qt::ControlModifier);
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
}

TEST_F(CardDialogsTest, AddFileTakesTheChosenFileAndTurnsAwayOneItCannotRead) {
    Card card;
    OpenedFiles opened;
    AttachmentsDialog dialog(nullptr, card, opened);
    dialog.choose_file = chooser({PickOutcome::Chosen, file("Tax 2005.pdf", {1, 2, 3, 4})});
    dialog.add_button()->click();
    ASSERT_EQ(requests_.size(), 1u);
    EXPECT_EQ(requests_[0].pattern, u"*.*");
    EXPECT_EQ(requests_[0].filter_title, text_id::kFilesFilter);
    EXPECT_EQ(requests_[0].window_title, text_id::kAddAttachmentTitle);
    EXPECT_TRUE(requests_[0].offer_none);
    ASSERT_EQ(card.file_count(), 1u);
    EXPECT_EQ(card.files()[0].name(), u"Tax 2005.pdf");
    EXPECT_TRUE(card.dirty());
    EXPECT_EQ(dialog.list()->currentItem()->text(), QStringLiteral("Tax 2005.pdf"));

    for (const PickedFile& picked :
         {PickedFile{PickOutcome::None, {}}, PickedFile{PickOutcome::Cancelled, {}},
          PickedFile{PickOutcome::Chosen, files_ / "missing"}}) {
        dialog.choose_file = chooser(picked);
        dialog.add_button()->click();
    }
    EXPECT_EQ(card.file_count(), 1u);
    ASSERT_EQ(boxes_.shown.size(), 1u);  // only the unreadable file is reported
    EXPECT_EQ(last_box().icon, PromptIcon::Exclamation);
}

TEST_F(CardDialogsTest, RemoveFileEmptiesTheSlotAndMarksTheCardChanged) {
    Card card;
    card.add_file(attachment(u"a.txt", {1}));
    card.add_file(attachment(u"b.txt", {2}));
    card = clean(std::move(card));
    OpenedFiles opened;
    AttachmentsDialog dialog(nullptr, card, opened);
    dialog.list()->setCurrentRow(1);
    dialog.remove_button()->click();
    EXPECT_TRUE(card.dirty());
    EXPECT_EQ(card.file_count(), 1u);
    EXPECT_FALSE(card.files()[1].has_data());
    ASSERT_EQ(dialog.list()->count(), 1);
    EXPECT_EQ(dialog.list()->item(0)->text(), QStringLiteral("a.txt"));
}

TEST_F(CardDialogsTest, ExportFileWritesTheDatedCopyAndSaysWhere) {
    Card card;
    card.add_file(attachment(u"notes.txt", {'n'}));
    OpenedFiles opened;
    AttachmentsDialog dialog(nullptr, card, opened);
    dialog.documents = documents_;
    dialog.export_button()->click();
    const fs::path exported = documents_ / "20060305_notes.txt";
    EXPECT_EQ(test::read_file_bytes(exported), Bytes{'n'});
    ASSERT_EQ(boxes_.shown.size(), 1u);
    EXPECT_EQ(last_box().text, saved_text(exported));
    EXPECT_EQ(last_box().icon, PromptIcon::Information);
    EXPECT_EQ(last_box().caption, load_string(text_id::kProductName));
}

TEST_F(CardDialogsTest, AWalletAttachmentIsSavedButNeverOpened) {
    Card card;
    card.add_file(attachment(u"Backup.KS5", {5, 5}));
    OpenedFiles opened;
    AttachmentsDialog dialog(nullptr, card, opened);
    dialog.open_with = desktop_;
    dialog.documents = documents_;
    dialog.open_button()->click();
    EXPECT_TRUE(opened_with_desktop_.empty());
    EXPECT_TRUE(opened.empty());
    const fs::path saved = documents_ / "20060305_Backup.KS5";
    EXPECT_TRUE(fs::exists(saved));
    ASSERT_EQ(boxes_.shown.size(), 1u);
    EXPECT_EQ(last_box().text, saved_text(saved));
}

TEST_F(CardDialogsTest, TheCardViewsOpenGoesThroughTheSameSteps) {
    Card card;
    card.add_file(attachment(u"photo.jpg", {7}));
    OpenedFiles opened;
    StandardCardDialogs dialogs;
    dialogs.open_with = desktop_;
    dialogs.open_attachment(nullptr, card, 12, opened);
    dialogs.open_attachment(nullptr, card, -1, opened);
    dialogs.open_attachment(nullptr, card, 1, opened);  // an empty slot
    EXPECT_TRUE(opened_with_desktop_.empty());
    dialogs.open_attachment(nullptr, card, 0, opened);
    EXPECT_EQ(opened_with_desktop_,
              std::vector<fs::path>{run_ / "keystash" / "opened" / "20060305_photo.jpg"});
}

// ---- Sound ----

class SoundDialogTest : public CardDialogsTest {
  protected:
    void SetUp() override {
        CardDialogsTest::SetUp();
        card_.sound().set_from_bytes(wav_bytes(), u"old.wav");
        card_.sound().set_play_when_viewed(false);
        card_ = clean(std::move(card_));
    }
    void script(SoundDialog& dialog) {
        dialog.play = [this](std::span<const uint8_t> wav) {
            played_.emplace_back(wav.begin(), wav.end());
        };
        dialog.stop_playing = [this] { ++stops_; };
        dialog.documents = documents_;
    }
    Card card_;
    std::vector<Bytes> played_;
    int stops_ = 0;
};

TEST_F(SoundDialogTest, NoneRemovesTheWorkingSoundAndDoneClearsTheCards) {
    SoundDialog dialog(nullptr, card_);
    script(dialog);
    EXPECT_EQ(dialog.file_name()->text(), QStringLiteral("old.wav"));
    dialog.choose_file = chooser({PickOutcome::None, {}});
    dialog.select_button()->click();
    ASSERT_EQ(requests_.size(), 1u);
    EXPECT_EQ(requests_[0].pattern, u"*.wav");
    EXPECT_TRUE(requests_[0].offer_none);
    EXPECT_FALSE(dialog.has_working_sound());
    for (QWidget* w :
         std::initializer_list<QWidget*>{dialog.remove_button(), dialog.play_button(),
                                         dialog.export_button(), dialog.play_when_viewed()})
        EXPECT_FALSE(w->isEnabled());
    EXPECT_FALSE(card_.dirty());  // nothing reaches the card before Done
    dialog.run_command(cmd::kOk);
    EXPECT_FALSE(card_.sound().has_data());
    EXPECT_TRUE(card_.dirty());
}

TEST_F(SoundDialogTest, DoneStoresAChosenSoundWithItsPlayFlag) {
    const Bytes ring = wav_bytes(32);
    SoundDialog dialog(nullptr, card_);
    script(dialog);
    dialog.choose_file = chooser({PickOutcome::Chosen, file("ring.wav", ring)});
    dialog.select_button()->click();
    EXPECT_EQ(dialog.file_name()->text(), QStringLiteral("ring.wav"));
    EXPECT_TRUE(dialog.play_when_viewed()->isChecked());
    dialog.play_button()->click();
    EXPECT_EQ(played_, std::vector<Bytes>{ring});
    dialog.run_command(cmd::kOk);
    const SoundAttachment& sound = std::as_const(card_).sound();
    EXPECT_EQ(Bytes(sound.data_view().begin(), sound.data_view().end()), ring);
    EXPECT_EQ(sound.name(), u"ring.wav");
    EXPECT_TRUE(sound.play_when_viewed());
    EXPECT_TRUE(card_.dirty());
    EXPECT_GE(stops_, 2);  // before playing, and on Done
}

TEST_F(SoundDialogTest, CancelAndAnUnchangedDoneLeaveTheCardAsItWas) {
    {
        SoundDialog dialog(nullptr, card_);
        script(dialog);
        dialog.choose_file = chooser({PickOutcome::Chosen, file("ring.wav", wav_bytes(8))});
        dialog.select_button()->click();
        dialog.play_when_viewed()->setChecked(true);
        dialog.run_command(cmd::kCancel);
    }
    {
        SoundDialog dialog(nullptr, card_);
        script(dialog);
        dialog.run_command(cmd::kOk);
    }
    EXPECT_FALSE(card_.dirty());
    EXPECT_EQ(std::as_const(card_).sound().name(), u"old.wav");
    EXPECT_FALSE(std::as_const(card_).sound().play_when_viewed());
}

TEST_F(SoundDialogTest, AFileThatIsNoPlayableSoundIsTurnedAway) {
    SoundDialog dialog(nullptr, card_);
    script(dialog);
    dialog.choose_file = chooser({PickOutcome::Chosen, file("fake.wav", {'R', 'I', 'F', 'F'})});
    dialog.select_button()->click();
    ASSERT_EQ(boxes_.shown.size(), 1u);
    EXPECT_EQ(last_box().icon, PromptIcon::Exclamation);
    EXPECT_EQ(dialog.file_name()->text(), QStringLiteral("old.wav"));  // the working sound stays
}

TEST_F(SoundDialogTest, ExportingTheSoundTwiceOnOneDayFailsTheSecondTime) {
    SoundDialog dialog(nullptr, card_);
    script(dialog);
    dialog.export_button()->click();
    const fs::path exported = documents_ / "2006035_old.wav";
    EXPECT_EQ(test::read_file_bytes(exported), wav_bytes());
    ASSERT_EQ(boxes_.shown.size(), 1u);
    EXPECT_EQ(last_box().text, saved_text(exported));
    dialog.export_button()->click();
    EXPECT_EQ(boxes_.shown.size(), 1u);  // failed, silently
}

// ---- Text/Colors ----

TEST_F(CardDialogsTest, TextColorsStoresOnlyAChangedStyle) {
    Card card;
    card.set_style(default_card_style());
    card = clean(std::move(card));
    {
        TextColorsDialog dialog(nullptr, card);
        EXPECT_EQ(dialog.size_list()->currentIndex(), 1);  // 9 points
        dialog.run_command(cmd::kOk);
        EXPECT_EQ(dialog.result(), QDialog::Accepted);
        EXPECT_FALSE(dialog.changed());
        EXPECT_FALSE(card.dirty());
    }
    {
        TextColorsDialog dialog(nullptr, card);
        int asked = 0;
        dialog.choose_colour = [&](QWidget*, const QColor& current) -> std::optional<QColor> {
            ++asked;
            EXPECT_EQ(colorref(current), default_card_style()[style::kBackground]);
            return QColor(255, 0, 0);
        };
        dialog.show();
        dialog.background_button()->setFocus();
        QTest::keyClick(dialog.background_button(), Qt::Key_Space);
        EXPECT_EQ(asked, 1);
        dialog.names_bold()->setChecked(true);
        dialog.run_command(cmd::kCancel);
        EXPECT_FALSE(card.dirty());
    }
    TextColorsDialog dialog(nullptr, card);
    dialog.choose_colour = [](QWidget*, const QColor&) { return std::optional<QColor>(Qt::red); };
    dialog.data_button()->click();
    dialog.always_display()->setChecked(true);
    dialog.run_command(cmd::kOk);
    EXPECT_TRUE(dialog.changed());
    EXPECT_TRUE(card.dirty());
    EXPECT_EQ(card.style()[style::kDataColour], 0x0000FFu);
    EXPECT_EQ(card.style()[style::kAlwaysShowPins], 1u);
}

TEST_F(CardDialogsTest, TextSizesMapToTheirEntriesAndBack) {
    const std::pair<uint32_t, int> shown[] = {{1, 0},  {8, 0},  {9, 1}, {10, 2},
                                              {12, 2}, {13, 1}, {0, 0}};
    for (const auto& [points, entry] : shown) {
        Card card;
        CardStyle style = default_card_style();
        style[style::kTextSize] = points;
        card.set_style(style);
        card = clean(std::move(card));
        TextColorsDialog dialog(nullptr, card);
        EXPECT_EQ(dialog.size_list()->currentIndex(), entry) << points;
        dialog.run_command(cmd::kOk);
        const uint32_t stored[] = {8, 9, 11};
        EXPECT_EQ(card.style()[style::kTextSize], stored[entry]) << points;
        EXPECT_EQ(dialog.changed(), points != stored[entry]) << points;
    }
}

// ---- Background ----

class BackgroundDialogTest : public CardDialogsTest {
  protected:
    Card card_with_picture(int32_t position, QColor colour = Qt::blue) {
        Card card;
        card.set_style(default_card_style());
        card.picture().set_from_bytes(picture_bytes("BMP", colour), u"wall.bmp", std::nullopt,
                                      position);
        return clean(std::move(card));
    }
};

TEST_F(BackgroundDialogTest, ATiledPictureKeepsItsPositionAndTheCardStaysUnchanged) {
    Card card = card_with_picture(10);
    BackgroundDialog dialog(nullptr, card);
    EXPECT_EQ(dialog.position_list()->currentIndex(), 9);
    EXPECT_EQ(dialog.file_name()->text(), QStringLiteral("wall.bmp"));
    EXPECT_TRUE(dialog.match_button()->isEnabled());
    dialog.run_command(cmd::kOk);
    EXPECT_EQ(card.picture().setting(), 10);
    card.set_dirty(false);

    BackgroundDialog moved(nullptr, card);
    moved.position_list()->setCurrentIndex(4);
    moved.run_command(cmd::kOk);
    EXPECT_EQ(std::as_const(card).picture().setting(), 5);
    EXPECT_TRUE(card.dirty());
}

TEST_F(BackgroundDialogTest, ACardWithoutAPictureOffersPositionNineAndOnlySelectImage) {
    Card card = clean(Card{});
    BackgroundDialog dialog(nullptr, card);
    EXPECT_EQ(dialog.position_list()->currentIndex(), 8);
    for (QWidget* w :
         std::initializer_list<QWidget*>{dialog.remove_button(), dialog.match_button(),
                                         dialog.export_button(), dialog.position_list()})
        EXPECT_FALSE(w->isEnabled());
    dialog.run_command(cmd::kOk);
    EXPECT_FALSE(card.dirty());
}

TEST_F(BackgroundDialogTest, TheTypeComesFromTheExtensionInAnyCase) {
    Card card = card_with_picture(3);
    const Bytes jpeg = picture_bytes("JPEG", Qt::green, {40, 30});
    BackgroundDialog dialog(nullptr, card);
    dialog.choose_file = chooser({PickOutcome::Chosen, file("PHOTO.JPEG", jpeg)});
    dialog.select_button()->click();
    ASSERT_EQ(requests_.size(), 1u);
    EXPECT_EQ(requests_[0].pattern, u"*.bmp;*.jpg;*.jpeg;*.gif");
    EXPECT_TRUE(dialog.has_working_picture());
    EXPECT_EQ(card.picture().format(), ImageFormat::Bmp);  // not before Done
    dialog.run_command(cmd::kOk);
    const PictureAttachment& picture = std::as_const(card).picture();
    EXPECT_EQ(picture.format(), ImageFormat::Jpeg);
    EXPECT_EQ(picture.name(), u"PHOTO.JPEG");
    EXPECT_EQ(picture.setting(), 3);
    EXPECT_EQ(Bytes(picture.data_view().begin(), picture.data_view().end()), jpeg);
}

TEST_F(BackgroundDialogTest, AFileThatIsNoPictureLeavesNoWorkingPicture) {
    Card card = card_with_picture(5);
    BackgroundDialog dialog(nullptr, card);
    dialog.choose_file = chooser({PickOutcome::Chosen, file("fake.bmp", {'B', 'M', 0, 1})});
    dialog.select_button()->click();
    EXPECT_FALSE(dialog.has_working_picture());
    EXPECT_FALSE(dialog.export_button()->isEnabled());
    ASSERT_EQ(boxes_.shown.size(), 1u);
    EXPECT_EQ(last_box().icon, PromptIcon::Exclamation);
    dialog.run_command(cmd::kOk);
    EXPECT_FALSE(std::as_const(card).picture().has_data());
}

TEST_F(BackgroundDialogTest, MatchBackgroundTakesThePicturesTopLeftColourOnDone) {
    Card card = card_with_picture(5, QColor(0x12, 0x34, 0x56));
    {
        BackgroundDialog dialog(nullptr, card);
        dialog.match_button()->click();
        dialog.remove_button()->click();  // forgets the match
        dialog.run_command(cmd::kCancel);
    }
    EXPECT_FALSE(card.dirty());
    BackgroundDialog dialog(nullptr, card);
    dialog.resize(300, 400);
    dialog.match_button()->click();
    EXPECT_TRUE(dialog.match_pending());
    dialog.run_command(cmd::kOk);
    EXPECT_EQ(card.style()[style::kBackground], 0x563412u);
    EXPECT_TRUE(card.dirty());
}

TEST_F(BackgroundDialogTest, ExportImageNeverReplacesAFile) {
    Card card = card_with_picture(5);
    BackgroundDialog dialog(nullptr, card);
    dialog.documents = documents_;
    dialog.export_button()->click();
    dialog.export_button()->click();
    ASSERT_EQ(boxes_.shown.size(), 1u);
    EXPECT_EQ(last_box().text, saved_text(documents_ / "2006035_wall.bmp"));
}

// ---- The file chooser ----

class FilePickerTest : public CardDialogsTest {
  protected:
    void SetUp() override {
        CardDialogsTest::SetUp();
        for (const char* folder : {"b", "A", ".hidden"}) fs::create_directories(root_ / folder);
        for (const char* name : {"y.wav", "x.WAV", "z.txt", ".secret.wav", "A/inner.wav"})
            test::write_file_bytes(root_ / name, {1});
    }
    FilePickerRequest request(bool offer_none = false) const {
        return {u"*.wav",   text_id::kSoundFilesFilter, text_id::kSelectSoundTitle, 225,
                offer_none, {{u"Here", root_}}};
    }
    std::vector<std::string> entries(const FilePicker& picker) const {
        std::vector<std::string> names;
        for (int i = 0; i < picker.list()->count(); ++i)
            names.push_back(picker.list()->item(i)->text().toStdString());
        return names;
    }
    void deliver() { QCoreApplication::sendPostedEvents(&owner_, 0); }

    fs::path root_ = dir_ / "pick";
    MessageCatcher owner_;
};

TEST_F(FilePickerTest, ListsFoldersFirstThenTheMatchingFiles) {
    FilePicker picker(&owner_, request());
    EXPECT_EQ(picker.folder(), root_);
    EXPECT_EQ(entries(picker), (std::vector<std::string>{"..", "A", "b", "x.WAV", "y.wav"}));
    EXPECT_EQ(picker.list()->currentRow(), 1);
    EXPECT_EQ(picker.locations()->currentText(), QStringLiteral("Here"));
    EXPECT_EQ(picker.soft_keys()->menu_id(), menu_id::kDoneCancel);

    const std::pair<const char*, bool> names[] = {
        {"a.wav", true}, {"A.WaV", true}, {"a.wave", false}, {"wav", false}};
    for (const auto& [name, matches] : names)
        EXPECT_EQ(matches_file_pattern(QString::fromUtf8(name), u"*.txt;*.wav"), matches) << name;
    EXPECT_TRUE(matches_file_pattern(QStringLiteral("README"), u"*.*"));
}

TEST_F(FilePickerTest, TheKeyboardGoesInAndOutOfFoldersAndChooses) {
    FilePicker picker(&owner_, request());
    picker.show();
    picker.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&picker));
    picker.list()->setFocus();
    QTest::keyClick(picker.list(), Qt::Key_Return);  // into "A"
    EXPECT_EQ(picker.folder(), root_ / "A");
    EXPECT_EQ(entries(picker), (std::vector<std::string>{"..", "inner.wav"}));
    QTest::keyClick(picker.list(), Qt::Key_Backspace);
    EXPECT_EQ(picker.folder(), root_);
    EXPECT_EQ(picker.list()->currentItem()->text(), QStringLiteral("A"));

    // Ctrl+L and a folder typed, then a file typed relative to it.
    QTest::keyClick(&picker, Qt::Key_L, Qt::ControlModifier);
    EXPECT_TRUE(picker.path_box()->hasFocus());
    picker.path_box()->setText(QString::fromStdString((root_ / "b").string()));
    QTest::keyClick(picker.path_box(), Qt::Key_Return);
    EXPECT_EQ(picker.folder(), root_ / "b");
    picker.path_box()->setText(QStringLiteral("../y.wav"));
    picker.path_box()->setFocus();
    QTest::keyClick(picker.path_box(), Qt::Key_Return);
    EXPECT_EQ(picker.result(), QDialog::Accepted);
    EXPECT_EQ(picker.picked().outcome, PickOutcome::Chosen);
    EXPECT_EQ(picker.picked().path, root_ / "y.wav");
    deliver();
    EXPECT_EQ(owner_.received,
              (std::vector<std::pair<uint32_t, intptr_t>>{{kFilePickerMessage, kPickerChosen}}));
}

TEST_F(FilePickerTest, DoneOnAFileChoosesIt) {
    FilePicker picker(&owner_, request());
    picker.list()->setCurrentRow(3);  // x.WAV
    picker.run_command(cmd::kOk);
    EXPECT_EQ(picker.picked().outcome, PickOutcome::Chosen);
    EXPECT_EQ(picker.picked().path, root_ / "x.WAV");
}

TEST_F(FilePickerTest, NoneAndCancelEndTheChoiceEmpty) {
    {
        FilePicker picker(&owner_, request(true));
        EXPECT_EQ(picker.soft_keys()->menu_id(), menu_id::kFilePickerNone);
        ASSERT_TRUE(picker.soft_keys()->action(cmd::kNone));
        picker.soft_keys()->action(cmd::kNone)->trigger();
        EXPECT_EQ(picker.picked().outcome, PickOutcome::None);
        EXPECT_TRUE(picker.picked().path.empty());
    }
    {
        FilePicker picker(&owner_, request(true));
        picker.show();
        QTest::keyClick(picker.list(), Qt::Key_Escape);
        EXPECT_EQ(picker.picked().outcome, PickOutcome::Cancelled);
        EXPECT_EQ(picker.result(), QDialog::Rejected);
    }
    {
        FilePicker picker(&owner_, request(false));  // None is not offered
        picker.run_command(cmd::kNone);
        EXPECT_FALSE(picker.result() == QDialog::Accepted);
    }
    deliver();
    EXPECT_EQ(owner_.received,
              (std::vector<std::pair<uint32_t, intptr_t>>{{kFilePickerMessage, kPickerChosen},
                                                          {kFilePickerMessage, kPickerCancelled}}));
}

// ---- The sound player ----

TEST(SoundPlayerTest, NeverFailsLoudlyWithoutAnAudioDevice) {
    SoundPlayer player;
    EXPECT_FALSE(player.play(Bytes{'n', 'o', 'p', 'e'}));
    EXPECT_FALSE(player.playing());
    const bool started = player.play(wav_bytes(1600));
    EXPECT_EQ(player.playing(), started);
    QElapsedTimer waited;
    waited.start();
    while (player.playing() && waited.elapsed() < 3000) QTest::qWait(20);
    player.stop();
    EXPECT_FALSE(player.playing());
}

}  // namespace
}  // namespace ks::gui
