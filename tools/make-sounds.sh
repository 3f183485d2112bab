#!/usr/bin/env bash
# Makes the short cue sounds shipped in resources/Sounds. They are synthesised with sox so
# that every byte of them is ours; run again only when a cue should change.
set -euo pipefail
out=${1:-"$(dirname "$0")/../resources/Sounds"}
mkdir -p "$out"
opts=(-r 22050 -c 1 -b 16)
# Refresh done: a soft low thump.
sox -n "${opts[@]}" "$out/Funk.aiff" synth 0.18 sine 220:110 fade q 0.005 0.18 0.12 vol 0.6
# Port opened: two rising chimes.
sox -n "${opts[@]}" "$out/Seatbelts.aiff" synth 0.12 sine 880 fade q 0.005 0.12 0.06 pad 0 0.04 : \
    synth 0.2 sine 1175 fade q 0.005 0.2 0.15 vol 0.6
# Port closed: a hollow pop.
sox -n "${opts[@]}" "$out/Bottle.aiff" synth 0.15 sine 600:300 fade q 0.002 0.15 0.1 vol 0.7
# Port error: a rough croak.
sox -n "${opts[@]}" "$out/Frog.aiff" synth 0.25 square 140 tremolo 30 90 fade q 0.005 0.25 0.1 vol 0.4
