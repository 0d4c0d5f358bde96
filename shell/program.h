#pragma once
// The program's start-up sequence and its run: the command line's early endings, the single
// instance, the settings and language module, the main window and what it opens first.
namespace ks::gui {

int run_keystash(int argc, char** argv);

}  // namespace ks::gui
