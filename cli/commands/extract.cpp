#include "cli/attachments.h"
#include "cli/commands/commands.h"
#include "cli/context.h"
#include "cli/items.h"
#include "platform/file.h"
#include "platform/file_name.h"
#include "platform/text.h"

namespace ks::cli {
namespace {

Status run(Context& context, const Args& args) {
    int index = kNoIndex;
    std::optional<Card> card;
    if (Status s = context.open_card(args.positional[0], args.positional[1], false, index, &card);
        !s.ok())
        return s;
    const AttachmentData* attachment = attachment_named(*card, from_utf8(args.positional[2]));
    if (!attachment)
        return fail(Exit::NotFound, "The card has no attachment \"" + args.positional[2] + "\".");

    // The stored name is the wallet's text: made safe and short enough to be a file name here.
    const std::filesystem::path folder = args.value("--to").value_or(".");
    const std::filesystem::path target =
        folder /
        to_utf8(fit_file_name_keeping_extension(u"", attachment->name(), file_name_limit(folder)));
    int error = 0;
    File file = File::open(target, FileMode::CreateNew, &error);
    if (!file.is_open()) {
        if (error == EEXIST)
            return fail(Exit::Refused, "\"" + target.string() + "\" exists already.");
        return fail(Exit::IoFailure, "\"" + target.string() + "\" cannot be created.");
    }
    auto data = attachment->data_view();
    IoResult w = file.write(data);
    if (w.failed() || w.bytes != data.size() || !file.sync()) {
        file.close();
        std::error_code ec;
        std::filesystem::remove(target, ec);
        return fail(Exit::IoFailure, "\"" + target.string() + "\" could not be written.");
    }
    context.io.out << target.string() << "\n";
    return Status::fine();
}

}  // namespace

Command extract_command() {
    return {"extract",
            "WALLET CARD NAME",
            "Write a card's attachment to a file of its name (readable by you only); an existing "
            "file is never replaced.",
            {{"--to", "DIR", "the folder to write into (default: the current folder)"}},
            3,
            3,
            run};
}

}  // namespace ks::cli
