#pragma once
// Card fields as text on the command line: values shown as the card view shows them, and values
// given as LABEL=VALUE.
#include <optional>
#include <string>
#include <string_view>

#include "cli/cli.h"
#include "core/card.h"

namespace ks::cli {

constexpr std::u16string_view kMaskedValue = u"**********";

// Whether the card's style asks for PIN values to be shown always.
bool card_shows_pins(const Card& card);

// The text a field shows in the card view, masked for a PIN unless `show_pins`.
SecretText shown_value(const FieldRecord& field, bool show_pins);

// Splits "LABEL=VALUE" at the first "=".
Status split_assignment(std::string_view text, std::u16string& label, std::u16string& value);

// The first field whose label equals `label` without regard to case.
std::optional<size_t> field_by_label(const Card& card, std::u16string_view label);

// Sets a field from text: dates as YYYY-MM-DD, times as HH:MM, both "YYYY-MM-DD HH:MM";
// yes/no as yes/no/1/0/true/false; other kinds take the text.
Status set_field_text(FieldRecord& field, std::u16string_view text);

std::string kind_name(uint16_t kind);

struct Context;

// Fills the card's fields from the command line: every --set LABEL=VALUE, then every --set-stdin
// LABEL in the order given, its value read as a password is (on a terminal with echo off, else
// the next line of standard input, after any password line). Every label is found before the
// first value is read. `owner` names the card's source in the message for an unknown label.
Status fill_fields(Context& context, const Args& args, Card& card, std::string_view owner);

}  // namespace ks::cli
