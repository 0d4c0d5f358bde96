#pragma once
// The program's own small pictures, drawn as vector shapes at 16 and 32 pixels: the program,
// the header buttons, the dialog strips and the expanded menu's buttons.
#include <QIcon>

namespace ks::gui {

constexpr int kProgramIcon = 200;
constexpr int kModeIcon = 217;
constexpr int kClearIcon = 218;
constexpr int kExpandIcon = 219;
constexpr int kSearchIcon = 220;
constexpr int kPasswordIcon = 221;

// An icon resource by number; an empty icon for a number this set does not draw.
QIcon resource_icon(int resource);
// The picture of a command on the expanded menu's buttons.
QIcon command_icon(int command);

}  // namespace ks::gui
