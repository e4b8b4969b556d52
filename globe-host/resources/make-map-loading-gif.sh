#!/usr/bin/env bash
# Draws the host's loading animation: a ring of twelve dots on a dark ground
# in which a bright dot runs round, one step per frame. Needs ImageMagick.
# Usage: make-map-loading-gif.sh [output.gif]
set -euo pipefail
out="${1:-$(dirname "$0")/MapLoading.gif}"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT

width=320 height=200 cx=160 cy=100 radius=48 dot=8 steps=12
for ((frame = 0; frame < steps; frame++)); do
    draw=()
    for ((i = 0; i < steps; i++)); do
        read -r x y < <(awk -v i="$i" -v n="$steps" -v cx="$cx" -v cy="$cy" -v r="$radius" \
            'BEGIN { a = 2 * 3.14159265 * i / n; printf "%d %d\n", cx + r * sin(a), cy - r * cos(a) }')
        if ((i == frame)); then colour="#ffb000"; else colour="#3c5a78"; fi
        draw+=(-fill "$colour" -draw "circle $x,$y $((x + dot)),$y")
    done
    convert -size "${width}x${height}" "xc:#1b2838" "${draw[@]}" \
        "$work/frame$(printf %02d "$frame").png"
done
convert -delay 8 -loop 0 "$work"/frame*.png -layers Optimize "$out"
