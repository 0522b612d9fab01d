#!/usr/bin/env bash
# Installs what is missing; builds the whole test suite with AddressSanitizer and UndefinedBehaviorSanitizer
# (g++, build-asan/) and runs it; then builds the fuzz targets with clang (build-fuzz/) and runs them side by side
# for SOCIOS_FUZZ_SECONDS seconds each (default 180). A failed test, a sanitizer report (undefined behaviour
# aborts the program; a leak fails it at exit) or a fuzzer finding fails the script.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh

fuzz_seconds="${SOCIOS_FUZZ_SECONDS:-180}"
export UBSAN_OPTIONS=print_stacktrace=1

step_start=$SECONDS
step() {
    echo "== $* ($((SECONDS - step_start)) s so far)"
}

# Debug builds keep Q_ASSERT, Qt's inline range checks included, on.
sanitized=(-G Ninja -DCMAKE_BUILD_TYPE=Debug -DSOCIOS_SANITIZE=ON -DSOCIOS_BUILD_BENCHMARKS=OFF)

step "building the test suite with the sanitizers"
cmake -S . -B build-asan "${sanitized[@]}" -DCMAKE_CXX_COMPILER=g++
cmake --build build-asan
step "running the test suite with the sanitizers"
ctest --test-dir build-asan --output-on-failure --parallel "$(nproc)"

targets=()
for seeds in tests/fuzz/corpus/*/; do
    targets+=("$(basename "$seeds")")
done
step "building the fuzz targets: ${targets[*]}"
# -O1: fuzzing runs as many inputs as it can in its time.
cmake -S . -B build-fuzz "${sanitized[@]}" -DSOCIOS_FUZZ=ON -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_CXX_FLAGS_DEBUG="-g -O1"
cmake --build build-fuzz --target "${targets[@]}"

# The seeds in the repository stay as they are: what a run finds goes to build-fuzz/runs/<target>/found, next to
# the run's log and to the input that made the target fail, if one did.
step "fuzzing for ${fuzz_seconds} s"
pids=()
for target in "${targets[@]}"; do
    run="build-fuzz/runs/$target"
    rm -rf "$run"
    mkdir -p "$run/found"
    options=(-max_total_time="$fuzz_seconds" -timeout=10 -print_final_stats=1 -artifact_prefix="$run/")
    if [ -f "tests/fuzz/$target.dict" ]; then options+=(-dict="tests/fuzz/$target.dict"); fi
    "build-fuzz/tests/fuzz/$target" "${options[@]}" "$run/found" "tests/fuzz/corpus/$target" >"$run/log" 2>&1 &
    pids+=($!)
done

failed=0
for i in "${!targets[@]}"; do
    target="${targets[$i]}"
    log="build-fuzz/runs/$target/log"
    if wait "${pids[$i]}"; then
        echo "$target: $(awk '/^stat::number_of_executed_units/ { print $2 }' "$log") inputs, no finding"
    else
        failed=1
        echo "$target FAILED; the end of $log:"
        tail -n 40 "$log"
    fi
done
step "done"
exit "$failed"
