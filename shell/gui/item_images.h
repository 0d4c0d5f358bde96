#pragma once
// The pictures of the wallet's items: the 144 built-in icons (icon number n is resource 300 + n),
// the overlays, and the wallet's imported icons. An imported icon is a node's own picture (icon
// number -1), known by the MD5 digest of its data; the wallet's imported icons are the distinct
// pictures its nodes carry, in the order they were first seen, at most kMaxImportedIcons.
#include <QIcon>
#include <QPixmap>

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <unordered_map>
#include <vector>

namespace ks {
class TreeNode;
}

namespace ks::gui {

constexpr int kBuiltInIconCount = 144;
constexpr int kFirstItemIconResource = 300;
constexpr int kFirstOverlayResource = 296;
constexpr size_t kMaxImportedIcons = 512;

// A picture from the rendered strips at 16 or 32 pixels (the nearer); null when the strip has
// no picture for that resource.
QPixmap strip_picture(int resource, int size);
// The picture of resource `resource` at both sizes: from the strips, else a drawn one.
QIcon strip_icon(int resource);
// Built-in icon `number` (0-143); icon 0 for any other number.
QIcon builtin_item_icon(int number);
// `icon` with overlay `overlay` (1-4) drawn over its lower left corner; made once per icon.
QIcon with_overlay(const QIcon& icon, int overlay);

class ItemImages {
  public:
    // Forgets the imported icons (another wallet opened, or none).
    void clear();
    // Notes the node's own picture: its position among the imported ones, or nothing when it is
    // not decodable or the list is full.
    std::optional<size_t> add_imported(std::span<const uint8_t> icon_file);
    size_t imported_count() const { return imported_.size(); }
    QIcon imported_icon(size_t position) const;
    std::span<const uint8_t> imported_data(size_t position) const;
    // The position of a picture among the imported ones.
    std::optional<size_t> position_of(std::span<const uint8_t> icon_file) const;
    // The picture of a node: its built-in icon, or its imported picture (added on first sight).
    QIcon icon_for(const TreeNode& node);
    // By icon number and, for -1, the node's picture data.
    QIcon icon_for(int32_t icon_number, std::span<const uint8_t> icon_file);

  private:
    struct Imported {
        std::vector<uint8_t> data;
        QIcon icon;
    };
    std::vector<Imported> imported_;
    std::unordered_map<std::string, size_t> by_digest_;
};

}  // namespace ks::gui
