#pragma once
// Every size, offset, marker and signature of the wallet file in one place.
// docs/file-format.md describes the same layout in prose.
#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>

namespace ks::format {

using Guid = std::array<uint8_t, 16>;

// GUID text {AABBCCDD-EEFF-GGHH-...} in its stored byte order: the first three groups
// little-endian, the last eight bytes as written.
constexpr Guid guid(uint32_t a, uint16_t b, uint16_t c, std::array<uint8_t, 8> d) {
    return Guid{static_cast<uint8_t>(a),
                static_cast<uint8_t>(a >> 8),
                static_cast<uint8_t>(a >> 16),
                static_cast<uint8_t>(a >> 24),
                static_cast<uint8_t>(b),
                static_cast<uint8_t>(b >> 8),
                static_cast<uint8_t>(c),
                static_cast<uint8_t>(c >> 8),
                d[0],
                d[1],
                d[2],
                d[3],
                d[4],
                d[5],
                d[6],
                d[7]};
}

// File layout.
constexpr size_t kHeaderSize = 76;
constexpr size_t kInfoBlockSize = 3148;
constexpr size_t kSettingsBlockSize = 1756;
constexpr uint64_t kInfoBlockOffset = kHeaderSize;
constexpr uint64_t kSettingsBlockOffset = kInfoBlockOffset + kInfoBlockSize;
constexpr uint64_t kFirstNodeOffset = kSettingsBlockOffset + kSettingsBlockSize;  // 4980

// Wallet header.
constexpr size_t kSignatureSize = 64;
constexpr size_t kVersionOffset = 64;
constexpr size_t kVersionSize = 8;
constexpr size_t kPlatformTagOffset = 72;
// "Brightloom® Keystash® File\r\n<web address>\r\n" in Windows-1252 (0xAE is the ® sign).
constexpr std::string_view kSignature =
    "Brightloom\xAE Keystash\xAE File\r\nhttps://keystash.invalid\r\n";
constexpr std::string_view kVersionText = "(5.00a)";
constexpr std::string_view kVersionMustContain = "5.";
constexpr std::string_view kPlatformTag = "WM";
static_assert(kSignature.size() < kSignatureSize);

// Info block.
namespace info {
constexpr size_t kStartMarker = 0;
constexpr size_t kModifiedTime = 16;
constexpr size_t kFlags = 32;
constexpr size_t kCreatedWord = 36;  // 1, written at creation
constexpr size_t kPassVerifier = 40;
constexpr size_t kKeyCheck = 56;
constexpr size_t kRandom1 = 72;
constexpr size_t kCreationTime = 76;
constexpr size_t kRandom2 = 108;
constexpr size_t kHint = 432;
constexpr size_t kHintSize = 512;
constexpr size_t kCaption1 = 2608;
constexpr size_t kCaption2 = 2736;
constexpr size_t kCaption3 = 2864;
constexpr size_t kCaptionSize = 128;
constexpr size_t kCaptionIcon1 = 2992;
constexpr size_t kCaptionIcon3 = 2996;
constexpr size_t kCaptionIcon2 = 3000;
constexpr size_t kEndMarker = 3132;

constexpr uint32_t kFlagPassword = 0x01;
constexpr uint32_t kFlagHint = 0x02;
constexpr uint32_t kFlagCaptions = 0x10;

constexpr Guid kStartGuid =
    guid(0x5D42A212, 0x031B, 0x44D9, {0xA2, 0xCA, 0xDC, 0x16, 0xCA, 0xE4, 0xF9, 0x27});
constexpr Guid kEndGuid =
    guid(0x9038FB41, 0xB592, 0x47FC, {0x82, 0x5D, 0xAF, 0x74, 0x93, 0xAC, 0x18, 0xAF});
}  // namespace info

// Settings block.
namespace settings {
constexpr size_t kStartMarker = 0;
constexpr size_t kModifiedTime = 16;
constexpr size_t kFlags = 32;
constexpr size_t kDefaultCardStyle = 36;
constexpr size_t kValue100 = 100;
constexpr size_t kValue104 = 104;
constexpr size_t kCloseWhenSwitching = 108;
constexpr size_t kAutoCloseMinutes = 112;
constexpr size_t kValue116 = 116;
constexpr size_t kValue120 = 120;
constexpr size_t kTreeColour = 124;
constexpr size_t kCardEntryColour = 128;
constexpr size_t kFavourites = 300;
constexpr size_t kFavouriteSlots = 32;
constexpr size_t kEndMarker = 1740;

constexpr uint32_t kFlagFavouritesChanged = 0x10000000;
constexpr uint32_t kFlagSecurityChanged = 0x10000;

constexpr Guid kStartGuid =
    guid(0x4E82F7C8, 0x0D69, 0x4411, {0x99, 0x85, 0x9E, 0xDC, 0x14, 0x20, 0xE9, 0xAB});
constexpr Guid kEndGuid =
    guid(0x68B001AA, 0x550F, 0x4ECE, {0x9D, 0x3B, 0xEA, 0x38, 0x14, 0xC6, 0xE6, 0xEE});
}  // namespace settings

// Node header.
namespace node {
constexpr size_t kHeaderSize = 748;
constexpr size_t kKindGuid = 0;
constexpr size_t kId = 16;
constexpr size_t kParentId = 32;
constexpr size_t kChangeBits = 48;
constexpr size_t kCreatedTime = 52;
constexpr size_t kModifiedTime = 68;
constexpr size_t kDeletedTime = 84;
constexpr size_t kName = 100;
constexpr size_t kNameSize = 512;
constexpr size_t kNameUnits = 256;
constexpr size_t kNameMaxUnits = 255;
constexpr size_t kDeletedFlag = 612;
constexpr size_t kCreatedMarker = 624;  // -1 when made as a card or folder
constexpr size_t kDefaultForm = 628;
constexpr size_t kIcon = 708;
constexpr size_t kIconImageLength = 712;
constexpr size_t kIconImagePad = 716;
constexpr size_t kIconImageDigest = 720;
constexpr size_t kReserved736 = 736;
constexpr size_t kPayloadLength = 740;
constexpr size_t kReserved744 = 744;

constexpr Guid kCardGuid =
    guid(0x9C16BCED, 0xC256, 0x40B4, {0x8D, 0x46, 0xEF, 0xA4, 0xFD, 0x93, 0xFC, 0x3F});
constexpr Guid kFolderGuid =
    guid(0x8B5D597B, 0x58E8, 0x48B9, {0xA9, 0x09, 0x9A, 0x2E, 0xF5, 0x84, 0x5A, 0x60});
constexpr Guid kMyFormsGuid =
    guid(0x0000FFFF, 0x0000, 0x1111, {0xFF, 0xFF, 0xFF, 0xFF, 0x00, 0x01, 0x02, 0x03});
}  // namespace node

// Card payload.
namespace payload {
constexpr size_t kStyleSize = 64;
constexpr size_t kStyleValues = 16;
constexpr size_t kChunkHeaderSize = 12;
constexpr uint32_t kChunkField = 1;
constexpr uint32_t kChunkPicture = 3;
constexpr uint32_t kChunkSound = 4;
constexpr uint32_t kChunkFile = 6;

constexpr size_t kFieldHeaderSize = 72;
constexpr size_t kPictureHeaderSize = 48;
constexpr size_t kSoundHeaderSize = 32;
constexpr size_t kFileHeaderSize = 68;

// Each chunk kind's header holds a (stored length, pad) pair of u32 for every item that follows
// the header, in item order: at these offsets.
constexpr size_t kFieldLabelItem = 16;
constexpr size_t kFieldValueItem = 40;
constexpr size_t kFieldListItem = 48;
constexpr size_t kPictureDataItem = 16;
constexpr size_t kPictureNameItem = 24;
constexpr size_t kSoundDataItem = 8;
constexpr size_t kSoundNameItem = 16;
constexpr size_t kFileDataItem = 36;
constexpr size_t kFileNameItem = 44;

struct ChunkLayout {
    uint32_t type;
    size_t header_size;
    std::array<size_t, 3> item_offsets;
    size_t item_count;
};
constexpr std::array<ChunkLayout, 4> kChunkLayouts = {{
    {kChunkField, kFieldHeaderSize, {kFieldLabelItem, kFieldValueItem, kFieldListItem}, 3},
    {kChunkPicture, kPictureHeaderSize, {kPictureDataItem, kPictureNameItem, 0}, 2},
    {kChunkSound, kSoundHeaderSize, {kSoundDataItem, kSoundNameItem, 0}, 2},
    {kChunkFile, kFileHeaderSize, {kFileDataItem, kFileNameItem, 0}, 2},
}};

constexpr size_t kMaxFields = 255;
constexpr size_t kMaxListItems = 128;
constexpr size_t kMaxFileAttachments = 10;
constexpr size_t kAttachmentNameUnits = 260;  // 259 units and a terminator
constexpr char16_t kListSeparator = u'^';
}  // namespace payload

}  // namespace ks::format
