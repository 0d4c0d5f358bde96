#include "bench/report.h"

#include <sys/statfs.h>
#include <sys/utsname.h>

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <fstream>
#include <optional>
#include <set>
#include <sstream>
#include <system_error>
#include <thread>

namespace ks::bench {
namespace {

enum class Sense {
    AtMost,   // measured time / floor time, lower is better
    AtLeast,  // reference time / measured time (relative speed), higher is better
};

struct Pair {
    std::string what;
    std::string measured;
    std::string floor;
    std::string floor_text;
    Sense sense;
    std::optional<double> target;
    std::string if_missed;  // where the time goes and what would close the gap
};

constexpr const char* kUpdateNote =
    "Beyond the floor's one tail move and one fsync, an update copies the new version and the "
    "tail into the journal and syncs it, writes a journal slot and syncs it and its folder, "
    "moves the tail back from the journal, writes the new version at the new end and syncs "
    "the wallet, and removes the journal with another folder sync: two tail copies and five "
    "syncs, where the floor has one copy and one sync. A tail longer than the journal's 4 MiB "
    "segment is moved one segment at a time, with three more syncs for each further segment. "
    "A cut in the middle of the file survives a power cut only if the tail is held somewhere "
    "durable before it is moved over itself, so twice the "
    "floor plus the latency of the extra syncs is the least this design can cost; small "
    "wallets pay mostly the syncs, large ones mostly the second copy. Reaching the target "
    "means not moving the tail at every change: appending the new version, marking the old "
    "one dead with a small in-place header write, and reclaiming the dead records in one "
    "journaled pass at close. That leaves superseded secrets in the file while it is open.";

std::vector<Pair> pairs() {
    std::vector<Pair> list = {
        {"RC4 keystream, 1 MiB", "BM_rc4", "BM_rc4_openssl", "OpenSSL RC4", Sense::AtLeast, 0.9,
         "RC4 is a serial chain of dependent byte loads and stores; OpenSSL's assembly keeps i, j "
         "and the state in registers across an unrolled loop. Unrolling the loop further and "
         "holding the state as 32-bit words (fewer partial-register stalls) would close it."},
        {"MD5, 1 MiB", "BM_md5", "BM_md5_openssl", "OpenSSL MD5", Sense::AtLeast, 0.8,
         "MD5 is latency-bound on its step chain; the remaining gap is instruction scheduling, "
         "which OpenSSL's assembly fixes by hand."},
    };
    for (const char* n : {"1000", "10000"}) {
        const std::string cards = std::string("/cards:") + n;
        const std::string label = std::string(n) + " cards";
        list.push_back({"load, " + label, "BM_load" + cards, "BM_read_headers" + cards,
                        "walk reading the 748-byte headers", Sense::AtMost, 1.5,
                        "The load reads each header with a call of its own, as the floor does, and "
                        "finds listed ids through a hash index; what remains is deciphering each "
                        "header's names into the node list. Reading the node area in large "
                        "pieces would take the floor's calls away too."});
        list.push_back({"load, " + label, "BM_load" + cards, "BM_read_file" + cards,
                        "sequential read of the whole file", Sense::AtMost, std::nullopt, ""});
        list.push_back(
            {"search without a hit, " + label, "BM_search" + cards, "BM_search_floor" + cards,
             "file read + one RC4 key schedule and keystream per stored text", Sense::AtMost, 1.3,
             "Each card's payload is read with its own call and every text is "
             "deciphered and lower-cased into a new string. Reading the node area "
             "in large pieces and folding case without allocating would close it."});
        list.push_back({"update of a middle card, " + label, "BM_update_card" + cards,
                        "BM_move_tail" + cards, "moving the tail once + fsync", Sense::AtMost, 1.2,
                        kUpdateNote});
        list.push_back({"delete of a middle card, " + label, "BM_remove" + cards,
                        "BM_move_tail" + cards, "moving the tail once + fsync", Sense::AtMost,
                        std::nullopt, ""});
        list.push_back({"change of password, " + label, "BM_change_password" + cards,
                        "BM_copy_file" + cards, "copying the file + fsync", Sense::AtMost,
                        std::nullopt, ""});
    }
    list.push_back({"open to a filled tree, 10000 cards", "BM_tree_open/cards:10000",
                    "BM_tree_floor/cards:10000", "document load + showing an empty main window",
                    Sense::AtMost, 1.5,
                    "The tree reads rows from the document's sorted child lists only as the view "
                    "asks for them, so what remains beyond the floor is the session's checks "
                    "and the first paint of the visible rows."});
    list.push_back({"repair scan, 20 MB damaged file", "BM_repair_scan", "BM_repair_read",
                    "one sequential read", Sense::AtMost, 2.0,
                    "The walk reads the node area through a 1 MiB window and checks every "
                    "chunk of every card in memory; what remains is the per-record work of "
                    "checking some twenty chunk headers per card."});
    list.push_back({"repair, 20 MB damaged file", "BM_repair", "BM_repair_read",
                    "one sequential read", Sense::AtMost, std::nullopt, ""});
    return list;
}

std::string fixed(double v, int decimals) {
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "%.*f", decimals, v);
    return buffer;
}

std::string duration(double seconds) {
    if (seconds >= 1.0) return fixed(seconds, 2) + " s";
    if (seconds >= 1e-3) return fixed(seconds * 1e3, 2) + " ms";
    return fixed(seconds * 1e6, 1) + " µs";
}

std::string first_value(const std::string& file, const std::string& key) {
    std::ifstream in(file);
    std::string line;
    while (std::getline(in, line)) {
        if (line.rfind(key, 0) != 0) continue;
        const auto colon = line.find(':');
        if (colon == std::string::npos) continue;
        std::string value = line.substr(colon + 1);
        value.erase(0, value.find_first_not_of(" \t"));
        return value;
    }
    return "unknown";
}

std::string file_system_name(const std::filesystem::path& folder) {
    struct statfs info {};
    if (statfs(folder.c_str(), &info) != 0) return "unknown";
    switch (static_cast<unsigned long>(info.f_type)) {
        case 0xEF53:
            return "ext2/3/4";
        case 0x01021994:
            return "tmpfs";
        case 0x58465342:
            return "xfs";
        case 0x9123683E:
            return "btrfs";
        case 0x794C7630:
            return "overlayfs";
        default: {
            std::ostringstream s;
            s << "type 0x" << std::hex << static_cast<unsigned long>(info.f_type);
            return s.str();
        }
    }
}

std::string machine_description(const std::filesystem::path& temp_folder) {
    std::ostringstream s;
    struct utsname names {};
    uname(&names);
    std::string memory = first_value("/proc/meminfo", "MemTotal");
    if (memory != "unknown") {
        const double kib = std::stod(memory);
        memory = fixed(kib / (1024.0 * 1024.0), 1) + " GiB";
    }
    std::time_t now = std::time(nullptr);
    char date[32];
    std::strftime(date, sizeof date, "%Y-%m-%d %H:%M UTC", std::gmtime(&now));
    s << "| | |\n|---|---|\n";
    s << "| CPU | " << first_value("/proc/cpuinfo", "model name") << " |\n";
    s << "| Cores | " << std::thread::hardware_concurrency() << " |\n";
    s << "| Memory | " << memory << " |\n";
    s << "| Kernel | " << names.sysname << " " << names.release << " (" << names.machine << ") |\n";
    s << "| File system of the wallets | " << file_system_name(temp_folder) << " |\n";
    s << "| Compiler | " << __VERSION__ << " |\n";
#ifdef NDEBUG
    s << "| Build | optimised, assertions off |\n";
#else
    s << "| Build | assertions on (not a release build: numbers are not representative) |\n";
#endif
    s << "| Run | " << date << " |\n";
    return s.str();
}

}  // namespace

