// The program's open of a wallet to a filled tree, beside its floor: the document's load plus
// showing an empty main window, measured in the same loop.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QPixmap>

#include "bench/bench_wallets.h"
#include "core/wallet_document.h"
#include "platform/registry.h"
#include "shell/gui/messages.h"
#include "shell/main_window.h"

namespace ks::bench {
namespace {

// Answers the password question with the benchmarks' password.
class BenchDialogs final : public gui::DialogRunner {
  public:
    std::optional<SecretText> ask_password(QWidget*, const PasswordQuestion&) override {
        return SecretText(kPassword);
    }
};

// Shows the window and paints it once, as the screen would.
void show_and_paint(gui::MainWindow& window) {
    window.show();
    QCoreApplication::processEvents();
    benchmark::DoNotOptimize(window.grab());
}

void BM_tree_open(benchmark::State& state) {
    const WalletStats& w = BenchFiles::get().wallet(static_cast<size_t>(state.range(0)));
    Registry registry;
    int rows = 0;
    for (auto _ : state) {
        gui::MainWindow window(registry, std::make_unique<BenchDialogs>());
        window.set_startup_path(w.path);
        gui::post_message(&window, gui::MWM_OPENPATH);
        show_and_paint(window);
        if (!window.session().is_open()) {
            state.SkipWithError("open failed");
            break;
        }
        rows = window.tree()->model()->rowCount();
        state.PauseTiming();
        window.session().close();
        state.ResumeTiming();
    }
    state.counters["top_rows"] = rows;
}

void BM_tree_floor(benchmark::State& state) {
    const WalletStats& w = BenchFiles::get().wallet(static_cast<size_t>(state.range(0)));
    Registry registry;
    for (auto _ : state) {
        WalletDocument document;
        if (document.load(w.path, kPassword) != OpenResult::Opened) {
            state.SkipWithError("load failed");
            break;
        }
        gui::MainWindow window(registry, std::make_unique<BenchDialogs>());
        show_and_paint(window);
        state.PauseTiming();
        document.close();
        state.ResumeTiming();
    }
}

void tree_sizes(benchmark::internal::Benchmark* b) {
    b->ArgName("cards")->Arg(10000)->Unit(benchmark::kMillisecond)->UseRealTime();
}

BENCHMARK(BM_tree_open)->Apply(tree_sizes);
BENCHMARK(BM_tree_floor)->Apply(tree_sizes);

}  // namespace
}  // namespace ks::bench
