#pragma once
// The card view's lines: a name label and a value line for every field with something to
// show, then a label and a name line for every attachment. How a line is shown (masked or not,
// which link icon), which line the keys and taps select, and what activating it does.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "core/card.h"
#include "platform/secret.h"

namespace ks {

enum class CardLineKind : int { NameLabel = 2, FieldValue = 3, AttachmentName = 4 };

namespace line_flag {
constexpr uint32_t kMasked = 0x8;
constexpr uint32_t kValue = 0x1000;  // drawn indented
constexpr uint32_t kWeb = 0x10000;
constexpr uint32_t kTelephone = 0x20000;
constexpr uint32_t kAttachment = 0x40000;
constexpr uint32_t kEmail = 0x80000;
constexpr uint32_t kAutoLink = 0x200000;  // the kind of link is read from the text
constexpr uint32_t kAnyLink = 0x3F0000;
}  // namespace line_flag

struct CardViewLine {
    CardLineKind kind = CardLineKind::NameLabel;
    uint32_t flags = 0;
    SecretText text;
    int field = -1;       // -1 on attachment lines
    int attachment = -1;  // -1 on field lines
};

constexpr size_t kMaxViewLines = 256;
constexpr size_t kMaxViewedFields = 256;
constexpr std::u16string_view kMaskedText = u"**********";
constexpr std::u16string_view kNamelessLabel = u"*";

// The flags a field of `kind` gives its value line.
uint32_t value_line_flags(uint16_t kind);

// The lines of `card`: fields whose display text is empty are left out.
std::vector<CardViewLine> view_lines(const Card& card);

// The text a line shows: a masked value is ten asterisks unless it is selected or the card
// always shows its password fields.
std::u16string_view shown_text(const CardViewLine& line, bool selected, bool always_show);

// The link icon beside a line: 0 web, 1 e-mail, 2 telephone, 3 attachment; nothing for a plain
// line, or an auto-link whose text is no link.
std::optional<int> link_icon(const CardViewLine& line);

// Selection: the lines that are not name labels.
bool selectable(const CardViewLine& line);
int first_selectable(const std::vector<CardViewLine>& lines);  // -1 when none
// The next or previous selectable line from `from`; `from` itself when there is none.
int next_selectable(const std::vector<CardViewLine>& lines, int from);
int previous_selectable(const std::vector<CardViewLine>& lines, int from);
// The line a tap at `y` (content coordinates) hits, given each line's height: the first
// selectable line whose bottom reaches y (a tap on a label hits the value below it). Nothing for
// a tap below the last line.
std::optional<int> line_at(const std::vector<CardViewLine>& lines, const std::vector<int>& heights,
                           int y);

// What activating a line does.
enum class LineAction { Nothing, Mail, Call, Browse, OpenAttachment, CopyText };
struct Activation {
    LineAction action = LineAction::Nothing;
    std::string address;  // "mailto:...", "tel:...", or a web address with its scheme
    int attachment = -1;
};
Activation activation_of(const CardViewLine& line);

}  // namespace ks
