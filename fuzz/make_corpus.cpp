// Writes the seed corpora of the fuzz targets: one folder per target under the folder given, each
// with small valid inputs made by the program's own writers, and a few damaged ones.
// Usage: make_corpus OUTPUT_FOLDER
#include <algorithm>
#include <cstdio>
#include <exception>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <system_error>
#include <vector>

#include "core/card.h"
#include "core/keys.h"
#include "core/legacy_wallet.h"
#include "core/wallet_document.h"
#include "core/wallet_open.h"
#include "forms/form_file.h"
#include "fuzz/fuzz_support.h"
#include "platform/bytes.h"
#include "platform/registry.h"
#include "platform/text.h"
#include "resources/form_sample.h"
#include "resources/import_sample.h"
#include "support/legacy_writer.h"
#include "support/test_support.h"

namespace {

namespace fs = std::filesystem;
using ks::Bytes;

constexpr std::u16string_view kPassword = u"secret";

class Corpus {
  public:
    explicit Corpus(fs::path root) : root_(std::move(root)) {}

    void add(const std::string& target, const std::string& name, const Bytes& bytes) {
        const fs::path folder = root_ / target;
        std::error_code ec;
        fs::create_directories(folder, ec);
        ks::test::write_file_bytes(folder / name, bytes);
        ++count_;
    }
    size_t count() const { return count_; }

