#include <iostream>

#include "cli/commands/commands.h"
#include "cli/context.h"
#include "forms/legacy_conversion.h"
#include "platform/string_table.h"

namespace ks::cli {
namespace {

std::string quoted(const std::filesystem::path& path) {
    return "\"" + path.string() + "\"";
}

Status status_for(const ConversionOutcome& outcome, const std::string& argument, bool terminal) {
    const std::string legacy = "\"" + argument + "\"";
    switch (outcome.result) {
        case ConversionResult::Converted:
            return Status::fine();
        case ConversionResult::Cancelled:
            return fail(Exit::Refused,
                        terminal ? "The wallet was not converted."
                                 : "The wallet was not converted: give --yes to convert it "
                                   "without questions.");
        case ConversionResult::WrongPassword:
            return fail(Exit::WrongPassword,
                        "The password for " + legacy + " is wrong; nothing was converted.");
        case ConversionResult::CannotOpen: {
            std::error_code ec;
            if (!std::filesystem::exists(outcome.legacy_path, ec))
                return fail(Exit::IoFailure, "The wallet " + legacy + " does not exist.");
            return fail(Exit::IoFailure, "The wallet " + legacy + " cannot be opened for reading.");
        }
        case ConversionResult::NotLegacyWallet:
            return fail(Exit::BadWallet,
                        legacy +
                            " is not a wallet of the previous version (.wal), or its header "
                            "is damaged.");
        case ConversionResult::Damaged:
            return fail(Exit::BadWallet, "Two folders of " + legacy +
                                             " share an id, so their cards cannot be told "
                                             "apart; nothing was converted and the file was "
                                             "left as it is.");
        case ConversionResult::TargetExists:
            return fail(Exit::Refused, quoted(outcome.new_path) +
                                           " exists already; it was left as it is. Move it away "
                                           "to convert again.");
        case ConversionResult::CannotCreate:
            return fail(Exit::IoFailure,
                        "The new wallet " + quoted(outcome.new_path) +
                            " could not be written (a new wallet's password has 3 to 23 "
                            "characters); nothing was left behind.");
        case ConversionResult::NoFolders:
            return fail(Exit::Failure, legacy + " holds no folders; there is nothing to convert.");
        case ConversionResult::NoCustomForms: {
            std::string searched;
            for (const std::filesystem::path& p : outcome.custom_forms_searched)
                searched += (searched.empty() ? "" : " or ") + quoted(p);
            if (searched.empty()) searched = "the file the wallet names";
            return fail(Exit::IoFailure,
                        "The wallet uses custom forms, but their file could not be read from " +
                            searched + ". Copy it beside the wallet and try again.");
        }
    }
    return fail(Exit::Failure, "The wallet " + legacy + " could not be converted.");
}

Status run(Context& context, const Args& args) {
    const std::string& argument = args.positional[0];
    const std::filesystem::path path = wallet_path(argument);
    if (!is_legacy_wallet_path(path))
        return fail(Exit::Usage, "\"" + argument +
                                     "\" is not named like a wallet of the "
                                     "previous version (FILE.wal).");
    TerminalPrompt prompt(context.io, args.has("--yes"));
    const PasswordRequest ask_password = [&](std::u16string_view) {
        return context.read_password("Password for " + argument + ": ");
    };
    ConversionOptions options;
    options.program_folder = data_directory();
    options.show_messages = false;
    const ConversionOutcome outcome = convert_legacy_wallet(path, prompt, ask_password, options);
    Status status = status_for(outcome, argument, context.io.in_is_terminal);
    if (status.ok()) {
        context.io.out << outcome.new_path.string() << "\n";
        if (outcome.unreadable > 0)
            context.io.err << outcome.unreadable
                           << (outcome.unreadable == 1 ? " item" : " items")
                           << " could not be read whole: cards converted without their values, "
                              "a record cut short at the end left out.\n";
    }
    return status;
}

}  // namespace

Command convert_command() {
    return {"convert",
            "FILE.wal",
            "Convert a wallet of the previous version into a new wallet beside it (FILE.ks5) "
            "under the same password; the old file is not changed. Prints the new wallet's path. "
            "A card whose data cannot be read is converted without its values, and counted.",
            {{"--yes", "", "answer yes to the question"}},
            1,
            1,
            run};
}

}  // namespace ks::cli
