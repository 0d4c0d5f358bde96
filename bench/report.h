#pragma once
// The --ratios step: collects the best time of every benchmark, sets each beside its floor and
// writes the ratios, with the machine they ran on, to docs/performance.md.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <filesystem>
#include <map>
#include <ostream>
#include <string>
#include <vector>

namespace ks::bench {

// What the node list of a loaded wallet holds, and how far the process's peak resident size
// rose while loading it.
struct MemoryReport {
    size_t cards = 0;
    uint64_t file_size = 0;
    size_t nodes = 0;
    size_t node_size = 0;     // sizeof(TreeNode)
    uint64_t list_bytes = 0;  // the list's allocation: capacity x node size
    uint64_t icon_bytes = 0;  // custom icon images held beside it
    int64_t peak_growth_kib = 0;
    bool peak_reset = false;  // false: the growth is of the current size, not of the peak
    bool loaded = false;
};
MemoryReport measure_load_memory(size_t cards);

// Passes every run on to the console and keeps the best real time per iteration of each
// benchmark, keyed "BM_name" or "BM_name/cards:N".
class CollectingReporter final : public benchmark::ConsoleReporter {
  public:
    void ReportRuns(const std::vector<Run>& runs) override;
    const std::map<std::string, double>& best_seconds() const { return best_; }

  private:
    std::map<std::string, double> best_;
};

// Prints the ratios to `out` and writes the report to `doc`; false when it cannot be written.
bool write_report(const std::map<std::string, double>& best_seconds, const MemoryReport& memory,
                  int repetitions, const std::filesystem::path& temp_folder,
                  const std::filesystem::path& doc, std::ostream& out);

}  // namespace ks::bench
