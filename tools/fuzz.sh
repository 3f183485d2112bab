#!/usr/bin/env bash
# Coverage-guided fuzzing of the parsers that read outside input.
#
#   tools/fuzz.sh [SECONDS] [TARGET...]
#
# Builds the libFuzzer targets of tests/fuzz in build-fuzz (clang, AddressSanitizer and
# UndefinedBehaviorSanitizer), runs each target for SECONDS (default 600) from its corpus in
# tests/fuzz/corpus/TARGET, merges what reached new code back into it (keeping it minimal), and
# prints executions and coverage per target. Crashing inputs are left in build-fuzz/crashes/; the
# exit status is non-zero when any target crashed, leaked, hung or ran out of memory.
set -euo pipefail
cd "$(dirname "$0")/.."

seconds=${1:-600}
shift || true
if ! [[ "$seconds" =~ ^[0-9]+$ ]] || [ "$seconds" -eq 0 ]; then
    echo "usage: $0 [SECONDS] [TARGET...]" >&2
    exit 2
fi
all_targets=(feeds replies tune service adif)
if [ $# -gt 0 ]; then targets=("$@"); else targets=("${all_targets[@]}"); fi

missing=()
for p in clang libclang-rt-14-dev; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if ((${#missing[@]})); then
    if [ "$(id -u)" -ne 0 ]; then
        echo "Missing Debian packages: ${missing[*]}; install them or run this as root." >&2
        exit 1
    fi
    apt-get update
    DEBIAN_FRONTEND=noninteractive apt-get install -y --no-install-recommends "${missing[@]}"
fi

build=build-fuzz
# Debug keeps Qt's own assertions (container bounds) live; -O1 keeps the fuzzers fast enough.
sanitizers="-fsanitize=fuzzer-no-link,address,undefined -fno-sanitize-recover=undefined"
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Debug \
    -DCMAKE_CXX_COMPILER=clang++ \
    -DCMAKE_CXX_FLAGS="-O1 -fno-omit-frame-pointer $sanitizers" \
    -DBANDHOPPER_FUZZ=ON -DBANDHOPPER_BUILD_APP=OFF -DBANDHOPPER_BUILD_BENCH=OFF >/dev/null
fuzzers=()
for t in "${targets[@]}"; do fuzzers+=("fuzz_$t"); done
cmake --build "$build" --target "${fuzzers[@]}" -j "$(nproc)"

crashes="$build/crashes"
logs="$build/logs"
mkdir -p "$crashes" "$logs"
export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1:abort_on_error=1}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-halt_on_error=1:print_stacktrace=1}
export QT_QPA_PLATFORM=offscreen

summary=()
failed=0
for t in "${targets[@]}"; do
    kept="tests/fuzz/corpus/$t"
    mkdir -p "$kept"
    work=$(mktemp -d)
    log="$logs/$t.log"
    echo "== $t: ${seconds}s"
    # New inputs go to the scratch directory (the first one); the kept corpus is only read.
    status=0
    "$build/tests/fuzz/fuzz_$t" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 \
        -print_final_stats=1 -artifact_prefix="$crashes/$t-" "$work" "$kept" >"$log" 2>&1 ||
        status=$?
    # The kept corpus is rebuilt as the smallest set of inputs that covers everything the old
    # one and this run reached. Named files (seeds from real replies, crash reproducers) always
    # stay; libFuzzer names its own by their SHA-1.
    before=$(find "$kept" -type f | wc -l)
    merged=$(mktemp -d)
    if "$build/tests/fuzz/fuzz_$t" -merge=1 "$merged" "$kept" "$work" >"$logs/$t.merge.log" 2>&1; then
        for f in "$kept"/*; do
            [ -f "$f" ] || continue
            name=$(basename "$f")
            if [[ "$name" =~ ^[0-9a-f]{40}$ ]]; then
                rm -f "$f"
            else
                rm -f "$merged/$(sha1sum <"$f" | cut -d' ' -f1)"
            fi
        done
        cp "$merged"/* "$kept"/ 2>/dev/null || true
    fi
    after=$(find "$kept" -type f | wc -l)
    rm -rf "$work" "$merged"

    execs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -1)
    last=$(grep -E '^#[0-9]+.*cov: [0-9]+' "$log" | tail -1 || true)
    cov=$(sed -n 's/.*cov: \([0-9]*\).*/\1/p' <<<"$last")
    ft=$(sed -n 's/.* ft: \([0-9]*\).*/\1/p' <<<"$last")
    [ -n "$execs" ] || execs=$(sed -n 's/^#\([0-9]*\).*/\1/p' <<<"$last")
    result=ok
    if [ "$status" -ne 0 ]; then
        result="FAILED (exit $status, see $log)"
        failed=1
        grep -E '^(==[0-9]+==ERROR|SUMMARY|invariant broken|  )' "$log" | head -20 || true
    fi
    summary+=("$(printf '%-15s execs %-10s cov %-6s ft %-7s corpus %s -> %s  %s' \
        "$t" "${execs:-?}" "${cov:-?}" "${ft:-?}" "$before" "$after" "$result")")
done

echo
printf '%s\n' "${summary[@]}"
if [ "$failed" -ne 0 ]; then
    echo "Crashing inputs: $crashes" >&2
    exit 1
fi
