#pragma once
// What the fuzz targets share: a private scratch folder for the parsers that read files, the
// English texts (so that messages are formatted with the real patterns), and the invariant check.
#include <cstdint>
#include <filesystem>
#include <span>

namespace ks::fuzz {

// The target: one per program, fed every input by the fuzzer's driver (fuzz_main.cpp) or, in a
// normal build, by the replay of stored inputs (replay_main.cpp).
void fuzz(std::span<const uint8_t> data);

// A folder only this process uses, made once under /dev/shm (or $TMPDIR, or /tmp) with mode 0700
// and removed at exit. Empty when none could be made.
const std::filesystem::path& scratch_folder();

// Replaces the file `name` in the scratch folder with `data`; its path, or empty on failure.
std::filesystem::path write_scratch_file(const char* name, std::span<const uint8_t> data);

// The English language table of the source tree.
std::filesystem::path english_table_path();

// Installs the English language table as the text source, once; without it texts read "*".
void use_english_texts();

// A broken invariant is a finding: stop here so that the fuzzer keeps the input.
inline void require(bool invariant) {
    if (!invariant) __builtin_trap();
}

}  // namespace ks::fuzz
