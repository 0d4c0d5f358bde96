// Reads arbitrary bytes as a previous-version wallet: the header checks, the record walk and the
// tag lookup on every item's data, on the bytes themselves and through the file reader.
#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>

#include "core/legacy_wallet.h"
#include "fuzz/fuzz_support.h"

namespace {

namespace lf = ks::legacy_format;

// The password of the seeds that have one.
constexpr std::u16string_view kPassword = u"secret";

// Tags every converted card asks for, and a few form field codes.
constexpr uint32_t kTags[] = {lf::kTagNotes,
                              lf::kTagPicture,
                              lf::kTagPicturePosition,
                              lf::kTagPictureName,
                              lf::kTagSound,
                              lf::kTagSoundName,
                              500,
                              501,
                              503};

bool within(std::span<const uint8_t> inner, std::span<const uint8_t> outer) {
    return inner.empty() || (inner.data() >= outer.data() &&
                             inner.data() + inner.size() <= outer.data() + outer.size());
}

void look_up_tags(std::span<const uint8_t> data) {
    for (const ks::LegacyTagEntry& entry : ks::legacy_tag_entries(data))
        ks::fuzz::require(within(entry.value, data));
    for (uint32_t tag : kTags) {
        if (auto value = ks::legacy_find_tag(data, tag)) {
            ks::fuzz::require(!value->empty() && within(*value, data));
        }
        ks::fuzz::require(ks::legacy_tag_text(data, tag, 64).size() <= 64);
    }
}

void parse_image(std::span<const uint8_t> image) {
    if (!ks::legacy_header_accepted(image)) return;
    ks::legacy_header_has_custom_forms(image);
    ks::legacy_header_custom_forms_name(image);
    ks::legacy_header_values(image);
    ks::legacy_check_password(image, kPassword);
    for (const ks::LegacyRecord& record : ks::legacy_walk_records(image)) {
        ks::fuzz::require(record.folder.has_value() != record.item.has_value());
        if (record.folder) {
            record.folder->name();
            continue;
        }
        const ks::LegacyItemRecord& item = *record.item;
        item.name();
        ks::fuzz::require(item.data_offset <= image.size());
        const size_t available = image.size() - item.data_offset;
        const size_t length = item.data_length() < available ? item.data_length() : available;
        look_up_tags(image.subspan(item.data_offset, length));
    }
}

void read_file(std::span<const uint8_t> data) {
    const auto path = ks::fuzz::write_scratch_file("old.wal", data);
    if (path.empty()) return;
    ks::LegacyWalletReader reader;
    ks::LegacyWalletValues values{};
    if (reader.open(path, kPassword, &values) != ks::LegacyOpenResult::Opened) {
        ks::fuzz::require(!reader.is_open());
        return;
    }
    reader.custom_forms_name();
    reader.count_records();
    for (const ks::LegacyFolderRecord& folder : reader.list_folders()) {
        reader.count_items(folder.id());
        for (const ks::LegacyItemRecord& item : reader.list_items(folder.id())) {
            if (auto bytes = reader.read_item_data(item)) look_up_tags(bytes->span());
            if (auto whole = reader.read_item(item.id())) look_up_tags(whole->data.span());
        }
    }
    reader.close();
}

}  // namespace

void ks::fuzz::fuzz(std::span<const uint8_t> data) {
    look_up_tags(data);
    parse_image(data);
    read_file(data);
}
