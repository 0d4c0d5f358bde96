#include <nlohmann/json.hpp>

#include "cli/commands/commands.h"
#include "cli/context.h"
#include "cli/fields.h"
#include "cli/items.h"
#include "cli/shown_text.h"
#include "platform/text.h"

namespace ks::cli {
namespace {

struct ShownAttachment {
    std::string kind;
    const AttachmentData* data;
};

std::vector<ShownAttachment> attachments(const Card& card) {
    std::vector<ShownAttachment> list;
    if (card.picture().has_data()) list.push_back({"picture", &card.picture()});
    if (card.sound().has_data()) list.push_back({"sound", &card.sound()});
    for (const FileAttachment& f : card.files())
        if (f.has_data()) list.push_back({"file", &f});
    return list;
}

Status run(Context& context, const Args& args) {
    int index = kNoIndex;
    std::optional<Card> card;
    if (Status s = context.open_card(args.positional[0], args.positional[1], false, index, &card);
        !s.ok())
        return s;
    WalletDocument& doc = context.document;
    const bool show_pins = args.has("--show-pins") || card_shows_pins(*card);

    if (context.json) {
        nlohmann::json fields = nlohmann::json::array();
        for (const FieldRecord& f : card->fields()) {
            const bool masked = f.kind() == static_cast<uint16_t>(FieldKind::Pin) && !show_pins;
            fields.push_back({{"label", to_utf8(f.label())},
                              {"kind", f.kind()},
                              {"kind_name", kind_name(f.kind())},
                              {"value", to_utf8(shown_value(f, show_pins))},
                              {"masked", masked && !f.display_text().empty()}});
        }
        nlohmann::json files = nlohmann::json::array();
        for (const auto& a : attachments(*card))
            files.push_back({{"name", to_utf8(a.data->name())},
                             {"kind", a.kind},
                             {"size", a.data->data_view().size()}});
        nlohmann::json j = {{"name", to_utf8(card->node()->name())},
                            {"id", card->node()->id().to_string()},
                            {"path", item_path(doc, index)},
                            {"fields", fields},
                            {"attachments", files}};
        context.io.out << json_text(j) << "\n";
        return Status::fine();
    }
    // As the card view shows a card: fields with an empty display text are left out, a field
    // without a label shows "*".
    std::ostream& out = context.io.out;
    out << shown_text(card->node()->name()) << "\n";
    for (const FieldRecord& f : card->fields()) {
        const SecretText value = shown_value(f, show_pins);
        if (value.empty()) continue;
        out << "  " << (f.label().empty() ? "*" : shown_text(f.label())) << ": "
            << shown_text(value) << "\n";
    }
    const auto files = attachments(*card);
    if (!files.empty()) out << "Attachments:\n";
    for (const auto& a : files)
        out << "  " << shown_text(a.data->name()) << " (" << a.kind << ", "
            << a.data->data_view().size() << " bytes)\n";
    return Status::fine();
}

}  // namespace

Command show_command() {
    return {"show",
            "WALLET CARD",
            "Show a card's fields in order, as the card view shows them, and its attachments.",
            {{"--show-pins", "", "show PIN values instead of \"**********\""}},
            2,
            2,
            run,
            true};
}

}  // namespace ks::cli