  private:
    fs::path root_;
    size_t count_ = 0;
};

Bytes bytes_of(std::string_view text) {
    return Bytes(text.begin(), text.end());
}

Bytes with_bom(const Bytes& bom, const Bytes& body) {
    Bytes all = bom;
    all.insert(all.end(), body.begin(), body.end());
    return all;
}

Bytes utf16be(std::u16string_view text) {
    Bytes out;
    for (char16_t c : text) {
        out.push_back(static_cast<uint8_t>(c >> 8));
        out.push_back(static_cast<uint8_t>(c & 0xFF));
    }
    return out;
}

fs::path work_file(const char* name) {
    const fs::path path = ks::fuzz::scratch_folder() / name;
    std::error_code ec;
    fs::remove(path, ec);
    return path;
}

// Cards ----------------------------------------------------------------------------------------

ks::FieldRecord field(ks::FieldKind kind, std::u16string_view label, std::u16string_view value) {
    ks::FieldRecord f;
    f.set_kind(static_cast<uint16_t>(kind));
    f.set_label(label);
    if (kind == ks::FieldKind::ChoiceList || kind == ks::FieldKind::SecondList) {
        f.set_list(u"Monthly^Annual^Never");
    } else if (kind == ks::FieldKind::Date || kind == ks::FieldKind::DateAndTime) {
        f.set_date(ks::test::kFixedTime);
    }
    f.set_value(value);
    return f;
}

void fill_card(ks::Card& card, bool attachments) {
    card.set_style(ks::default_card_style());
    card.insert_field(field(ks::FieldKind::Text, u"User Name", u"jane.doe"));
    card.insert_field(field(ks::FieldKind::Pin, u"PIN", u"0412"));
    card.insert_field(field(ks::FieldKind::WebAddress, u"Web Site", u"https://bank.example.com"));
    card.insert_field(field(ks::FieldKind::ChoiceList, u"Plan", u"Annual"));
    card.insert_field(field(ks::FieldKind::Date, u"Renewal", u""));
    card.insert_field(field(ks::FieldKind::YesNo, u"Active", u"Yes"));
    card.insert_field(field(ks::FieldKind::Text, u"Notes", u"Caf\u00e9 \u20ac 5"));
    if (!attachments) return;
    const Bytes picture{'B', 'M', 1, 2, 3, 4, 5, 6, 7, 8, 9};
    card.picture().set_from_bytes(picture, u"logo.bmp", std::nullopt);
    card.sound().set_from_bytes(Bytes{'R', 'I', 'F', 'F', 0, 0, 0, 0}, u"chime.wav");
    ks::FileAttachment file;
    file.set_from_bytes(bytes_of("attached text\n"), u"/home/jane/notes.txt", ks::test::kFixedTime);
    card.add_file(std::move(file));
}

// A card kept in memory only, its name under `key`.
ks::Card memory_card(const ks::KeyContext& key, std::u16string_view name, bool attachments) {
    ks::Card card;
    card.set_node(ks::TreeNode::create(ks::NodeKind::Card, ks::NodeId{}, &key));
    card.node()->set_name(name);
    fill_card(card, attachments);
    return card;
}

// Wallets --------------------------------------------------------------------------------------

struct WalletPlan {
    std::string name;
    std::optional<std::u16string_view> password;
    bool sample_folder = false;
    bool cards = false;
    bool attachments = false;
    bool changes = false;  // a deleted card, a replaced card and a renamed folder
};

// A wallet without a password, as earlier versions made them: the document creates every
// wallet with one, so the blocks are written directly.
bool create_open_wallet(const fs::path& path) {
    ks::WalletStorage storage;
    storage.file = ks::File::open(path, ks::FileMode::CreateNew);
    if (!storage.file.is_open()) return false;
    storage.path = path;
    const bool written = ks::fill_new_wallet_blocks(storage, std::nullopt, std::nullopt) &&
                         ks::write_leading_blocks(storage, false).block < 0 && storage.file.sync();
    storage.close();
    return written;
}

std::optional<Bytes> build_wallet(const WalletPlan& plan) {
    const fs::path path = work_file("seed.ks5");
    ks::WalletDocument document;
    if (plan.password) {
        if (document.create(path, plan.password, u"a hint", plan.sample_folder) !=
            ks::CreateResult::Created)
            return std::nullopt;
    } else if (!create_open_wallet(path)) {
        return std::nullopt;
    }
    if (document.load(path, plan.password) != ks::OpenResult::Opened) return std::nullopt;
    if (plan.cards) {
        ks::TreeNode folder = document.new_folder(ks::NodeId{});
        folder.set_name(u"Bank");
        const int folder_index = document.store_folder(folder);
        const ks::NodeId parent = document.node(folder_index)->id();
        ks::Card visa = document.new_card(parent);
        visa.node()->set_name(u"Visa");
        fill_card(visa, plan.attachments);
        const int visa_index = document.store_card(visa);
        ks::Card mail = document.new_card(ks::NodeId{});
        mail.node()->set_name(u"Example Mail");
        mail.insert_field(field(ks::FieldKind::Email, u"E-mail", u"jane@example.com"));
        document.store_card(mail);
        if (plan.changes) {
            ks::Card old = document.new_card(parent);
            old.node()->set_name(u"Old card");
            document.remove(document.store_card(old));
            if (auto loaded = document.load_card(visa_index)) {
                loaded->field(0).set_value(u"john.doe");
                document.update_card(*loaded);
            }
            document.rename(folder_index, u"Banks");
            document.save_to_my_forms(visa_index);
        }
    }
    document.close();
    return ks::test::read_file_bytes(path);
}

void add_wallets(Corpus& corpus) {
    const std::vector<WalletPlan> plans = {
        {"empty", std::nullopt},
        {"empty-password", kPassword},
        {"sample-folder", kPassword, true},
        {"cards", std::nullopt, false, true},
        {"cards-password", kPassword, false, true},
        {"attachments", kPassword, false, true, true},
        {"changed", kPassword, true, true, true, true},
        {"changed-open", std::nullopt, false, true, false, true},
    };
    for (const WalletPlan& plan : plans) {
        const auto bytes = build_wallet(plan);
        if (!bytes) {
            std::fprintf(stderr, "make_corpus: wallet %s could not be built\n", plan.name.c_str());
            continue;
        }
        corpus.add("fuzz_wallet_load", plan.name + ".ks5", *bytes);
        corpus.add("fuzz_wallet_repair", plan.name + ".ks5", *bytes);
        if (!plan.changes) continue;
        // Damaged copies for the repair: cut short at a few places, a byte changed in the
        // node area, and trailing bytes that are no record.
        for (size_t cut : {bytes->size() - 1, bytes->size() - 100, bytes->size() * 3 / 4}) {
            if (cut >= bytes->size()) continue;
            corpus.add("fuzz_wallet_repair", plan.name + "-cut" + std::to_string(cut) + ".ks5",
                       Bytes(bytes->begin(), bytes->begin() + static_cast<long>(cut)));
        }
        Bytes flipped = *bytes;
        flipped[flipped.size() * 2 / 3] ^= 0xFF;
        corpus.add("fuzz_wallet_repair", plan.name + "-flipped.ks5", flipped);
        Bytes tail = *bytes;
        tail.insert(tail.end(), 300, 0xA5);
        corpus.add("fuzz_wallet_repair", plan.name + "-tail.ks5", tail);
    }
}

void add_card_payloads(Corpus& corpus) {
    const ks::KeyContext key = ks::form_file_key();
    ks::Card empty;
    empty.set_style(ks::default_card_style());
    corpus.add("fuzz_card_payload", "empty.bin", empty.payload(key));
    corpus.add("fuzz_card_payload", "fields.bin", memory_card(key, u"Visa", false).payload(key));
    corpus.add("fuzz_card_payload", "attachments.bin",
               memory_card(key, u"Visa", true).payload(key));
}

void add_form_files(Corpus& corpus) {
    const ks::KeyContext key = ks::form_file_key();
    struct Variant {
        const char* name;
        bool attachments;
        bool keep_values;
        std::optional<std::u16string_view> author;
        std::optional<std::u16string_view> description;
    };
    const Variant variants[] = {
        {"form.ksx", false, false, u"Jane", u"A bank card"},
        {"values.ksx", true, true, std::nullopt, std::nullopt},
    };
    for (const Variant& v : variants) {
        const fs::path path = work_file("seed.ksx");
        const ks::Card card = memory_card(key, u"Club Membership", v.attachments);
        if (ks::save_form_file(card, path, v.keep_values, v.author, v.description) !=
            ks::FormFileResult::Written) {
            std::fprintf(stderr, "make_corpus: form file %s could not be written\n", v.name);
            continue;
        }
        corpus.add("fuzz_form_file", v.name, ks::test::read_file_bytes(path));
    }
    const fs::path sample = work_file("sample.ksx");
    std::string error;
    if (ks::write_form_sample(sample, &error))
        corpus.add("fuzz_form_file", "sample.ksx", ks::test::read_file_bytes(sample));
}

void add_custom_forms(Corpus& corpus) {
    const std::string text =
        "<BrightloomKeystashCustomForms.1>\r\n"
        "; forms of the club\r\n"
        "<MyForm>\r\nClub\r\n1001\r\n7\r\n"
        "12 KSF_PIN Card PIN   ; the card's PIN\r\n13 KSF_URL Web site\r\n14 ksf_date Renewal\r\n"
        "<EndForm>\r\n"
        "<MyForm>\r\nLibrary\r\n1002\r\n12\r\n"
        "20 KSF_DEFAULT Number\r\n21 KSF_YESNO Reserved\r\n22 KSF_TEL Desk\r\n"
        "23 KSF_EMAIL Mail\r\n24 KSF_UPPERALL Code\r\n25 KSF_TIME Opens\r\n"
        "<EndForm>\r\n";
    corpus.add("fuzz_custom_forms", "ansi.ccd", bytes_of(text));
    std::string lf = text;
    std::erase(lf, '\r');
    corpus.add("fuzz_custom_forms", "lf.ccd", bytes_of(lf));
    corpus.add("fuzz_custom_forms", "utf16.ccd", ks::utf16le_encode(ks::from_utf8(text)));
    corpus.add("fuzz_custom_forms", "bad-code.ccd",
               bytes_of("<BrightloomKeystashCustomForms.1>\r\n<MyForm>\r\nX\r\n99\r\n1\r\n"
                        "1 KSF_LINK A\r\n<EndForm>\r\n"));
}

void add_legacy_wallets(Corpus& corpus) {
    using ks::test::LegacyFolder;
    using ks::test::LegacyItem;
    using ks::test::LegacyTag;
    namespace lf = ks::legacy_format;
    ks::test::LegacyWallet wallet;
    wallet.password = std::u16string(kPassword);
    wallet.values = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14};
    wallet.custom_forms = true;
    wallet.custom_forms_name = u"C:\\Data\\mine.ccd";
    LegacyItem visa =
        ks::test::legacy_item(100, 10, u"Visa", 500,
                              {{501, ks::test::legacy_text(u"4111"), {}},
                               {lf::kTagNotes, ks::test::legacy_text(u"call the bank"), {}},
                               {lf::kTagPicture, Bytes{'B', 'M', 1, 2, 3}, {}},
                               {lf::kTagPicturePosition, ks::test::legacy_u32(9), {}},
                               {lf::kTagPictureName, ks::test::legacy_text(u"logo.bmp"), {}},
                               {lf::kTagSound, Bytes{'R', 'I', 'F', 'F'}, {}},
                               {lf::kTagSoundName, ks::test::legacy_text(u"chime.wav"), {}}});
    visa.picture = true;
    visa.sound = true;
    visa.flags = 3;
    LegacyItem plain =
        ks::test::legacy_item(101, 10, u"Plain", 500, {{501, ks::test::legacy_text(u"plain"), {}}});
    plain.enciphered = false;
    LegacyItem long_tag = ks::test::legacy_item(
        200, 20, u"Mail", 520, {{503, ks::test::legacy_text(u"me@example.org"), 4000u}});
    wallet.records = {LegacyFolder{10, u"Bank", 503, 7}, visa, plain,
                      LegacyFolder{20, u"Web", 0, 8}, long_tag};
    corpus.add("fuzz_legacy_wallet", "wallet.wal", ks::test::build_legacy_wallet(wallet));
    ks::test::LegacyWallet empty;
    empty.password = std::u16string(kPassword);
    corpus.add("fuzz_legacy_wallet", "empty.wal", ks::test::build_legacy_wallet(empty));
    corpus.add("fuzz_legacy_wallet", "item-data.bin",
               ks::test::legacy_item_data({{501, ks::test::legacy_text(u"4111"), {}},
                                           {lf::kTagNotes, ks::test::legacy_text(u"n"), 9999u}}));
}

