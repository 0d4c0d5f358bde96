#include <nlohmann/json.hpp>

#include "cli/commands/commands.h"
#include "cli/context.h"
#include "cli/shown_text.h"
#include "core/keys.h"
#include "platform/locale_format.h"
#include "platform/text.h"

namespace ks::cli {
namespace {

std::string iso_time(const DateTime& t) {
    char buf[64];
    std::snprintf(buf, sizeof buf, "%04u-%02u-%02uT%02u:%02u:%02u", t.year, t.month, t.day, t.hour,
                  t.minute, t.second);
    return buf;
}

std::string header_text(std::span<const uint8_t> bytes) {
    std::string raw(bytes.begin(), bytes.end());
    raw = raw.substr(0, raw.find('\0'));
    std::string text = to_utf8(from_cp1252(raw));
    for (char& c : text)
        if (c == '\r' || c == '\n') c = ' ';
    while (text.find("  ") != std::string::npos) text.erase(text.find("  "), 1);
    while (!text.empty() && text.back() == ' ') text.pop_back();
    return text;
}

Status run(Context& context, const Args& args) {
    if (Status s = context.open_wallet(args.positional[0], false); !s.ok()) return s;
    const WalletDocument& doc = context.document;
    size_t folders = 0, cards = 0, forms = 0;
    const TreeNode* my_forms = doc.my_forms_folder();
    for (const TreeNode& n : doc.nodes()) {
        if (n.deleted()) continue;
        if (n.kind() == NodeKind::Folder) ++folders;
        if (n.kind() == NodeKind::Card) {
            (my_forms && n.parent() == my_forms->id()) ? ++forms : ++cards;
        }
    }
    const WalletHeader& header = context.document.header();
    nlohmann::json j = {
        {"path", wallet_path(args.positional[0]).string()},
        {"signature", header_text(std::span(header.bytes).first(format::kSignatureSize))},
        {"version",
         header_text(
             std::span(header.bytes).subspan(format::kVersionOffset, format::kVersionSize))},
        {"created", iso_time(doc.info().creation_time())},
        {"modified", iso_time(doc.info().modified_time())},
        {"password", doc.info().has_password()},
        {"hint", get_hint(doc.info()).has_value()},
        {"folders", folders},
        {"cards", cards},
        {"forms", forms},
        {"favourites", doc.favourites_count()},
    };
    if (context.json) {
        context.io.out << json_text(j) << "\n";
        return Status::fine();
    }
    auto local = [](const DateTime& t) {
        return to_utf8(format_date(t, short_date_format4()) + u" " +
                       format_time(t, locale_formats().time));
    };
    std::ostream& out = context.io.out;
    out << "Wallet:      " << j["path"].get<std::string>() << "\n"
        << "Signature:   " << shown_text(from_utf8(j["signature"].get<std::string>())) << "\n"
        << "Version:     " << shown_text(from_utf8(j["version"].get<std::string>())) << "\n"
        << "Created:     " << local(doc.info().creation_time()) << "\n"
        << "Modified:    " << local(doc.info().modified_time()) << "\n"
        << "Password:    " << (doc.info().has_password() ? "set" : "none") << "\n"
        << "Hint:        " << (get_hint(doc.info()) ? "set" : "none") << "\n"
        << "Folders:     " << folders << "\n"
        << "Cards:       " << cards << "\n"
        << "User forms:  " << forms << "\n"
        << "Favourites:  " << doc.favourites_count() << "\n";
    return Status::fine();
}

}  // namespace

Command info_command() {
    return {"info", "WALLET", "Show a wallet's signature, times, password state and counts.",
            {},     1,        1,
            run,    true};
}

}  // namespace ks::cli
