// placeholder until the command is written
#include "cli/commands/commands.h"

namespace ks::cli {

Command export_form_command() {
    return {"export-form", "", "", {}, 0, 0, [](Context&, const Args&) { return fail(Exit::Failure, "not built"); }};
}

}  // namespace ks::cli
