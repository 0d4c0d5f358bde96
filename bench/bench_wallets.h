#pragma once
// The wallets the benchmarks work on, generated once per process into a temporary folder, and
// the plain file operations that serve as their floors.
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/file.h"

namespace ks::bench {

inline constexpr std::u16string_view kPassword = u"bench-pass";
inline constexpr std::u16string_view kOtherPassword = u"bench-pass-2";
inline constexpr size_t kFieldsPerCard = 20;
inline constexpr size_t kFolders = 5;
inline constexpr uint64_t kDamagedSize = 20ull << 20;

// A generated wallet and what the floors need to know about its records.
struct WalletStats {
    std::filesystem::path path;
    size_t cards = 0;
    uint64_t size = 0;
    std::vector<uint64_t> record_offsets;  // every record, in file order
    std::vector<uint64_t> record_lengths;  // header, icon image and payload
    std::vector<uint32_t> text_lengths;    // every enciphered text a full search deciphers
    size_t first_card_record = 0;          // records before it are folders

    // The record of the card in the middle of the file, and the bytes that follow it.
    size_t middle_record() const { return first_card_record + cards / 2; }
    uint64_t tail_after(size_t record) const {
        return size - record_offsets[record] - record_lengths[record];
    }
};

class BenchFiles {
  public:
    // The process-wide set; the folder and everything in it go at exit.
    static BenchFiles& get();
    ~BenchFiles();
    BenchFiles(const BenchFiles&) = delete;
    BenchFiles& operator=(const BenchFiles&) = delete;

    // A wallet of `cards` cards of 20 fields in five folders, made on first use.
    const WalletStats& wallet(size_t cards);
    // A 20 MB wallet whose last record is cut short and with one header overwritten near the
    // end, made on first use.
    const std::filesystem::path& damaged();
    // A path in the temporary folder for a benchmark's working copy.
    std::filesystem::path scratch(std::string_view name) const { return dir_ / name; }
    const std::filesystem::path& folder() const { return dir_; }

  private:
    BenchFiles();
    std::filesystem::path dir_;
    std::map<size_t, std::unique_ptr<WalletStats>> wallets_;
    std::filesystem::path damaged_;
};

// Floors ---------------------------------------------------------------------------------------

// Reads the whole file in 1 MiB pieces; the bytes read.
uint64_t read_whole_file(const std::filesystem::path& path);
// Walks the node records reading each 748-byte header only; the headers read.
size_t walk_headers(const std::filesystem::path& path);
// Copies `from` to a new file `to` and makes it durable; false on any failure.
bool copy_file_synced(const std::filesystem::path& from, const std::filesystem::path& to);
// Moves `n` bytes at `source` down to `destination` and syncs. The size is left as it is, so
// that the same move can be repeated.
bool move_tail_synced(File& file, uint64_t source, uint64_t destination, uint64_t n);

}  // namespace ks::bench
