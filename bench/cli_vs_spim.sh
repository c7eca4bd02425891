#!/bin/bash
# Whole-process time of `tandrel-cli run --until-done` on a 10,000-round loop
# against Debian's spim running the same loop, on each layout. The two run
# alternately, several rounds, and the script prints the median of each and
# their ratio.
#
#   bench/cli_vs_spim.sh [PATH/TO/tandrel-cli] [ROUNDS]
#
# The default tandrel-cli is the one of the release build tree the project's
# scripts use; spim is installed if missing.
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)
cli=${1:-}
rounds=${2:-11}
if [ -z "$cli" ]; then
    source "$here/../scripts/deps.sh"
    cli="$(tandrel_build_root)/release/cli/tandrel-cli"
fi
[ -x "$cli" ] || { echo "no tandrel-cli at $cli" >&2; exit 1; }
if ! command -v spim > /dev/null; then
    apt-get update && DEBIAN_FRONTEND=noninteractive apt-get install -y spim
fi

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# The loop: count $1 down from 10,000 while $2 grows by 3, the branch slots
# padded with NOPs for the pipelines, then straight-line code filling the
# 128 instructions. The spim copy uses $8/$9 (spim keeps $1 for itself) and
# ends with the exit call.
iterations=10000
{
    echo "ADDI \$1, \$0, $iterations"
    printf 'NOP\nNOP\nBEQ $1, $0, 5\nNOP\nADDI $1, $1, -1\nADDI $2, $2, 3\nBEQ $0, $0, -5\nNOP\n'
    for i in $(seq 9 127); do r=$((3 + i % 20)); echo "ADDI \$$r, \$$r, $i"; done
    echo "Data:"
} > "$work/loop.def"
{
    printf '        .text\nmain:\n'
    echo "        addi \$8, \$0, $iterations"
    printf '        nop\n        nop\ntop:    beq $8, $0, out\n        nop\n'
    printf '        addi $8, $8, -1\n        addi $9, $9, 3\n        beq $0, $0, top\n        nop\nout:\n'
    for i in $(seq 9 127); do r=$((10 + i % 14)); echo "        addi \$$r, \$$r, $i"; done
    printf '        li $v0, 10\n        syscall\n'
} > "$work/loop.s"

# Both must really run the loop.
"$cli" run "$work/loop.def" --until-done --layout simple | grep -q "^\$2 30000$" || {
    echo "tandrel-cli did not finish the loop:" >&2
    "$cli" run "$work/loop.def" --until-done --layout simple | head -5 >&2
    exit 1
}
spim -file "$work/loop.s" > /dev/null

now() { date +%s%N; }
median() { sort -n | awk '{v[NR]=$1} END {print v[int((NR+1)/2)]}'; }

printf '%-11s %12s %12s %7s\n' layout "tandrel ms" "spim ms" ratio
for layout in simple pipelined forwarding; do
    : > "$work/t" && : > "$work/s"
    for _ in $(seq "$rounds"); do
        t0=$(now); "$cli" run "$work/loop.def" --until-done --layout "$layout" > /dev/null; t1=$(now)
        spim -file "$work/loop.s" > /dev/null; t2=$(now)
        echo $(((t1 - t0) / 1000)) >> "$work/t"
        echo $(((t2 - t1) / 1000)) >> "$work/s"
    done
    t=$(median < "$work/t")
    s=$(median < "$work/s")
    awk -v l="$layout" -v t="$t" -v s="$s" \
        'BEGIN {printf "%-11s %12.1f %12.1f %7.2f\n", l, t / 1000, s / 1000, t / s}'
done
