#include "bench/bench_wallets.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>
#include <system_error>

#include "core/format.h"
#include "core/node.h"
#include "core/stored_text.h"
#include "core/wallet_document.h"
#include "forms/builtin_forms.h"
#include "forms/forms.h"
#include "platform/bytes.h"
#include "platform/string_table.h"
#include "platform/texts.h"

namespace ks::bench {
namespace {

namespace fn = format::node;
namespace fp = format::payload;

constexpr size_t kPiece = 1 << 20;

[[noreturn]] void die(const std::string& what) {
    std::fprintf(stderr, "keystash_bench: %s\n", what.c_str());
    std::exit(2);
}

std::u16string ascii16(std::string_view s) {
    return std::u16string(s.begin(), s.end());
}

// The English table, so that labels and names have their real lengths.
const TextSource* english_texts() {
    static std::optional<StringTable> table = [] {
        auto parsed = load_string_table(std::filesystem::path(KEYSTASH_SOURCE_DIR) / "resources" /
                                        "lang" / language_module_name(0x409));
        return parsed.table;
    }();
    return table ? &*table : nullptr;
}

// Fills in a card from the form with `index`: exactly 20 fields, a value in every field that
// takes plain text.
Card make_card(const WalletDocument& document, const NodeId& folder, size_t index) {
    const auto forms = builtin_forms();
    const BuiltInForm& form = forms[index % forms.size()];
    Card card = new_card_from_builtin_form(document, folder, form);
    card.node()->set_name(
        ascii16("Account " + std::to_string(index) + " " + std::to_string(index * 7919 % 100000)));
    while (card.fields().size() > kFieldsPerCard) card.remove_field(card.fields().size() - 1);
    for (size_t k = card.fields().size(); k < kFieldsPerCard; ++k) {
        FieldRecord note;
        note.set_label(ascii16("Note " + std::to_string(k + 1)));
        card.insert_field(std::move(note));
    }
    for (size_t k = 0; k < kFieldsPerCard; ++k) {
        const uint16_t kind = card.fields()[k].kind();
        if (is_date_kind(kind) || is_list_kind(kind) || kind == 13) continue;
        card.field(k).set_value(ascii16("user" + std::to_string(index) + "." + std::to_string(k) +
                                        "@mail" + std::to_string(index % 97) + ".example.org"));
    }
    return card;
}

// Records offsets and the enciphered texts of every record of a finished wallet.
void survey(WalletStats& stats) {
    File file = File::open(stats.path, FileMode::ReadOnly);
    if (!file.is_open()) die("cannot reopen " + stats.path.string());
    stats.size = file.size().value_or(0);
    uint64_t pos = format::kFirstNodeOffset;
    NodeHeader header;
    Bytes payload;
    while (pos + fn::kHeaderSize <= stats.size) {
        if (file.read_at(pos, header.bytes).bytes != fn::kHeaderSize) die("short header");
        const uint64_t at_payload = pos + fn::kHeaderSize + header.icon_image_length();
        const uint32_t length = header.payload_length();
        if (header.kind() == NodeKind::None || at_payload + length > stats.size)
            die("generated wallet does not walk");
        if (header.kind() != NodeKind::Card)
            stats.first_card_record = stats.record_offsets.size() + 1;
        stats.record_offsets.push_back(pos);
        stats.record_lengths.push_back(at_payload + length - pos);
        if (!all_zero(std::span(header.bytes).subspan(fn::kName, fn::kNameSize)))
            stats.text_lengths.push_back(fn::kNameSize);
        if (header.kind() == NodeKind::Card && length >= fp::kStyleSize) {
            payload.resize(length);
            if (file.read_at(at_payload, payload).bytes != length) die("short payload");
            // Field chunks: label, value and list, each an enciphered item when present.
            size_t p = fp::kStyleSize;
            while (length - p >= fp::kChunkHeaderSize) {
                const uint32_t type = get_u32(payload, p + 4);
                const size_t size =
                    std::min<size_t>(get_u32(payload, p + 8), length - p - fp::kChunkHeaderSize);
                auto chunk =
                    std::span<const uint8_t>(payload).subspan(p + fp::kChunkHeaderSize, size);
                if (type == fp::kChunkField && size >= fp::kFieldHeaderSize) {
                    StoredItemReader items(chunk, fp::kFieldHeaderSize);
                    for (size_t offset : {16, 40, 48}) {
                        auto item = items.next(get_u32(chunk, offset), get_u32(chunk, offset + 4));
                        if (!item.empty())
                            stats.text_lengths.push_back(static_cast<uint32_t>(item.size()));
                    }
                }
                p += fp::kChunkHeaderSize + size;
            }
        }
        pos = at_payload + length;
    }
}

}  // namespace

BenchFiles& BenchFiles::get() {
    static BenchFiles files;
    return files;
}

BenchFiles::BenchFiles() {
    std::error_code ec;
    std::string pattern = (std::filesystem::temp_directory_path(ec) / "ksbench.XXXXXX").string();
    if (ec || !mkdtemp(pattern.data())) die("cannot make a temporary folder");
    dir_ = pattern;
    set_text_source(english_texts());
}

BenchFiles::~BenchFiles() {
    std::error_code ec;
    std::filesystem::remove_all(dir_, ec);
}

const WalletStats& BenchFiles::wallet(size_t cards) {
    auto& slot = wallets_[cards];
    if (slot) return *slot;
    auto stats = std::make_unique<WalletStats>();
    stats->path = dir_ / ("wallet-" + std::to_string(cards) + ".ksw");
    stats->cards = cards;

    WalletDocument document;
    if (document.create(stats->path, kPassword, std::nullopt, false) != CreateResult::Created ||
        document.load(stats->path, kPassword) != OpenResult::Opened)
        die("cannot create " + stats->path.string());
    std::vector<NodeId> folders;
    for (size_t f = 0; f < kFolders; ++f) {
        TreeNode folder = document.new_folder({});
        folder.set_name(ascii16("Folder " + std::to_string(f + 1)));
        if (document.store_folder(folder) < 0) die("cannot store a folder");
        folders.push_back(folder.id());
    }
    // The cards are appended in one stream and made durable once: storing them one by one
    // would sync the file after every card.
    File out = File::open(stats->path, FileMode::ReadWrite);
    const auto end = out.size();
    if (!out.is_open() || !end || !out.seek(*end)) die("cannot append to the wallet");
    for (size_t i = 0; i < cards; ++i) {
        Card card = make_card(document, folders[i % folders.size()], i);
        if (card.write(out, document.record_key()) != StorageResult::Done)
            die("cannot write a card");
    }
    if (!out.sync()) die("cannot sync the wallet");
    out.close();
    document.close();
    survey(*stats);
    if (stats->record_offsets.size() != kFolders + 1 + cards) die("wrong record count");
    slot = std::move(stats);
    return *slot;
}

const std::filesystem::path& BenchFiles::damaged() {
    if (!damaged_.empty()) return damaged_;
    const WalletStats& source = wallet(10000);
    if (source.size < kDamagedSize) die("the 10 000-card wallet is smaller than 20 MB");
    damaged_ = dir_ / "damaged.ksw";
    File in = File::open(source.path, FileMode::ReadOnly);
    File out = File::open(damaged_, FileMode::CreateNew);
    std::vector<uint8_t> buffer(kPiece);
    for (uint64_t at = 0; at < kDamagedSize; at += kPiece) {
        const auto piece = std::span(buffer).first(
            static_cast<size_t>(std::min<uint64_t>(kPiece, kDamagedSize - at)));
        if (in.read_at(at, piece).bytes != piece.size() ||
            out.write_at(at, piece).bytes != piece.size())
            die("cannot copy the damaged wallet");
    }
    // The kind of the first record past 19.5 MB is overwritten: the repair cuts that record
    // out. The file ends inside a record, which the repair drops.
    const auto it = std::lower_bound(source.record_offsets.begin(), source.record_offsets.end(),
                                     kDamagedSize - (kDamagedSize >> 6));
    const std::array<uint8_t, 16> junk = [] {
        std::array<uint8_t, 16> j;
        j.fill(0xEE);
        return j;
    }();
    if (it == source.record_offsets.end() || out.write_at(*it, junk).bytes != junk.size() ||
        !out.sync())
        die("cannot damage the wallet");
    return damaged_;
}

uint64_t read_whole_file(const std::filesystem::path& path) {
    File file = File::open(path, FileMode::ReadOnly);
    static std::vector<uint8_t> buffer(kPiece);
    uint64_t total = 0;
    for (;;) {
        IoResult r = file.read_at(total, buffer);
        if (r.failed() || r.bytes == 0) break;
        total += r.bytes;
    }
    return total;
}

size_t walk_headers(const std::filesystem::path& path) {
    File file = File::open(path, FileMode::ReadOnly);
    const uint64_t size = file.size().value_or(0);
    NodeHeader header;
    size_t count = 0;
    uint64_t pos = format::kFirstNodeOffset;
    while (pos + fn::kHeaderSize <= size) {
        if (file.read_at(pos, header.bytes).bytes != fn::kHeaderSize) break;
        ++count;
        pos += fn::kHeaderSize + uint64_t{header.icon_image_length()} + header.payload_length();
    }
    return count;
}

bool copy_file_synced(const std::filesystem::path& from, const std::filesystem::path& to) {
    File in = File::open(from, FileMode::ReadOnly);
    File out = File::open(to, FileMode::CreateNew);
    if (!in.is_open() || !out.is_open()) return false;
    static std::vector<uint8_t> buffer(kPiece);
    uint64_t at = 0;
    for (;;) {
        IoResult r = in.read_at(at, buffer);
        if (r.failed()) return false;
        if (r.bytes == 0) break;
        if (out.write_at(at, std::span(buffer).first(r.bytes)).bytes != r.bytes) return false;
        at += r.bytes;
    }
    return out.sync();
}

bool move_tail_synced(File& file, uint64_t source, uint64_t destination, uint64_t n) {
    static std::vector<uint8_t> buffer(kPiece);
    for (uint64_t done = 0; done < n;) {
        const auto piece =
            std::span(buffer).first(static_cast<size_t>(std::min<uint64_t>(kPiece, n - done)));
        if (file.read_at(source + done, piece).bytes != piece.size() ||
            file.write_at(destination + done, piece).bytes != piece.size())
            return false;
        done += piece.size();
    }
    return file.sync();
}

}  // namespace ks::bench
