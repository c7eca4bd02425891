#!/bin/bash
# Tandrel's start-up against a bare wxWidgets window with an OpenGL canvas
# (bench/BareGlWindow.cpp): each program runs from launch to its first drawn
# picture, says when that picture was on screen, and exits. The two run in
# pairs, alternating which goes first, several rounds, and the script prints
# for each the median time from launch to the first picture, the median time
# to the end of the process (which adds the toolkit's events that were
# already queued and the clean-up of every window), processor time and
# maximum resident memory, and their ratios.
#
#   bench/startup.sh [BUILD_DIR] [ROUNDS]
#
# BUILD_DIR defaults to the release build tree the project's scripts use;
# both programs are built there first. ROUNDS defaults to 10. Without a
# DISPLAY the script runs itself under xvfb-run.
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)
build=${1:-}
rounds=${2:-10}
if [ -z "$build" ]; then
    source "$here/../scripts/deps.sh"
    build="$(tandrel_build_root)/release"
fi
if [ -z "${DISPLAY:-}" ]; then
    exec xvfb-run -a -s '-screen 0 1600x1200x24' "$0" "$build" "$rounds"
fi

cmake --build "$build" --target tandrel bare_gl_window > /dev/null
tandrel="$build/app/tandrel"
bare="$build/bench/bare_gl_window"

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
# Tandrel keeps its settings in the working directory; the first run below
# writes them, as a user's first start does, so every measured run reads them.
cd "$work"
export TANDREL_EXIT_AFTER_FIRST_FRAME=1

now() { date +%s%N; }
median() { sort -n | awk '{v[NR]=$1} END {print v[int((NR+1)/2)]}'; }

# One run: appends the time to its first picture and its whole wall time
# (µs), processor time (user and system, ms) and maximum resident set (KiB).
run() {
    local name=$1 program=$2 t0 t1 frame
    t0=$(now)
    timeout 60 /usr/bin/time -f '%M %U %S' -o "$work/usage" "$program" > "$work/said" 2> /dev/null || {
        echo "$program did not draw its first picture and exit" >&2
        exit 1
    }
    t1=$(now)
    frame=$(awk '/^first frame / {print $3; exit}' "$work/said")
    if [ -z "$frame" ]; then
        echo "$program did not say when its first picture was drawn" >&2
        exit 1
    fi
    echo $(((frame - t0) / 1000)) >> "$work/$name.frame"
    echo $(((t1 - t0) / 1000)) >> "$work/$name.time"
    tail -1 "$work/usage" | awk '{print $1}' >> "$work/$name.rss"
    tail -1 "$work/usage" | awk '{printf "%d\n", ($2 + $3) * 1000}' >> "$work/$name.cpu"
}

# Warm-up, not counted: libraries into the page cache, settings written.
run tandrel "$tandrel" && run bare "$bare"
rm -f "$work"/*.frame "$work"/*.time "$work"/*.rss "$work"/*.cpu

for round in $(seq "$rounds"); do
    if [ $((round % 2)) -eq 1 ]; then
        run tandrel "$tandrel" && run bare "$bare"
    else
        run bare "$bare" && run tandrel "$tandrel"
    fi
done

tf=$(median < "$work/tandrel.frame")
bf=$(median < "$work/bare.frame")
tt=$(median < "$work/tandrel.time")
bt=$(median < "$work/bare.time")
tc=$(median < "$work/tandrel.cpu")
bc=$(median < "$work/bare.cpu")
tr=$(median < "$work/tandrel.rss")
br=$(median < "$work/bare.rss")
# Wall times on a shared machine mean little without the load they met.
echo "$rounds paired rounds, medians (load average $(cut -d' ' -f1-3 /proc/loadavg)):"
printf '%-10s %12s %10s %10s %10s\n' program "1st frame ms" "wall ms" "cpu ms" "RSS MiB"
awk -v f="$tf" -v t="$tt" -v c="$tc" -v r="$tr" \
    'BEGIN {printf "%-10s %12.1f %10.1f %10d %10.1f\n", "tandrel", f / 1000, t / 1000, c, r / 1024}'
awk -v f="$bf" -v t="$bt" -v c="$bc" -v r="$br" \
    'BEGIN {printf "%-10s %12.1f %10.1f %10d %10.1f\n", "bare", f / 1000, t / 1000, c, r / 1024}'
awk -v g="$tf" -v h="$bf" -v a="$tt" -v b="$bt" -v c="$tc" -v d="$bc" -v e="$tr" -v f="$br" \
    'BEGIN {printf "%-10s %12.2f %10.2f %10.2f %10.2f\n", "ratio", g / h, a / b, c / d, e / f}'