void CollectingReporter::ReportRuns(const std::vector<Run>& runs) {
    for (const Run& run : runs) {
        if (run.run_type != Run::RT_Iteration || run.error_occurred || run.iterations <= 0)
            continue;
        std::string key = run.run_name.function_name;
        if (!run.run_name.args.empty()) key += "/" + run.run_name.args;
        const double seconds = run.real_accumulated_time / static_cast<double>(run.iterations);
        auto [it, inserted] = best_.emplace(key, seconds);
        if (!inserted) it->second = std::min(it->second, seconds);
    }
    ConsoleReporter::ReportRuns(runs);
}

bool write_report(const std::map<std::string, double>& best, const MemoryReport& memory,
                  int repetitions, const std::filesystem::path& temp_folder,
                  const std::filesystem::path& doc, std::ostream& out) {
    std::ostringstream table;
    std::ostringstream missed;
    std::set<std::string> explained;  // one note for the sizes that miss for the same reason
    table << "| Operation | Measured | Floor | Floor time | Ratio | Target | Met |\n"
          << "|---|---:|---|---:|---:|---:|:---:|\n";
    out << "\nRatios (measured / floor; for the ciphers, speed relative to OpenSSL):\n";
    for (const Pair& p : pairs()) {
        const auto m = best.find(p.measured);
        const auto f = best.find(p.floor);
        if (m == best.end() || f == best.end() || m->second <= 0 || f->second <= 0) continue;
        const double ratio =
            p.sense == Sense::AtMost ? m->second / f->second : f->second / m->second;
        std::string target = "—";
        std::string met = "—";
        if (p.target) {
            const bool ok = p.sense == Sense::AtMost ? ratio <= *p.target : ratio >= *p.target;
            target = (p.sense == Sense::AtMost ? "≤ " : "≥ ") + fixed(*p.target, 1) + "×";
            met = ok ? "yes" : "**no**";
            if (!ok && !p.if_missed.empty() && explained.insert(p.if_missed).second)
                missed << "- **" << p.what << "**: " << p.if_missed << "\n";
        }
        table << "| " << p.what << " | " << duration(m->second) << " | " << p.floor_text << " | "
              << duration(f->second) << " | " << fixed(ratio, 2) << "× | " << target << " | " << met
              << " |\n";
        char line[256];
        std::snprintf(line, sizeof line, "  %-40s %8.2fx   target %s\n", p.what.c_str(), ratio,
                      target.c_str());
        out << line;
    }

    std::ostringstream mem;
    if (memory.loaded) {
        const double mib = 1024.0 * 1024.0;
        mem << "Loading the " << memory.cards << "-card wallet ("
            << fixed(static_cast<double>(memory.file_size) / mib, 1)
            << " MiB on disk) lists its nodes from their headers only; no card payload is held.\n\n"
            << "| | |\n|---|---|\n"
            << "| Nodes listed | " << memory.nodes << " |\n"
            << "| Size of one node | " << memory.node_size << " bytes |\n"
            << "| Node list (capacity × node size) | "
            << fixed(static_cast<double>(memory.list_bytes) / mib, 2) << " MiB |\n"
            << "| Custom icon images | " << memory.icon_bytes << " bytes |\n"
            << "| Growth of the process's "
            << (memory.peak_reset ? "peak resident size" : "resident size") << " | "
            << fixed(static_cast<double>(memory.peak_growth_kib) / 1024.0, 2) << " MiB |\n";
        out << "\nNode list of " << memory.nodes << " nodes: "
            << fixed(static_cast<double>(memory.list_bytes + memory.icon_bytes) / mib, 2)
            << " MiB; peak resident growth "
            << fixed(static_cast<double>(memory.peak_growth_kib) / 1024.0, 2) << " MiB\n";
    }

    std::ostringstream text;
    text << "# Performance\n\n"
         << "Written by `keystash_bench --ratios` (the `bench/` folder; built when Google "
            "Benchmark and OpenSSL are installed). Every operation runs beside the plain file or "
            "cipher work that bounds it from below, in the same run, on wallets generated at "
            "start: 1 000 and 10 000 cards of 20 fields in five folders. Times are the best of "
         << repetitions
         << " repetitions, wall clock, with the wallet in the page cache; fsync goes to the "
            "file system named below. OpenSSL serves only as the reference for the ciphers.\n\n"
         << "## Machine\n\n"
         << machine_description(temp_folder) << "\n## Ratios\n\n"
         << table.str() << "\n"
         << "Update and delete are journaled: the bytes after the change are first copied into "
            "the journal beside the wallet and synced, then moved into place and synced again, "
            "so about twice the floor is their natural cost.\n\n"
         << "The search floor schedules an RC4 key for every text; the wallet keeps its key's "
            "permutation prepared and copies it for each text instead, which is why the search "
            "can come in under its floor.\n\n"
         << "## Memory\n\n"
         << mem.str();
    if (!missed.str().empty()) text << "\n## Targets missed\n\n" << missed.str();

    std::error_code ec;
    std::filesystem::create_directories(doc.parent_path(), ec);
    std::ofstream file(doc, std::ios::trunc);
    file << text.str();
    file.close();
    if (!file) return false;
    out << "\nWritten to " << doc.string() << "\n";
    return true;
}

}  // namespace ks::bench
