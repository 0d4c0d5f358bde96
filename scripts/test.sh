#!/usr/bin/env bash
# Installs what is missing, configures, builds and runs every test: the unit tests built with
# AddressSanitizer and UndefinedBehaviorSanitizer, a short run of every fuzz target (clang,
# sanitizers; FUZZ_SECONDS per target, 0 leaves it out), then the unit tests of the normal build.
# SANITIZE=0 leaves the sanitizer build out.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/deps.sh
bash scripts/locales.sh
export KEYSTASH_REQUIRE_LOCALES=1

build=${BUILD_DIR:-build}
werror=OFF
[ -n "${CI:-}" ] && werror=ON
launcher=()
command -v ccache >/dev/null 2>&1 && launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
jobs=$(nproc)

if [ "${SANITIZE:-1}" != 0 ]; then
    asan_build=${ASAN_BUILD_DIR:-build-asan}
    cmake -S . -B "$asan_build" -G Ninja -DKEYSTASH_WERROR="$werror" -DKEYSTASH_SANITIZE=ON \
        -DKEYSTASH_BUILD_BENCH=OFF "${launcher[@]}"
    cmake --build "$asan_build"
    ASAN_OPTIONS=detect_leaks=1:abort_on_error=0:strict_string_checks=1 \
        UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
        ctest --test-dir "$asan_build" --output-on-failure -j "$jobs"
fi

# CI builds without debug information (nobody debugs there), at the usual -O2.
build_type=()
[ -n "${CI:-}" ] && build_type=(-DCMAKE_CXX_FLAGS_RELWITHDEBINFO="-O2 -DNDEBUG")
cmake -S . -B "$build" -G Ninja -DKEYSTASH_WERROR="$werror" "${build_type[@]}" "${launcher[@]}"
cmake --build "$build"

fuzz_seconds=${FUZZ_SECONDS:-30}
if [ "$fuzz_seconds" != 0 ]; then
    bash scripts/fuzz.sh "$fuzz_seconds"
fi

ctest --test-dir "$build" --output-on-failure -j "$jobs"
