#!/usr/bin/env bash
# Starts the application under Xvfb and saves a PNG of its screen to OUT.png.
#   tools/screenshot.sh OUT.png            the real application, as an operator starts it
#   tools/screenshot.sh OUT.png --filled   the window with its lists and panel served from
#                                          loopback (captured replies), on tab N with --tab N,
#                                          in a dark desktop theme with --dark
set -euo pipefail
out=${1:?usage: tools/screenshot.sh OUT.png [--filled [--tab N]]}
shift
cd "$(dirname "$0")/.."
build=${BANDHOPPER_BUILD_DIR:-build}
for tool in xvfb-run import; do
    command -v "$tool" >/dev/null || { echo "needs xvfb and imagemagick (apt-get install xvfb xauth imagemagick)" >&2; exit 1; }
done

program=("$build/src/app/bandhopper")
target=bandhopper
if [ "${1:-}" = --filled ]; then
    shift
    program=("$build/tests/harness/bandhopper_harness" "$@")
    target=bandhopper_harness
fi
[ -x "${program[0]}" ] || cmake --build "$build" --target "$target" bandhopper_sounds

out=$(realpath -m "$out")
xvfb-run -a -s "-screen 0 1280x800x24" bash -c '
    "$@" >/dev/null 2>&1 &
    app=$!
    sleep 5
    import -window root "'"$out"'"
    kill $app 2>/dev/null || true
' _ "${program[@]}"
echo "saved $out"