void add_tab_files(Corpus& corpus) {
    const std::u16string text =
        u"CardName\tUser Name\tPassword\tNotes\r\n"
        u"Example Bank\tjane.doe\tHarbor-Lamp-42\tin the drawer\r\n"
        u"Caf\u00e9 Example\tjdoe\tCr\u00e8me5\t\"two\nlines with \"\"quotes\"\"\"\r\n"
        u"\t\t\t\r\n"
        u"Card Name only\r\n";
    corpus.add("fuzz_tab_import", "utf16le.txt", with_bom({0xFF, 0xFE}, ks::utf16le_encode(text)));
    corpus.add("fuzz_tab_import", "utf16be.txt", with_bom({0xFE, 0xFF}, utf16be(text)));
    corpus.add("fuzz_tab_import", "utf8-bom.txt",
               with_bom({0xEF, 0xBB, 0xBF}, bytes_of(ks::to_utf8(text))));
    corpus.add("fuzz_tab_import", "utf8.txt", bytes_of(ks::to_utf8(text)));
    corpus.add("fuzz_tab_import", "cp1252.txt", bytes_of(ks::to_cp1252(text)));
    const fs::path sample = work_file("import.txt");
    std::string error;
    if (ks::write_import_sample(sample, &error))
        corpus.add("fuzz_tab_import", "sample.txt", ks::test::read_file_bytes(sample));
}

