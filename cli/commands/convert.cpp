// placeholder until the command is written
#include "cli/commands/commands.h"

namespace ks::cli {

Command convert_command() {
    return {"convert", "", "", {}, 0, 0, [](Context&, const Args&) { return fail(Exit::Failure, "not built"); }};
}

}  // namespace ks::cli
