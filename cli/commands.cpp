#include "cli/commands/commands.h"

namespace ks::cli {

std::span<const Command> commands() {
    static const Command table[] = {
        create_command(),   info_command(),        ls_command(),     show_command(),
        find_command_def(), forms_command(),       mkdir_command(),  add_command(),
        edit_command(),     rename_command(),      mv_command(),     cp_command(),
        rm_command(),       save_form_command(),   fav_command(),    attach_command(),
        detach_command(),   extract_command(),     passwd_command(), repair_command(),
        export_command(),   export_form_command(), import_command(), import_form_command(),
        convert_command(),
    };
    return table;
}

}  // namespace ks::cli
