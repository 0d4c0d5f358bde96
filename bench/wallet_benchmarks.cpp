// The wallet operations, each registered beside the plain file work that bounds it from below.
#include <benchmark/benchmark.h>
#include <malloc.h>

#include <array>
#include <fstream>
#include <string>
#include <system_error>

#include "bench/bench_wallets.h"
#include "bench/report.h"
#include "core/cipher.h"
#include "core/repair.h"
#include "core/search.h"
#include "core/wallet_document.h"

namespace ks::bench {
namespace {

const WalletStats& wallet_for(const benchmark::State& state) {
    return BenchFiles::get().wallet(static_cast<size_t>(state.range(0)));
}

// A fresh working copy of `from`; false (with the benchmark skipped) when it cannot be made.
// The copy is synced, so that the first fsync of the operation measured does not also write
// out the whole copy.
bool fresh_copy(benchmark::State& state, const std::filesystem::path& from,
                const std::filesystem::path& to) {
    std::error_code ec;
    std::filesystem::remove(to, ec);
    std::filesystem::copy_file(from, to, ec);
    const bool ok = !ec && File::open(to, FileMode::ReadWrite).sync() &&
                    sync_directory(to.parent_path());
    if (!ok) state.SkipWithError("cannot copy the wallet");
    return ok;
}

void remove_file(const std::filesystem::path& path) {
    std::error_code ec;
    std::filesystem::remove(path, ec);
}

// Load --------------------------------------------------------------------------------------------

void BM_load(benchmark::State& state) {
    const WalletStats& w = wallet_for(state);
    size_t nodes = 0;
    for (auto _ : state) {
        WalletDocument document;
        if (document.load(w.path, kPassword) != OpenResult::Opened) {
            state.SkipWithError("load failed");
            break;
        }
        nodes = document.nodes().size();
        state.PauseTiming();
        document.close();
        state.ResumeTiming();
    }
    state.counters["nodes"] = static_cast<double>(nodes);
}

void BM_read_headers(benchmark::State& state) {
    const WalletStats& w = wallet_for(state);
    for (auto _ : state) benchmark::DoNotOptimize(walk_headers(w.path));
    state.counters["headers"] = static_cast<double>(w.record_offsets.size());
}

void BM_read_file(benchmark::State& state) {
    const WalletStats& w = wallet_for(state);
    for (auto _ : state) benchmark::DoNotOptimize(read_whole_file(w.path));
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * w.size));
}

// Search --------------------------------------------------------------------------------------

void BM_search(benchmark::State& state) {
    const WalletStats& w = wallet_for(state);
    WalletDocument document;
    if (document.load(w.path, kPassword, true) != OpenResult::Opened) {
        state.SkipWithError("load failed");
        return;
    }
    for (auto _ : state) {
        SearchResults results;
        if (search_wallet(document, u"no such text anywhere", results) != 0) {
            state.SkipWithError("the search found something");
            break;
        }
    }
}

// The file read plus, for every enciphered text, an RC4 key schedule and its keystream.
void BM_search_floor(benchmark::State& state) {
    const WalletStats& w = wallet_for(state);
    const std::array<uint8_t, KeyContext::kKeySize> key{1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12};
    std::array<uint8_t, 512> text{};
    for (auto _ : state) {
        benchmark::DoNotOptimize(read_whole_file(w.path));
        for (uint32_t length : w.text_lengths) {
            Rc4 rc4(key);
            rc4.apply(std::span(text).first(std::min<size_t>(length, text.size())));
        }
        benchmark::DoNotOptimize(text.data());
    }
    state.counters["texts"] = static_cast<double>(w.text_lengths.size());
}

// Update and delete in the middle ---------------------------------------------------------------

