// Writes the sample wallet that is installed with the program.
// Usage: make-sample-wallet LANGUAGE_TABLE OUTPUT
#include <cstdio>
#include <exception>
#include <filesystem>
#include <string>
#include <system_error>

#include "platform/string_table.h"
#include "platform/texts.h"
#include "resources/sample_wallet.h"

namespace {

int run(const std::filesystem::path& table_path, const std::filesystem::path& output) {
    ks::StringTableParse parsed = ks::load_string_table(table_path);
    if (parsed.error || !parsed.table) {
        const size_t line = parsed.error ? parsed.error->line : 0;
        const std::string message = parsed.error ? parsed.error->message : "unreadable";
        std::fprintf(stderr, "make-sample-wallet: %s:%zu: %s\n", table_path.c_str(), line,
                     message.c_str());
        return 1;
    }
    ks::ScopedTextSource texts(&*parsed.table);

    // A wallet is never created over an existing file, so the previous output goes first.
    std::error_code ec;
    std::filesystem::remove(output, ec);
    if (ec) {
        std::fprintf(stderr, "make-sample-wallet: cannot remove %s: %s\n", output.c_str(),
                     ec.message().c_str());
        return 1;
    }
    std::string error;
    if (!ks::write_sample_wallet(output, &error)) {
        std::fprintf(stderr, "make-sample-wallet: %s\n", error.c_str());
        return 1;
    }
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: make-sample-wallet LANGUAGE_TABLE OUTPUT\n");
        return 2;
    }
    try {
        return run(argv[1], argv[2]);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "make-sample-wallet: %s\n", e.what());
        return 1;
    }
}
