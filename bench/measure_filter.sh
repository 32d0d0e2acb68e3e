#!/usr/bin/env bash
# Times the -e filter on one 1 GiB text file, against tr doing the same substitution and against
# cat, and measures its peak memory.
#
#   cmake --workflow --preset release && bench/measure_filter.sh [program] [runs]
#
# The file is read once first, so that every run reads it from the page cache. Each run sends
# the output to /dev/null, and then through a pipe to cat; the three commands take turns, and the
# figures are the medians of `runs` (default 7) of each command's CPU time, user plus system, as
# ratios of the program's to tr's and to cat's. Then -o FILE against a redirection to FILE, both
# on tmpfs (/dev/shm), where fsync costs nothing, and with FILE removed before each run, so that
# neither pays for freeing the last run's output. Peak resident memory is measured for 1 MiB and
# 1 GiB of text, and for 1 GiB without a line feed. Last, -e -a ru on 1 GiB of Russian text (the
# Russian fortunes, over and over) in a pipe, against cat and against sed's y command in a UTF-8
# locale (GNU tr maps bytes, not characters); sed, at some 100 s a GiB, runs on the first 64 MiB,
# three times, and its time is scaled to the GiB. Needs bash, coreutils, sed, awk, GNU time
# (/usr/bin/time) and fortunes-ru; the files take 3 GiB in $TMPDIR, and 1 GiB more in /dev/shm.
set -euo pipefail
cd "$(dirname "$0")/.."

program=${1:-build/release/simple_encryption}
runs=${2:-7}
if [[ ! -x $program ]]; then
  echo "no program at $program: build it with cmake --workflow --preset release" >&2
  exit 1
fi
[[ -x /usr/bin/time ]] || { echo "missing /usr/bin/time (Debian package time)" >&2; exit 1; }
# Russian prose, as it comes, not one sentence over and over, whose pattern a processor learns.
mapfile -t russian_fortunes < <(find /usr/share/games/fortunes/ru -type f ! -name '*.dat' | sort)
((${#russian_fortunes[@]} > 0)) ||
  { echo "missing /usr/share/games/fortunes/ru (Debian package fortunes-ru)" >&2; exit 1; }

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
# head stops yes early on purpose, so these pipelines may end on SIGPIPE.
(set +o pipefail
 yes 'The quick brown fox jumps over the lazy dog; ZEBRA 0123456789! Hello World.' |
   head -c $((1 << 30)) >"$work/text"
 tr -d '\n' <"$work/text" >"$work/one-line"
 head -c $((1 << 20)) "$work/text" >"$work/small"
 for _ in $(seq 300); do cat "${russian_fortunes[@]}"; done | head -c $((1 << 30)) >"$work/russian"
 head -c $((1 << 26)) "$work/russian" >"$work/russian-64M"
 head -n 1000 "$work/russian" >"$work/small-russian")
cat "$work/text" >/dev/null

median() { sort -g | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }

# Appends the CPU seconds of the command, run on the text, to $work/NAME.
cpu() {
  local name=$1 sink=$2
  shift 2
  if [[ $sink == pipe ]]; then
    /usr/bin/time -f '%U %S' -o "$work/time" "$@" <"$work/text" | cat >/dev/null
  else
    /usr/bin/time -f '%U %S' -o "$work/time" "$@" <"$work/text" >/dev/null
  fi
  awk '{ print $1 + $2 }' "$work/time" >>"$work/$name.$sink"
}

for _ in $(seq "$runs"); do
  for sink in null pipe; do
    cpu program "$sink" "$program" -e
    cpu tr "$sink" tr 'A-Za-z' 'D-ZA-Cd-za-c'
    cpu cat "$sink" cat
  done
done

# Appends the CPU seconds of the program writing to /dev/shm, with -o or redirected, to $work/NAME.
to_file() {
  rm -f /dev/shm/simple_encryption-bench
  if [[ $1 == output ]]; then
    /usr/bin/time -f '%U %S' -o "$work/time" "$program" -e -o /dev/shm/simple_encryption-bench \
      "$work/text"
  else
    /usr/bin/time -f '%U %S' -o "$work/time" "$program" -e "$work/text" \
      >/dev/shm/simple_encryption-bench
  fi
  awk '{ print $1 + $2 }' "$work/time" >>"$work/$1"
}
for _ in $(seq "$runs"); do
  to_file output
  to_file redirected
done
rm -f /dev/shm/simple_encryption-bench

# The output must be tr's.
cmp <("$program" -e <"$work/small") <(tr 'A-Za-z' 'D-ZA-Cd-za-c' <"$work/small")

# Russian: the letters and what shift 3 makes of them, from the program itself, for sed's y.
letters=абвгдеёжзийклмнопрстуфхцчшщъыьэюяАБВГДЕЁЖЗИЙКЛМНОПРСТУФХЦЧШЩЪЫЬЭЮЯ
shifted=$(printf %s "$letters" | "$program" -e -a ru)
russian() {
  /usr/bin/time -f '%U %S' -o "$work/time" "${@:3}" <"$work/$2" | cat >/dev/null
  awk '{ print $1 + $2 }' "$work/time" >>"$work/$1.russian"
}
cat "$work/russian" >/dev/null
for run in $(seq "$runs"); do
  russian program russian "$program" -e -a ru
  russian cat russian cat
  ((run > 3)) || russian sed russian-64M env LC_ALL=C.UTF-8 sed "y/$letters/$shifted/"
done
# The output must be sed's.
cmp <("$program" -e -a ru <"$work/small-russian") \
    <(LC_ALL=C.UTF-8 sed "y/$letters/$shifted/" <"$work/small-russian")

peak() { /usr/bin/time -f '%M' -o "$work/rss" "$program" -e <"$1" >/dev/null; cat "$work/rss"; }

printf 'processor: %s\n' "$(awk -F': ' '/^model name/ { print $2; exit }' /proc/cpuinfo)"
printf 'medians of %d runs of each, CPU seconds (user + system), 1 GiB\n\n' "$runs"
printf '| output | program | tr | cat | program / tr | program / cat |\n|---|---:|---:|---:|---:|---:|\n'
for sink in null pipe; do
  p=$(median <"$work/program.$sink")
  t=$(median <"$work/tr.$sink")
  c=$(median <"$work/cat.$sink")
  awk -v s="$sink" -v p="$p" -v t="$t" -v c="$c" 'BEGIN {
    printf "| %s | %.3f | %.3f | %.3f | %.3f | %.2f |\n", (s == "null" ? "/dev/null" : "a pipe"), p, t, c, p / t, p / c }'
done
awk -v o="$(median <"$work/output")" -v r="$(median <"$work/redirected")" 'BEGIN {
  printf "\n-o FILE on tmpfs: %.3f s, against a redirection: %.3f s, %.2f times\n", o, r, o / r }'
awk -v p="$(median <"$work/program.russian")" -v c="$(median <"$work/cat.russian")" \
    -v s="$(median <"$work/sed.russian")" 'BEGIN {
  printf "\n-e -a ru, 1 GiB of Russian in a pipe: %.3f s, cat %.3f s, sed y %.1f s (64 MiB: %.3f s);", p, c, 16 * s, s
  printf " program / cat %.2f, sed / program %.1f\n", p / c, 16 * s / p }'
printf '\npeak resident memory, KiB: 1 MiB %s; 1 GiB %s; 1 GiB without a line feed %s\n' \
  "$(peak "$work/small")" "$(peak "$work/text")" "$(peak "$work/one-line")"
