#!/usr/bin/env bash
# Builds every fuzz target with clang++ and libFuzzer (ASan and UBSan over the
# whole build) in build/fuzz and runs each for FUZZ_SECONDS (default 60) on a
# working copy of its seed corpus.
#
# Targets are the executables fuzz_<name> that tests/fuzz/CMakeLists.txt
# declares; seeds come from tests/fuzz/corpus/<name>/ and are copied into
# build/fuzz/corpus/<name>/, where the inputs libFuzzer finds accumulate from
# run to run (the seeds in the repository are never touched). Crashes, leaks
# and timeouts are saved under build/fuzz/artifacts/<name>/.
#
# Environment: FUZZ_SECONDS (per target), FUZZ_MAX_LEN (largest input,
# default 16384 bytes), FUZZ_TARGETS (names to run, default all),
# FUZZ_ARGS (extra libFuzzer flags), JOBS (build parallelism).
set -euo pipefail

cd "$(dirname "$0")/.."
ROOT=$(pwd)
BUILD="$ROOT/build/fuzz"
BIN="$BUILD/bin"
SECONDS_EACH=${FUZZ_SECONDS:-60}
MAX_LEN=${FUZZ_MAX_LEN:-16384}
JOBS=${JOBS:-$(nproc)}

CXX=$(command -v clang++ || true)
if [ -z "$CXX" ]; then
    echo "fuzz.sh: clang++ not found (make deps installs it)" >&2
    exit 1
fi

GEN=()
if command -v ninja >/dev/null 2>&1; then GEN=(-G Ninja); fi
LAUNCHER=()
if command -v ccache >/dev/null 2>&1; then LAUNCHER=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache); fi

# Every library gets coverage instrumentation and the sanitizers
# (fuzzer-no-link); only the fuzz targets link libFuzzer itself. Other
# executables of the tree link the sanitizer runtimes through the linker
# flags. -O1 keeps the fuzzers fast and the asserts on.
SAN="-fsanitize=fuzzer-no-link,address,undefined -fno-sanitize-recover=undefined"
cmake -S "$ROOT" -B "$BUILD" "${GEN[@]}" "${LAUNCHER[@]}" \
    -DCMAKE_CXX_COMPILER="$CXX" \
    -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DCMAKE_CXX_FLAGS_RELWITHDEBINFO="-O1 -g" \
    -DCMAKE_CXX_FLAGS="$SAN -fno-omit-frame-pointer" \
    -DCMAKE_EXE_LINKER_FLAGS="-fsanitize=address,undefined" \
    -DQUELMIR_SANITIZE=OFF \
    -DQUELMIR_FUZZ=ON \
    -DQUELMIR_TESTS=ON \
    -DQUELMIR_BENCH=OFF \
    -DQUELMIR_BIN_DIR="$BIN" >/dev/null
cmake --build "$BUILD" --target quelmir_fuzz -j "$JOBS"

if [ -n "${FUZZ_TARGETS:-}" ]; then
    read -r -a names <<<"$FUZZ_TARGETS"
else
    names=()
    for exe in "$BIN"/fuzz_*; do
        [ -x "$exe" ] && names+=("$(basename "$exe" | sed 's/^fuzz_//')")
    done
fi
if [ ${#names[@]} -eq 0 ]; then
    echo "fuzz.sh: no fuzz targets were built" >&2
    exit 1
fi

read -r -a extra <<<"${FUZZ_ARGS:-}"
failed=()
for name in "${names[@]}"; do
    exe="$BIN/fuzz_$name"
    seeds="$ROOT/tests/fuzz/corpus/$name"
    work="$BUILD/corpus/$name"
    artifacts="$BUILD/artifacts/$name"
    mkdir -p "$work" "$artifacts"
    if [ -d "$seeds" ]; then cp -f "$seeds"/* "$work"/ 2>/dev/null || true; fi
    dict=()
    if [ -f "$ROOT/tests/fuzz/$name.dict" ]; then dict=(-dict="$ROOT/tests/fuzz/$name.dict"); fi

    echo "== fuzz_$name: ${SECONDS_EACH}s on $work"
    if "$exe" "$work" "${dict[@]}" "${extra[@]}" \
        -max_total_time="$SECONDS_EACH" \
        -max_len="$MAX_LEN" \
        -timeout=10 \
        -rss_limit_mb=2048 \
        -print_final_stats=1 \
        -artifact_prefix="$artifacts/"; then
        echo "== fuzz_$name: no failure"
    else
        echo "== fuzz_$name: FAILED, see $artifacts/" >&2
        failed+=("$name")
    fi
done

if [ ${#failed[@]} -gt 0 ]; then
    echo "fuzz.sh: failures in: ${failed[*]}" >&2
    exit 1
fi
echo "fuzz.sh: all targets ran ${SECONDS_EACH}s without failure"
