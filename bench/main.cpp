// keystash_bench: the Google Benchmark runner, plus --ratios, which runs every benchmark, prints
// each one's ratio to its floor and writes docs/performance.md (or --doc=PATH).
#include <benchmark/benchmark.h>

#include <QApplication>

#include <cstring>
#include <iostream>
#include <string>
#include <vector>

#include "bench/bench_wallets.h"
#include "bench/report.h"

int main(int argc, char** argv) {
    using namespace ks::bench;
    // The window benchmarks need an application; without a display they draw offscreen.
    if (qEnvironmentVariableIsEmpty("DISPLAY") && qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    // The main window keeps its preferences beside the benchmarks' wallets, not the user's.
    qputenv("KEYSTASH_CONFIG_DIR", QByteArray::fromStdString(BenchFiles::get().folder().string()));
    bool ratios = false;
    std::filesystem::path doc =
        std::filesystem::path(KEYSTASH_SOURCE_DIR) / "docs" / "performance.md";
    int repetitions = 3;
    std::vector<char*> args;
    static char repetitions_flag[64];
    for (int i = 0; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--ratios") {
            ratios = true;
        } else if (arg.rfind("--doc=", 0) == 0) {
            doc = arg.substr(6);
        } else {
            if (arg.rfind("--benchmark_repetitions=", 0) == 0)
                repetitions = std::max(1, std::atoi(arg.c_str() + 24));
            args.push_back(argv[i]);
        }
    }
    if (ratios) {
        // The ratios take the best of a few repetitions: the machine may be shared.
        std::snprintf(repetitions_flag, sizeof repetitions_flag, "--benchmark_repetitions=%d",
                      repetitions);
        args.push_back(repetitions_flag);
    }
    int count = static_cast<int>(args.size());
    args.push_back(nullptr);
    benchmark::Initialize(&count, args.data());
    if (benchmark::ReportUnrecognizedArguments(count, args.data())) return 1;

    if (!ratios) {
        benchmark::RunSpecifiedBenchmarks();
        benchmark::Shutdown();
        return 0;
    }
    // Memory first, before the benchmarks' buffers raise the process's size.
    const MemoryReport memory = measure_load_memory(10000);
    CollectingReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    const bool written = write_report(reporter.best_seconds(), memory, repetitions,
                                      BenchFiles::get().folder(), doc, std::cout);
    return written ? 0 : 1;
}
