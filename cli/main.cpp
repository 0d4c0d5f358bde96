#include <unistd.h>

#include <clocale>
#include <cstdio>
#include <iostream>
#include <string>
#include <vector>

#include "cli/cli.h"
#include "platform/process.h"
#include "platform/string_table.h"
#include "platform/texts.h"

namespace {

int run(int argc, char** argv) {
    ks::disable_core_dumps();
    // Unbuffered, so that no stdio buffer keeps a password or value read from standard input.
    std::setvbuf(stdin, nullptr, _IONBF, 0);
    std::setlocale(LC_ALL, "");
    // The program's texts; without a table, built-in names show as "*".
    auto table = ks::load_string_table(ks::data_directory() / ks::language_module_name(0x409));
    if (table.table) ks::set_text_source(&*table.table);

    std::vector<std::string> args(argv + 1, argv + argc);
    ks::cli::Io io{std::cin, std::cout, std::cerr, isatty(STDIN_FILENO) == 1};
    const int code = ks::cli::run_cli(args, io);
    ks::set_text_source(nullptr);
    return code;
}

}  // namespace

int main(int argc, char** argv) {
    // The last guard: whatever escapes ends the program with a sentence and exit status 1,
    // never with an abort.
    try {
        return run(argc, argv);
    } catch (...) {
        std::fputs("keystash-cli: The command stopped on an unexpected error.\n", stderr);
        return static_cast<int>(ks::cli::Exit::Failure);
    }
}