void BM_update_card(benchmark::State& state) {
    const WalletStats& w = wallet_for(state);
    const auto work = BenchFiles::get().scratch("update.ksw");
    if (!fresh_copy(state, w.path, work)) return;
    WalletDocument document;
    if (document.load(work, kPassword) != OpenResult::Opened) {
        state.SkipWithError("load failed");
        return;
    }
    // List order is file order at load; each update moves its card to the end, so the next
    // card on the list stands where this one stood and the tail stays half the file.
    int index = static_cast<int>(w.middle_record());
    const int last = static_cast<int>(w.record_offsets.size()) - 1;
    for (auto _ : state) {
        state.PauseTiming();
        auto card = document.load_card(index);
        if (!card || index >= last) {
            state.SkipWithError("no card to update");
            break;
        }
        card->field(0).set_value(u"changed by the benchmark");
        state.ResumeTiming();
        if (document.update_card(*card) < 0) {
            state.SkipWithError("update failed");
            break;
        }
        ++index;
    }
    document.close();
    remove_file(work);
}

void BM_remove(benchmark::State& state) {
    const WalletStats& w = wallet_for(state);
    const auto work = BenchFiles::get().scratch("remove.ksw");
    if (!fresh_copy(state, w.path, work)) return;
    WalletDocument document;
    if (document.load(work, kPassword) != OpenResult::Opened) {
        state.SkipWithError("load failed");
        return;
    }
    int index = static_cast<int>(w.middle_record());
    const int last = static_cast<int>(w.record_offsets.size()) - 1;
    for (auto _ : state) {
        if (index >= last || !document.remove(index)) {
            state.SkipWithError("remove failed");
            break;
        }
        ++index;
    }
    document.close();
    remove_file(work);
}

// Moving the bytes after the middle card down by its length once, and syncing.
void BM_move_tail(benchmark::State& state) {
    const WalletStats& w = wallet_for(state);
    const auto work = BenchFiles::get().scratch("tail.ksw");
    if (!fresh_copy(state, w.path, work)) return;
    File file = File::open(work, FileMode::ReadWrite);
    const size_t record = w.middle_record();
    const uint64_t offset = w.record_offsets[record];
    const uint64_t tail = w.tail_after(record);
    for (auto _ : state) {
        if (!move_tail_synced(file, offset + w.record_lengths[record], offset, tail)) {
            state.SkipWithError("move failed");
            break;
        }
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * tail));
    file.close();
    remove_file(work);
}

// Change of password ----------------------------------------------------------------------------

void BM_change_password(benchmark::State& state) {
    const WalletStats& w = wallet_for(state);
    const auto work = BenchFiles::get().scratch("password.ksw");
    if (!fresh_copy(state, w.path, work)) return;
    WalletDocument document;
    if (document.load(work, kPassword) != OpenResult::Opened) {
        state.SkipWithError("load failed");
        return;
    }
    bool changed = false;
    for (auto _ : state) {
        const std::u16string_view from = changed ? kOtherPassword : kPassword;
        const std::u16string_view to = changed ? kPassword : kOtherPassword;
        if (!document.change_password(from, to, std::nullopt)) {
            state.SkipWithError("change of password failed");
            break;
        }
        changed = !changed;
    }
    document.close();
    remove_file(work);
}

void BM_copy_file(benchmark::State& state) {
    const WalletStats& w = wallet_for(state);
    const auto work = BenchFiles::get().scratch("copy.ksw");
    for (auto _ : state) {
        state.PauseTiming();
        remove_file(work);
        state.ResumeTiming();
        if (!copy_file_synced(w.path, work)) {
            state.SkipWithError("copy failed");
            break;
        }
    }
    remove_file(work);
}

// Repair scan ---------------------------------------------------------------------------------

// The walk a repair makes over the damaged file, deciding what to mend, without mending it.
void BM_repair_scan(benchmark::State& state) {
    const auto& damaged = BenchFiles::get().damaged();
    File file = File::open(damaged, FileMode::ReadOnly);
    int found = 0;
    for (auto _ : state) {
        const auto made = check_node_records(file);
        if (!made || *made == 0) {
            state.SkipWithError("the scan found no damage");
            break;
        }
        found = *made;
    }
    state.counters["places"] = found;
}

