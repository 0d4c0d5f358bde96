// Writes the samples that are installed with the program: "Sample Wallet.ks5",
// "Form Sample.ksx" and "Import Sample.txt".
// Usage: make-sample-wallet LANGUAGE_TABLE OUTPUT_FOLDER
#include <cstdio>
#include <exception>
#include <filesystem>
#include <string>
#include <system_error>

#include "platform/string_table.h"
#include "platform/texts.h"
#include "resources/form_sample.h"
#include "resources/import_sample.h"
#include "resources/sample_wallet.h"

namespace {

int run(const std::filesystem::path& table_path, const std::filesystem::path& folder) {
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
    const std::filesystem::path wallet = folder / "Sample Wallet.ks5";
    std::error_code ec;
    std::filesystem::create_directories(folder, ec);
    std::filesystem::remove(wallet, ec);
    if (ec) {
        std::fprintf(stderr, "make-sample-wallet: cannot remove %s: %s\n", wallet.c_str(),
                     ec.message().c_str());
        return 1;
    }
    std::string error;
    if (!ks::write_sample_wallet(wallet, &error) ||
        !ks::write_form_sample(folder / "Form Sample.ksx", &error) ||
        !ks::write_import_sample(folder / std::string(ks::kImportSampleFileName), &error)) {
        std::fprintf(stderr, "make-sample-wallet: %s\n", error.c_str());
        return 1;
    }
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: make-sample-wallet LANGUAGE_TABLE OUTPUT_FOLDER\n");
        return 2;
    }
    try {
        return run(argv[1], argv[2]);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "make-sample-wallet: %s\n", e.what());
        return 1;
    }
}
