#pragma once
// The definitions of every command, one per file in this folder.
#include "cli/cli.h"

namespace ks::cli {

Command create_command();
Command info_command();
Command ls_command();
Command show_command();
Command find_command_def();
Command forms_command();
Command mkdir_command();
Command add_command();
Command edit_command();
Command rename_command();
Command mv_command();
Command cp_command();
Command rm_command();
Command save_form_command();
Command fav_command();
Command attach_command();
Command detach_command();
Command extract_command();
Command passwd_command();
Command repair_command();
Command export_command();
Command export_form_command();
Command import_command();
Command import_form_command();
Command convert_command();

}  // namespace ks::cli