// The whole repair: the walks, the journaled cut and the final sync.
void BM_repair(benchmark::State& state) {
    const auto& damaged = BenchFiles::get().damaged();
    const auto work = BenchFiles::get().scratch("repair.ksw");
    int repairs = 0;
    for (auto _ : state) {
        state.PauseTiming();
        if (!fresh_copy(state, damaged, work)) break;
        File file = File::open(work, FileMode::ReadWrite);
        state.ResumeTiming();
        const auto made = repair_all_records(file);
        if (!made || !file.sync()) {
            state.SkipWithError("repair failed");
            break;
        }
        repairs = *made;
    }
    state.counters["repairs"] = repairs;
    remove_file(work);
}

void BM_repair_read(benchmark::State& state) {
    const auto& damaged = BenchFiles::get().damaged();
    for (auto _ : state) benchmark::DoNotOptimize(read_whole_file(damaged));
}

void wallet_sizes(benchmark::internal::Benchmark* b) {
    b->ArgName("cards")->Arg(1000)->Arg(10000)->Unit(benchmark::kMillisecond)->UseRealTime();
}

BENCHMARK(BM_load)->Apply(wallet_sizes);
BENCHMARK(BM_read_headers)->Apply(wallet_sizes);
BENCHMARK(BM_read_file)->Apply(wallet_sizes);
BENCHMARK(BM_search)->Apply(wallet_sizes);
BENCHMARK(BM_search_floor)->Apply(wallet_sizes);
// Each iteration takes the next card of the list, so the iterations are counted: past the
// last card there is nothing left to update.
void counted_sizes(benchmark::internal::Benchmark* b) {
    b->ArgName("cards")->Unit(benchmark::kMillisecond)->UseRealTime();
}
BENCHMARK(BM_update_card)->Apply(counted_sizes)->Arg(1000)->Iterations(100);
BENCHMARK(BM_update_card)->Apply(counted_sizes)->Arg(10000)->Iterations(20);
BENCHMARK(BM_remove)->Apply(counted_sizes)->Arg(1000)->Iterations(100);
BENCHMARK(BM_remove)->Apply(counted_sizes)->Arg(10000)->Iterations(20);
BENCHMARK(BM_move_tail)->Apply(wallet_sizes);
BENCHMARK(BM_change_password)->Apply(wallet_sizes);
BENCHMARK(BM_copy_file)->Apply(wallet_sizes);
BENCHMARK(BM_repair_scan)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_repair)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_repair_read)->Unit(benchmark::kMillisecond)->UseRealTime();

// "VmHWM" or "VmRSS" of /proc/self/status, in KiB.
int64_t status_kib(const std::string& key) {
    std::ifstream in("/proc/self/status");
    std::string line;
    while (std::getline(in, line))
        if (line.rfind(key + ":", 0) == 0) return std::stoll(line.substr(key.size() + 1));
    return -1;
}

}  // namespace

MemoryReport measure_load_memory(size_t cards) {
    const WalletStats& w = BenchFiles::get().wallet(cards);
    MemoryReport report;
    report.cards = cards;
    report.file_size = w.size;
    malloc_trim(0);
    // Resets the peak resident size to the current one, so that the peak after the load is
    // the load's own.
    report.peak_reset = static_cast<bool>(std::ofstream("/proc/self/clear_refs") << "5");
    const int64_t before = status_kib(report.peak_reset ? "VmHWM" : "VmRSS");
    {
        WalletDocument document;
        if (document.load(w.path, kPassword) != OpenResult::Opened) return report;
        report.nodes = document.nodes().size();
        report.node_size = sizeof(TreeNode);
        report.list_bytes = document.nodes().capacity() * sizeof(TreeNode);
        for (const TreeNode& node : document.nodes()) report.icon_bytes += node.icon_image().size();
        report.peak_growth_kib = status_kib("VmHWM") - before;
        report.loaded = true;
    }
    return report;
}

}  // namespace ks::bench
