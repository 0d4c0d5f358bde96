#pragma once
// Runs keystash-cli in this process, as the command-line tests do: the arguments, standard input
// from a string, and what it wrote to standard output and standard error.
#include <sstream>
#include <string>
#include <vector>

#include "cli/cli.h"

namespace ks::test {

struct CliOutcome {
    int code = -1;
    std::string out;
    std::string err;
};

// `terminal` tells the tool that standard input is a terminal (it asks its questions there).
inline CliOutcome run_cli_in_process(const std::vector<std::string>& argv,
                                     const std::string& input, bool terminal = false) {
    std::istringstream in(input);
    std::ostringstream out, err;
    cli::Io io{in, out, err, terminal};
    const int code = cli::run_cli(argv, io);
    return {code, out.str(), err.str()};
}

}  // namespace ks::test
