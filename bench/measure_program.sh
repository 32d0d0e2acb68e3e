#!/usr/bin/env bash
# Measures the release executable end to end, the way it is used: generated input piped in.
#
#   cmake --workflow --preset release && bench/measure_program.sh [program] [runs]
#
# Reports, as medians of the runs: lines per second for 200,000 lines of 60 bytes; write system
# calls per input line (each line costs four written lines and one prompt, each flushed); peak
# resident memory for one 64 MiB line as a multiple of the line, with a check that the output
# is right; and the time for that line against tr doing the same substitution.
# Needs bash, coreutils, awk, strace and GNU time (/usr/bin/time).
set -euo pipefail
cd "$(dirname "$0")/.."

program=${1:-build/release/simple_encryption}
runs=${2:-5}
if [[ ! -x $program ]]; then
  echo "no program at $program: build it with cmake --workflow --preset release" >&2
  exit 1
fi
for tool in strace /usr/bin/time awk tr; do
  command -v "$tool" >/dev/null || { echo "missing $tool (Debian packages strace, time)" >&2; exit 1; }
done

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

median() { sort -g | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }

# Seconds taken by the command, to the nanosecond.
seconds() {
  local start end
  start=$(date +%s%N)
  "$@"
  end=$(date +%s%N)
  awk -v ns=$((end - start)) 'BEGIN { printf "%.6f\n", ns / 1e9 }'
}

# ---- Many short lines ---------------------------------------------------------------------------
lines=200000
awk -v n=$lines 'BEGIN {
  text = "The quick brown fox jumps over the lazy dog; ZEBRA 0123456789!"  # 60 bytes
  for (i = 0; i < n; i++) print substr(text text, i % 60 + 1, 60)
  print "quit"
}' >"$work/lines"

run_lines() { "$program" <"$work/lines" | cat >/dev/null; }
for _ in $(seq "$runs"); do seconds run_lines; done >"$work/lines.times"
lines_time=$(median <"$work/lines.times")

# Writes per line: the difference from a run with no input lines, divided by the lines.
count_writes() {
  strace -o "$work/strace" -e trace=write "$program" <"$1" | cat >/dev/null
  grep -c '^write(' "$work/strace"
}
: >"$work/empty"
writes_fixed=$(count_writes "$work/empty")
writes_total=$(count_writes "$work/lines")

# ---- One 64 MiB line ----------------------------------------------------------------------------
size=$((64 << 20))
# head stops yes early on purpose, so this one pipeline may end on SIGPIPE.
(set +o pipefail; yes 'Hello World! This is a test message. Zebra-123 xyz.' | tr -d '\n' |
  head -c $size) >"$work/line"
{ cat "$work/line"; printf '\nquit\n'; } >"$work/big"

for _ in $(seq "$runs"); do
  /usr/bin/time -f '%M' -o "$work/rss" "$program" <"$work/big" >"$work/big.out"
  cat "$work/rss"
done >"$work/rss.all"
rss_kib=$(median <"$work/rss.all")

prompt="Enter text to encrypt (or 'quit' to exit): "
{
  printf '%s\n' "=== Simple Encryption Demo ===" "Shift Value: 3" \
    "Original:  Hello World! This is a test message." \
    "Encrypted: Khoor Zruog! Wklv lv d whvw phvvdjh." \
    "Decrypted: Hello World! This is a test message." "Match: YES" \
    "==============================" "" "Interactive Mode:"
  printf '%sOriginal:  ' "$prompt"
  cat "$work/line"
  printf '\nEncrypted: '
  tr 'A-Za-z' 'D-ZA-Cd-za-c' <"$work/line"
  printf '\nDecrypted: '
  cat "$work/line"
  printf '\n\n%sGoodbye!\n' "$prompt"
} >"$work/expected"
if cmp -s "$work/expected" "$work/big.out"; then output_check="right"; else output_check="WRONG"; fi

run_big() { "$program" <"$work/big" >/dev/null; }
run_tr() { tr 'A-Za-z' 'D-ZA-Cd-za-c' <"$work/big" >/dev/null; }
for _ in $(seq "$runs"); do
  seconds run_big >>"$work/big.times"
  seconds run_tr >>"$work/tr.times"
done
big_time=$(median <"$work/big.times")
tr_time=$(median <"$work/tr.times")

awk -v lines=$lines -v t="$lines_time" -v wf="$writes_fixed" -v wt="$writes_total" \
    -v rss="$rss_kib" -v size=$size -v check="$output_check" -v big="$big_time" -v tr="$tr_time" \
    -v runs="$runs" 'BEGIN {
  printf "medians of %d runs\n", runs
  printf "200,000 lines of 60 bytes:   %.3f s, %.0f lines/s\n", t, lines / t
  printf "write calls per input line:  %.3f (%d in all, %d with no input)\n", (wt - wf) / lines, wt, wf
  printf "one 64 MiB line, peak RSS:   %.0f MiB, %.2f x the line; output %s\n", rss / 1024, rss * 1024 / size, check
  printf "one 64 MiB line, time:       %.3f s; tr %.3f s; ratio %.2f\n", big, tr, big / tr
}'
[[ $output_check == right ]]
