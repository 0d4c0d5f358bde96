#include "shell/program.h"

int main(int argc, char** argv) { return ks::gui::run_keystash(argc, argv); }