// Icons ----------------------------------------------------------------------------------------

struct IconPlan {
    int size;
    int bits;
    bool png = false;
};

// A bitmap image as an ICO file stores it: header with doubled height, palette, colour rows
// bottom-up and the AND mask, each row padded to four bytes.
Bytes icon_image(const IconPlan& plan) {
    if (plan.png) return Bytes{0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n', 0, 0, 0, 13};
    const int size = plan.size;
    const size_t palette = plan.bits <= 8 ? size_t{4} << plan.bits : 0;
    const size_t colour_row = ((static_cast<size_t>(size) * plan.bits + 31) / 32) * 4;
    const size_t mask_row = ((static_cast<size_t>(size) + 31) / 32) * 4;
    Bytes image(40 + palette + (colour_row + mask_row) * size, 0);
    ks::put_u32(image, 0, 40);
    ks::put_i32(image, 4, size);
    ks::put_i32(image, 8, size * 2);
    ks::put_u16(image, 12, 1);
    ks::put_u16(image, 14, static_cast<uint16_t>(plan.bits));
    for (size_t i = 0; i < palette; ++i) image[40 + i] = static_cast<uint8_t>(i * 37);
    const size_t pixels = 40 + palette;
    for (size_t i = 0; i < colour_row * size; ++i)
        image[pixels + i] = static_cast<uint8_t>(i * 13 + 5);
    // The mask makes the top-left quarter transparent.
    const size_t mask = pixels + colour_row * size;
    for (int y = size / 2; y < size; ++y)
        for (int x = 0; x < size / 2; ++x)
            image[mask + y * mask_row + x / 8] |= static_cast<uint8_t>(0x80 >> (x % 8));
    return image;
}

Bytes ico_file(const std::vector<IconPlan>& plans) {
    Bytes file(6 + 16 * plans.size(), 0);
    ks::put_u16(file, 2, 1);
    ks::put_u16(file, 4, static_cast<uint16_t>(plans.size()));
    for (size_t i = 0; i < plans.size(); ++i) {
        const Bytes image = icon_image(plans[i]);
        const size_t entry = 6 + 16 * i;
        file[entry] = static_cast<uint8_t>(plans[i].size);
        file[entry + 1] = static_cast<uint8_t>(plans[i].size);
        ks::put_u16(file, entry + 4, 1);
        ks::put_u16(file, entry + 6, static_cast<uint16_t>(plans[i].bits));
        ks::put_u32(file, entry + 8, static_cast<uint32_t>(image.size()));
        ks::put_u32(file, entry + 12, static_cast<uint32_t>(file.size()));
        file.insert(file.end(), image.begin(), image.end());
    }
    return file;
}

void add_icons(Corpus& corpus) {
    for (int bits : {1, 4, 8, 16, 24, 32})
        corpus.add("fuzz_icon", "16x" + std::to_string(bits) + ".ico", ico_file({{16, bits}}));
    corpus.add("fuzz_icon", "both.ico", ico_file({{32, 32}, {16, 8}, {32, 4}, {16, 24}}));
    corpus.add("fuzz_icon", "png.ico", ico_file({{16, 32, true}, {32, 1}}));
}

// Sounds ---------------------------------------------------------------------------------------

// A RIFF/WAVE file with a PCM format chunk (`format_tag` 0xFFFE: the extensible form) and
// `sample_bytes` of samples, preceded by an odd-sized chunk that is padded.
Bytes wave_file(uint16_t format_tag, uint16_t channels, uint16_t bits, size_t sample_bytes) {
    Bytes format(format_tag == 0xFFFE ? 40 : 16, 0);
    ks::put_u16(format, 0, format_tag);
    ks::put_u16(format, 2, channels);
    ks::put_u32(format, 4, 22050);
    ks::put_u32(format, 8, 22050u * channels * bits / 8);
    ks::put_u16(format, 12, static_cast<uint16_t>(channels * bits / 8));
    ks::put_u16(format, 14, bits);
    if (format_tag == 0xFFFE) {
        const Bytes tail = {22, 0, static_cast<uint8_t>(bits), 0, 3, 0, 0, 0, 1, 0, 0, 0,
                            0, 0, 0x10, 0, 0x80, 0, 0, 0xAA, 0, 0x38, 0x9B, 0x71};
        std::copy(tail.begin(), tail.end(), format.begin() + 16);
    }
    Bytes file = bytes_of("RIFF");
    file.resize(8, 0);  // the size, once known
    const Bytes form = bytes_of("WAVE");
    file.insert(file.end(), form.begin(), form.end());
    const auto chunk = [&file](std::string_view id, const Bytes& body) {
        const Bytes head = bytes_of(id);
        file.insert(file.end(), head.begin(), head.end());
        Bytes size(4, 0);
        ks::put_u32(size, 0, static_cast<uint32_t>(body.size()));
        file.insert(file.end(), size.begin(), size.end());
        file.insert(file.end(), body.begin(), body.end());
        if (body.size() % 2 == 1) file.push_back(0);
    };
    chunk("LIST", bytes_of("INFO!"));
    chunk("fmt ", format);
    Bytes samples(sample_bytes);
    for (size_t i = 0; i < samples.size(); ++i) samples[i] = static_cast<uint8_t>(i * 37);
    chunk("data", samples);
    ks::put_u32(file, 4, static_cast<uint32_t>(file.size() - 8));
    return file;
}

void add_waves(Corpus& corpus) {
    corpus.add("fuzz_wave_data", "mono8.wav", wave_file(1, 1, 8, 64));
    corpus.add("fuzz_wave_data", "stereo16.wav", wave_file(1, 2, 16, 128));
    corpus.add("fuzz_wave_data", "stereo24-extensible.wav", wave_file(0xFFFE, 2, 24, 96));
    Bytes cut = wave_file(1, 1, 32, 64);
    cut.resize(cut.size() - 10);
    corpus.add("fuzz_wave_data", "cut-short.wav", cut);
}

// Registry and language tables -----------------------------------------------------------------

void add_registry(Corpus& corpus) {
    ks::Registry registry;
    const auto user = ks::RegistryRoot::CurrentUser;
    registry.set_dword(user, u"Software\\Brightloom\\Keystash", u"Window", 0x00FF00AB);
    registry.set_string(user, u"Software\\Brightloom\\Keystash", u"Last \"Wallet\"",
                        u"/home/jane/Caf\u00e9.ks5");
    registry.set_string(user, u"Software\\Brightloom\\Keystash", u"", u"default");
    registry.set_binary(user, u"Software\\Brightloom\\Keystash\\Bars", u"Layout", Bytes(40, 0xAB));
    ks::RegistryValue expandable = ks::RegistryValue::of_binary(Bytes{'%', 0, 'H', 0, 0, 0});
    expandable.binary_kind = 2;
    registry.set_value(user, u"Environment", u"Path", expandable);
    registry.set_string(ks::RegistryRoot::ClassesRoot, u".ks5", u"", u"Keystash.Wallet");
    const std::string text = registry.to_text();
    corpus.add("fuzz_registry", "utf8.reg", bytes_of(text));
    corpus.add("fuzz_registry", "utf16.reg",
               with_bom({0xFF, 0xFE}, ks::utf16le_encode(ks::from_utf8(text))));
    corpus.add(
        "fuzz_registry", "regedit4.reg",
        bytes_of("REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\S]\r\n\"C\"=DWORD:00FF00AB\r\n"
                 "\"B\"=hex:01,02,\\\r\n  03\r\n@=\"x\"\r\n\r\n[-HKEY_CURRENT_USER\\T]\r\n"));
}

void add_string_tables(Corpus& corpus) {
    corpus.add("fuzz_string_table", "small.mui",
               bytes_of("# comment\n\n20001\tKeystash Pro\n22166\tRepaired %d places in "
                        "%s.\\nDone.\n22073\t\\t%d more\\\\\n"));
    corpus.add("fuzz_string_table", "english.mui",
               ks::test::read_file_bytes(ks::fuzz::english_table_path()));
}

int run(const fs::path& root) {
    if (ks::fuzz::scratch_folder().empty()) {
        std::fprintf(stderr, "make_corpus: no private scratch folder\n");
        return 1;
    }
    ks::fuzz::use_english_texts();
    ks::test::DeterministicEnvironment environment;
    Corpus corpus(root);
    add_wallets(corpus);
    add_card_payloads(corpus);
    add_form_files(corpus);
    add_custom_forms(corpus);
    add_legacy_wallets(corpus);
    add_tab_files(corpus);
    add_icons(corpus);
    add_waves(corpus);
    add_registry(corpus);
    add_string_tables(corpus);
    std::printf("make_corpus: %zu seeds in %s\n", corpus.count(), root.c_str());
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: make_corpus OUTPUT_FOLDER\n");
        return 2;
    }
    try {
        return run(argv[1]);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "make_corpus: %s\n", e.what());
        return 1;
    }
}
