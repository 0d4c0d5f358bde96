#pragma once
// Access keys (Alt+letter) for the controls of a dialog whose texts come from the language
// table, which carries none.
#include <initializer_list>

class QWidget;

namespace ks::gui {

// Gives each button, check box or label with a buddy, in order, the first letter or digit of
// its text that no earlier one took; a control whose letters are all taken gets none. An "&"
// already in a text is kept as a plain "&".
void assign_access_keys(std::initializer_list<QWidget*> controls);

}  // namespace ks::gui
