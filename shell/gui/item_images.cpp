#include "shell/gui/item_images.h"

#include <QImage>
#include <QPainter>

#include <map>
#include <optional>
#include <string>

#include "core/cipher.h"
#include "core/node.h"
#include "shell/gui/drawn_icons.h"
#include "shell/gui/icon_atlas_layout.h"
#include "shell/icons.h"

namespace ks::gui {

namespace {

const QImage& strip(int size) {
    static const QImage small(QStringLiteral(":/icons/icons16.png"));
    static const QImage large(QStringLiteral(":/icons/icons32.png"));
    return size <= 16 ? small : large;
}

QPixmap from_rgba(const IconImage& image) {
    QImage pixels(image.rgba.data(), image.width, image.height, image.width * 4,
                  QImage::Format_RGBA8888);
    return QPixmap::fromImage(pixels.copy());
}

std::string digest_key(std::span<const uint8_t> data) {
    const auto digest = md5(data);
    return std::string(digest.begin(), digest.end());
}

}  // namespace

QPixmap strip_picture(int resource, int size) {
    const int cell = resource - atlas::kFirstResource;
    if (cell < 0 || cell >= atlas::kCells) return {};
    const int side = size <= 16 ? 16 : 32;
    const QImage& image = strip(side);
    if (image.isNull()) return {};
    const QImage picture =
        image.copy((cell % atlas::kColumns) * side, (cell / atlas::kColumns) * side, side, side);
    // An empty cell is no picture.
    for (int y = 0; y < side; ++y) {
        for (int x = 0; x < side; ++x) {
            if (qAlpha(picture.pixel(x, y)) != 0) return QPixmap::fromImage(picture);
        }
    }
    return {};
}

QIcon strip_icon(int resource) {
    if (QIcon drawn = resource_icon(resource); !drawn.isNull()) return drawn;
    QIcon icon;
    for (int size : {16, 32}) {
        if (QPixmap p = strip_picture(resource, size); !p.isNull()) icon.addPixmap(p);
    }
    return icon;
}

QIcon builtin_item_icon(int number) {
    static std::vector<QIcon> cache(kBuiltInIconCount);
    if (number < 0 || number >= kBuiltInIconCount) number = 0;
    QIcon& icon = cache[static_cast<size_t>(number)];
    if (icon.isNull()) icon = strip_icon(kFirstItemIconResource + number);
    return icon;
}

QIcon with_overlay(const QIcon& icon, int overlay) {
    if (overlay < 1 || overlay > 4) return icon;
    // The tree asks for a shortcut's picture at every paint; the built-in and imported icons are
    // long-lived, so their marked versions are kept.
    static std::map<std::pair<qint64, int>, QIcon> made;
    QIcon& marked = made[{icon.cacheKey(), overlay}];
    if (!marked.isNull()) return marked;
    for (int size : {16, 32}) {
        QPixmap base = icon.pixmap(size, size);
        if (base.isNull()) continue;
        QPainter painter(&base);
        painter.drawPixmap(0, 0, strip_picture(kFirstOverlayResource + overlay - 1, size));
        painter.end();
        marked.addPixmap(base);
    }
    return marked;
}

void ItemImages::clear() {
    imported_.clear();
    by_digest_.clear();
}

std::optional<size_t> ItemImages::add_imported(std::span<const uint8_t> icon_file) {
    if (icon_file.empty()) return std::nullopt;
    const std::string key = digest_key(icon_file);
    if (const auto known = by_digest_.find(key); known != by_digest_.end()) return known->second;
    if (imported_.size() >= kMaxImportedIcons) return std::nullopt;
    QIcon icon;
    for (int size : {16, 32}) {
        const IconResult decoded = decode_icon(icon_file, size);
        if (decoded.status == IconStatus::Success) icon.addPixmap(from_rgba(decoded.image));
    }
    if (icon.isNull()) return std::nullopt;
    Imported entry;
    entry.data.assign(icon_file.begin(), icon_file.end());
    entry.icon = icon;
    by_digest_[key] = imported_.size();
    imported_.push_back(std::move(entry));
    return imported_.size() - 1;
}

QIcon ItemImages::imported_icon(size_t position) const {
    return position < imported_.size() ? imported_[position].icon : QIcon();
}

std::span<const uint8_t> ItemImages::imported_data(size_t position) const {
    if (position >= imported_.size()) return {};
    return imported_[position].data;
}

std::optional<size_t> ItemImages::position_of(std::span<const uint8_t> icon_file) const {
    const auto found = by_digest_.find(digest_key(icon_file));
    if (found == by_digest_.end()) return std::nullopt;
    return found->second;
}

QIcon ItemImages::icon_for(int32_t icon_number, std::span<const uint8_t> icon_file) {
    if (icon_number != kCustomIcon) return builtin_item_icon(icon_number);
    const auto position = add_imported(icon_file);
    return position ? imported_[*position].icon : builtin_item_icon(0);
}

QIcon ItemImages::icon_for(const TreeNode& node) {
    return icon_for(node.icon(), node.icon_image_unpadded());
}

}  // namespace ks::gui
