#include "card/rules/card_lines.h"

#include <algorithm>

#include "platform/text.h"
#include "platform/text_ids.h"
#include "platform/texts.h"
#include "shell/utilities.h"

namespace ks {

namespace {

bool is_link_line(const CardViewLine& line) { return (line.flags & line_flag::kAnyLink) != 0; }

// The kind of link an auto-link line's text is, as line flags.
uint32_t classified_flags(const CardViewLine& line) {
    switch (classify_link(line.text.view()).kind) {
        case LinkKind::Telephone: return line_flag::kTelephone;
        case LinkKind::Web: return line_flag::kWeb;
        case LinkKind::Email: return line_flag::kEmail;
        case LinkKind::None: break;
    }
    return 0;
}

uint32_t effective_link(const CardViewLine& line) {
    if (line.flags & line_flag::kAutoLink) return classified_flags(line);
    return line.flags & (line_flag::kWeb | line_flag::kTelephone | line_flag::kEmail |
                         line_flag::kAttachment);
}

std::string web_address(std::u16string_view text) {
    std::string address = to_utf8(text);
    if (address.find("://") == std::string::npos) address = "http://" + address;
    return address;
}

}  // namespace

uint32_t value_line_flags(uint16_t kind) {
    switch (static_cast<FieldKind>(kind)) {
        case FieldKind::WebAddress: return line_flag::kWeb | line_flag::kValue;
        case FieldKind::AutoLinkText: return line_flag::kAutoLink | line_flag::kValue;
        case FieldKind::Email: return line_flag::kEmail | line_flag::kValue;
        case FieldKind::Telephone: return line_flag::kTelephone | line_flag::kValue;
        case FieldKind::Pin: return line_flag::kMasked | line_flag::kValue;
        default: return line_flag::kValue;
    }
}

std::vector<CardViewLine> view_lines(const Card& card) {
    std::vector<CardViewLine> lines;
    const auto& fields = card.fields();
    const size_t count = std::min(fields.size(), kMaxViewedFields);
    for (size_t i = 0; i < count && lines.size() + 2 <= kMaxViewLines; ++i) {
        const FieldRecord& field = fields[i];
        SecretText shown = field.display_text();
        if (shown.empty()) continue;
        const int index = static_cast<int>(i);
        const std::u16string_view label =
            field.label().empty() ? kNamelessLabel : std::u16string_view(field.label());
        lines.push_back({CardLineKind::NameLabel, 0, SecretText(label), index, -1});
        lines.push_back({CardLineKind::FieldValue, value_line_flags(field.kind()),
                         std::move(shown), index, -1});
    }
    const auto& files = card.files();
    for (size_t slot = 0; slot < files.size() && lines.size() + 2 <= kMaxViewLines; ++slot) {
        if (!files[slot].has_data()) continue;
        const int index = static_cast<int>(slot);
        lines.push_back({CardLineKind::NameLabel, 0,
                         SecretText(load_string(text_id::kAttachmentLabel)), -1, index});
        lines.push_back({CardLineKind::AttachmentName, line_flag::kAttachment | line_flag::kValue,
                         SecretText(files[slot].name()), -1, index});
    }
    return lines;
}

std::u16string_view shown_text(const CardViewLine& line, bool selected, bool always_show) {
    if ((line.flags & line_flag::kMasked) && !selected && !always_show) return kMaskedText;
    return line.text.view();
}

std::optional<int> link_icon(const CardViewLine& line) {
    if (!is_link_line(line)) return std::nullopt;
    const uint32_t link = effective_link(line);
    if (link & line_flag::kWeb) return 0;
    if (link & line_flag::kEmail) return 1;
    if (link & line_flag::kTelephone) return 2;
    if (link & line_flag::kAttachment) return 3;
    return std::nullopt;
}

bool selectable(const CardViewLine& line) { return line.kind != CardLineKind::NameLabel; }

int first_selectable(const std::vector<CardViewLine>& lines) {
    const auto it = std::ranges::find_if(lines, selectable);
    return it == lines.end() ? -1 : static_cast<int>(it - lines.begin());
}

int next_selectable(const std::vector<CardViewLine>& lines, int from) {
    for (int i = std::max(from + 1, 0); i < static_cast<int>(lines.size()); ++i) {
        if (selectable(lines[static_cast<size_t>(i)])) return i;
    }
    return from;
}

int previous_selectable(const std::vector<CardViewLine>& lines, int from) {
    for (int i = std::min(from, static_cast<int>(lines.size())) - 1; i >= 0; --i) {
        if (selectable(lines[static_cast<size_t>(i)])) return i;
    }
    return from;
}

std::optional<int> line_at(const std::vector<CardViewLine>& lines, const std::vector<int>& heights,
                           int y) {
    int bottom = 0;
    for (size_t i = 0; i < lines.size() && i < heights.size(); ++i) {
        bottom += heights[i];
        if (selectable(lines[i]) && bottom >= y) return static_cast<int>(i);
    }
    return std::nullopt;
}

Activation activation_of(const CardViewLine& line) {
    if (line.kind == CardLineKind::NameLabel || line.text.empty()) return {};
    if (line.kind == CardLineKind::AttachmentName)
        return {LineAction::OpenAttachment, {}, line.attachment};
    const uint32_t link = effective_link(line);
    if (link & line_flag::kEmail) {
        const LinkClass address = classify_link(line.text.view());
        return {LineAction::Mail, "mailto:" + to_utf8(address.text), -1};
    }
    if (link & line_flag::kTelephone) {
        const LinkClass number = classify_link(line.text.view());
        return {LineAction::Call, "tel:" + to_utf8(number.text), -1};
    }
    if (link & line_flag::kWeb)
        return {LineAction::Browse, web_address(classify_link(line.text.view()).text), -1};
    return {LineAction::CopyText, {}, -1};
}

}  // namespace ks
