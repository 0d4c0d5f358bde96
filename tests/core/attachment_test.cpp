#include "core/attachment.h"

#include <gtest/gtest.h>

#include "core/stored_text.h"
#include "platform/text.h"
#include "support/test_support.h"
#include "support/wallet_builder.h"

namespace ks {
namespace {

TEST(AttachmentNames, FormatsFromExtensions) {
    struct Case {
        std::u16string name;
        ImageFormat image;
        SoundFormat sound;
    };
    const std::vector<Case> cases = {
        {u"photo.JPEG", ImageFormat::Jpeg, SoundFormat::Other},
        {u"photo.jpg", ImageFormat::Jpeg, SoundFormat::Other},
        {u"a.b.Bmp", ImageFormat::Bmp, SoundFormat::Other},
        {u"anim.gif", ImageFormat::Gif, SoundFormat::Other},
        {u"ring.WAV", ImageFormat::Other, SoundFormat::Wav},
        {u"noextension", ImageFormat::Other, SoundFormat::Other},
        {u"trailing.", ImageFormat::Other, SoundFormat::Other},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(image_format_from_name(c.name), c.image) << to_utf8(c.name);
        EXPECT_EQ(sound_format_from_name(c.name), c.sound) << to_utf8(c.name);
    }
    EXPECT_EQ(attachment_name_from_path(u"/home/me/docs/scan.pdf"), u"scan.pdf");
    EXPECT_EQ(attachment_name_from_path(u"plain.txt"), u"plain.txt");
    EXPECT_EQ(attachment_name_from_path(std::u16string(300, u'n')).size(), 259u);
}

TEST(PictureAttachmentTest, FromFileAndBytes) {
    test::TempDir dir;
    test::write_file_bytes(dir / "HOLIDAY.JPEG", {1, 2, 3, 4, 5});
    PictureAttachment p;
    ASSERT_TRUE(p.set_from_file(dir / "HOLIDAY.JPEG"));
    EXPECT_EQ(p.format(), ImageFormat::Jpeg);
    EXPECT_EQ(p.setting(), 9);
    EXPECT_EQ(p.name(), u"HOLIDAY.JPEG");
    EXPECT_EQ(p.data(), (Bytes{1, 2, 3, 4, 5}));

    PictureAttachment untouched = p;
    EXPECT_FALSE(untouched.set_from_file(dir / "missing.bmp"));
    EXPECT_EQ(untouched.name(), u"HOLIDAY.JPEG");

    const Bytes data{9, 9};
    PictureAttachment q;
    EXPECT_FALSE(q.set_from_bytes({}, u"x.bmp", std::nullopt));
    EXPECT_FALSE(q.set_from_bytes(data, std::nullopt, std::nullopt));
    ASSERT_TRUE(q.set_from_bytes(data, std::nullopt, ImageFormat::Gif, 11));
    EXPECT_EQ(q.format(), ImageFormat::Gif);
    EXPECT_EQ(q.setting(), 9);
    ASSERT_TRUE(q.set_from_bytes(data, u"x.bmp", ImageFormat::Gif, 3));
    EXPECT_EQ(q.format(), ImageFormat::Bmp);
    EXPECT_EQ(q.setting(), 3);
    q.clear();
    EXPECT_FALSE(q.data());
}

TEST(FileAttachmentTest, TimesFromFileAndClock) {
    test::DeterministicEnvironment env;
    test::TempDir dir;
    test::write_file_bytes(dir / "notes.txt", {'h', 'i'});
    FileAttachment f;
    ASSERT_TRUE(f.set_from_file(dir / "notes.txt"));
    EXPECT_EQ(f.time_attached(), test::kFixedTime);
    EXPECT_EQ(f.file_time(), file_modified_time(dir / "notes.txt"));

    FileAttachment g;
    ASSERT_TRUE(g.set_from_bytes(Bytes{1}, u"/x/y/z.bin", std::nullopt));
    EXPECT_EQ(g.file_time(), test::kFixedTime);
    EXPECT_EQ(g.name(), u"z.bin");
}

TEST(AttachmentStorage, RoundTripsAndPadding) {
    test::DeterministicEnvironment env;
    KeyContext key = test::key_filled_with(0x33);
    for (size_t n : {1u, 4u, 6u}) {
        Bytes data(n, 0x7F);
        PictureAttachment p;
        ASSERT_TRUE(p.set_from_bytes(data, u"pic.gif", std::nullopt, 4));
        Bytes out = p.serialize(key);
        EXPECT_EQ(out.size(), p.serialized_size());
        EXPECT_EQ(get_u32(out, 16), data_stored_size(n).stored);
        EXPECT_EQ(get_u32(out, 20), 4 - n % 4);
        auto back = PictureAttachment::parse(out, key);
        ASSERT_TRUE(back);
        EXPECT_EQ(back->data(), data);
        EXPECT_EQ(back->name(), u"pic.gif");
        EXPECT_EQ(back->setting(), 4);
        EXPECT_EQ(back->format(), ImageFormat::Gif);
    }

    SoundAttachment s;
    ASSERT_TRUE(s.set_from_bytes(Bytes{1, 2, 3}, u"bell.wav"));
    s.set_play_when_viewed(true);
    auto sound = SoundAttachment::parse(s.serialize(key), key);
    ASSERT_TRUE(sound);
    EXPECT_EQ(sound->format(), SoundFormat::Wav);
    EXPECT_TRUE(sound->play_when_viewed());
    EXPECT_EQ(sound->data(), (Bytes{1, 2, 3}));

    FileAttachment f;
    ASSERT_TRUE(f.set_from_bytes(Bytes(10, 1), u"doc.pdf", DateTime{2001, 1, 1, 1}));
    Bytes raw = f.serialize(key);
    EXPECT_EQ(raw.size(), 68u + 12 + 16);  // 10 bytes of data in 12, "doc.pdf" in 16
    auto file = FileAttachment::parse(raw, key);
    ASSERT_TRUE(file);
    EXPECT_EQ(file->file_time(), (DateTime{2001, 1, 1, 1}));
    EXPECT_EQ(file->time_attached(), test::kFixedTime);
    EXPECT_EQ(file->name(), u"doc.pdf");
}

TEST(AttachmentStorage, ShortOrOverlongChunks) {
    KeyContext key = test::key_filled_with(0x33);
    EXPECT_FALSE(PictureAttachment::parse(Bytes(47), key));
    EXPECT_FALSE(SoundAttachment::parse(Bytes(31), key));
    EXPECT_FALSE(FileAttachment::parse(Bytes(67), key));

    FileAttachment f;
    ASSERT_TRUE(f.set_from_bytes(Bytes(10, 1), u"doc.pdf", std::nullopt));
    Bytes raw = f.serialize(key);
    put_u32(raw, 36, 0xFFFFFFF0);  // data length past the chunk
    auto parsed = FileAttachment::parse(raw, key);
    ASSERT_TRUE(parsed);
    EXPECT_LE(parsed->data()->size(), raw.size() - 68);

    // A name longer than its 260-unit buffer is cut to 259 units.
    Bytes long_name(68, 0);
    StoredSize n = append_text(long_name, std::u16string(400, u'q'), key);
    put_u32(long_name, 44, n.stored);
    put_u32(long_name, 48, n.pad);
    EXPECT_EQ(FileAttachment::parse(long_name, key)->name().size(), 259u);
}

}  // namespace
}  // namespace ks
