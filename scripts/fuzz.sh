#!/usr/bin/env bash
# Builds the fuzz targets with clang, writes their seed corpora and runs every target, FUZZ_JOBS
# (default 2) at a time.
# Usage: scripts/fuzz.sh [SECONDS]   (per target; default 30)
# FUZZ_RUNS=N runs each target for N executions instead of a time; FUZZ_TARGETS="a b" picks targets.
# Exits non-zero when any target finds a crash, a timeout or runs out of memory.
set -uo pipefail
cd "$(dirname "$0")/.."

seconds=${1:-30}
if ! [[ "$seconds" =~ ^[0-9]+$ ]] || [ "$seconds" -lt 1 ]; then
    echo "usage: scripts/fuzz.sh [SECONDS]" >&2
    exit 2
fi
build=${FUZZ_BUILD_DIR:-build-fuzz}
jobs=${FUZZ_JOBS:-2}

# clang with the libFuzzer runtime: a trivial target must link.
have_fuzzer() {
    command -v clang++ >/dev/null 2>&1 || return 1
    local probe
    probe=$(mktemp -d) || return 1
    printf 'extern "C" int LLVMFuzzerTestOneInput(const unsigned char*, unsigned long) { return 0; }\n' \
        >"$probe/probe.cpp"
    clang++ -fsanitize=fuzzer,address,undefined "$probe/probe.cpp" -o "$probe/probe" \
        >/dev/null 2>&1
    local rc=$?
    rm -rf "$probe"
    return $rc
}
if ! have_fuzzer; then
    echo "Installing clang and the fuzzer runtime" >&2
    sudo=""
    [ "$(id -u)" -ne 0 ] && sudo="sudo"
    $sudo apt-get update -qq || exit 1
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq clang libclang-rt-14-dev llvm ||
        exit 1
    have_fuzzer || { echo "clang cannot link a fuzz target" >&2; exit 1; }
fi
bash scripts/deps.sh || exit 1

# Until the top-level list includes fuzz/fuzzing.cmake, it is brought in after project().
extra=()
grep -q 'fuzz/fuzzing.cmake' CMakeLists.txt ||
    extra=(-DCMAKE_PROJECT_keystash_INCLUDE="$PWD/fuzz/fuzzing.cmake")
CC=clang CXX=clang++ cmake -S . -B "$build" -G Ninja -DKEYSTASH_FUZZ=ON \
    -DKEYSTASH_BUILD_TESTS=OFF "${extra[@]}" >/dev/null || exit 1
ninja -C "$build" -j "$jobs" fuzz_all || exit 1

targets=(fuzz_wallet_load fuzz_card_payload fuzz_wallet_repair fuzz_form_file fuzz_custom_forms
         fuzz_legacy_wallet fuzz_tab_import fuzz_icon fuzz_wave_data fuzz_registry
         fuzz_string_table)
if [ -n "${FUZZ_TARGETS:-}" ]; then
    read -r -a targets <<<"$FUZZ_TARGETS"
fi
limit=(-max_total_time="$seconds")
if [ -n "${FUZZ_RUNS:-}" ]; then
    [[ "$FUZZ_RUNS" =~ ^[0-9]+$ ]] || { echo "FUZZ_RUNS must be a number" >&2; exit 2; }
    limit=(-runs="$FUZZ_RUNS")
fi
seeds="$build/fuzz-seeds"
corpus="$build/fuzz-corpus"
crashes="$build/fuzz-crashes"
logs="$build/fuzz-logs"
rm -rf "$seeds"
mkdir -p "$seeds" "$corpus" "$crashes" "$logs"
"$build/fuzz/make_corpus" "$seeds" || exit 1

# One target's run; its exit code and duration go next to its log.
run_target() {
    local t=$1 started=$SECONDS
    mkdir -p "$corpus/$t" "$seeds/$t"
    echo "== $t (${limit[0]#-})" >&2
    # New inputs go to the first folder, which is kept between runs; the seeds are read only.
    "$build/fuzz/$t" "$corpus/$t" "$seeds/$t" "${limit[@]}" -timeout=10 \
        -seed="${FUZZ_SEED:-1}" \
        -rss_limit_mb=2048 -artifact_prefix="$crashes/$t-" -print_final_stats=1 \
        >"$logs/$t.log" 2>&1
    echo $? >"$logs/$t.rc"
    echo $((SECONDS - started)) >"$logs/$t.seconds"
}

# The targets run side by side, FUZZ_JOBS at a time: each is single-threaded.
running=0
for t in "${targets[@]}"; do
    run_target "$t" &
    running=$((running + 1))
    if [ "$running" -ge "$jobs" ]; then
        wait -n
        running=$((running - 1))
    fi
done
wait

failed=0
summary=()
for t in "${targets[@]}"; do
    rc=$(cat "$logs/$t.rc" 2>/dev/null || echo 1)
    execs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$logs/$t.log" | tail -n 1)
    files=$(find "$corpus/$t" -type f | wc -l)
    bytes=$(du -sk "$corpus/$t" | cut -f1)
    if [ "$rc" -eq 0 ]; then
        state="ok"
    else
        state="FAILED (exit $rc; see $logs/$t.log and $crashes/$t-*)"
        failed=1
    fi
    summary+=("$(printf '%-20s %12s executions in %6s s  corpus %6s inputs (%s KiB)  %s' \
        "$t" "${execs:-?}" "$(cat "$logs/$t.seconds" 2>/dev/null || echo ?)" "$files" "$bytes" \
        "$state")")
done

printf '%s\n' "${summary[@]}"
exit $failed
