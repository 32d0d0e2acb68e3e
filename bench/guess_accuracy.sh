#!/usr/bin/env bash
# Measures the guess on text it has never seen: how often it finds the shift of English, how well
# its probabilities are calibrated, when it notes that it is unsure, and what it refuses.
#
#   cmake --workflow --preset release && bench/guess_accuracy.sh [program] [samples]
#
# Cuts `samples` pieces (default 2000) of each kind from random places in held-out text: English
# from the bash manual page, and German, French, Spanish and Italian from the manual pages in
# sections 5 and 8 of Debian's manpages-de, -fr, -es and -it (a language whose pages are missing
# is left out). None of it is in the licence texts the letter-pair weights were counted from, nor
# in the text the probability scale and the refusal line were fitted on. Caesar ciphertexts get a
# random shift 1..25; the texts that are no Caesar cipher are random words, Vigenere ciphertexts
# of the English with keys of 3 to 10 letters, the English with its letters shuffled, and base64.
# Each kind runs through `--guess` and `--list` in one process, each sample a file of its own.
# The random seed is fixed, so that a run gives the same samples every time.
# Needs bash, awk, and man and col (Debian packages man-db and bsdextrautils).
set -euo pipefail
cd "$(dirname "$0")/.."

program=$(realpath "${1:-build/release/simple_encryption}")
samples=${2:-2000}
if [[ ! -x $program ]]; then
  echo "no program at $program: build it with cmake --workflow --preset release" >&2
  exit 1
fi
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
render() { MANWIDTH=80 man -l "$@" 2>/dev/null | col -b; }

render /usr/share/man/man1/bash.1.gz >"$work/english"
languages=()
for language in de fr es it; do
  pages=(/usr/share/man/"$language"/man[58]/*)
  [[ -e ${pages[0]} ]] || continue
  languages+=("$language")
  # A megabyte is plenty, and the rest would only take time to render.
  for page in "${pages[@]}"; do
    render "$page" >>"$work/$language"
    (($(wc -c <"$work/$language") < 1000000)) || break
  done
done

# Writes `samples` files of `letters` letters each into $work/KIND-LETTERS/, named by number and
# true shift (0 for text that is no Caesar cipher).
generate() {
  local kind=$1 letters=$2 corpus=$3 seed=$4
  mkdir "$work/$kind-$letters"
  # The corpus as one record, since awk joins lines into a long string in quadratic time.
  tr '\n' '\001' <"$corpus" | LC_ALL=C awk -v kind="$kind" -v n="$letters" -v samples="$samples" -v seed="$seed" \
      -v dir="$work/$kind-$letters" '
    function rotate(c, k,    i) {
      if ((i = index(abc, c)) > 0) return substr(abc, (i - 1 + k) % 26 + 1, 1)
      if ((i = index(ABC, c)) > 0) return substr(ABC, (i - 1 + k) % 26 + 1, 1)
      return c
    }
    function piece(    first) {
      first = int(rand() * (count - n)) + 1
      return substr(text, at[first], at[first + n - 1] - at[first] + 1)
    }
    function sample(    s, out, i, c, j, m, length_, column, key, chosen, t) {
      if (kind == "random") {
        while (m < n) {
          length_ = 1 + int(rand() * 10)
          for (s = ""; length(s) < length_ && m < n; m++) s = s substr(abc, int(rand() * 26) + 1, 1)
          out = out (out == "" ? "" : " ") s
        }
        return out
      }
      if (kind == "base64") {
        while (m < n) {
          c = substr(b64, int(rand() * 64) + 1, 1)
          if (index(abc ABC, c) > 0) m++
          out = out c (++column % 76 == 0 ? "\n" : "")
        }
        return out
      }
      s = piece()
      if (kind == "shuffled") {
        for (i = 1; i <= length(s); i++) if (index(abc ABC, c = substr(s, i, 1)) > 0) chosen[++m] = c
        for (i = m; i > 1; i--) { j = int(rand() * i) + 1; t = chosen[i]; chosen[i] = chosen[j]; chosen[j] = t }
      }
      if (kind == "vigenere") {
        length_ = 3 + int(rand() * 8)
        for (i = 0; i < length_; i++) key[i] = int(rand() * 26)
      }
      j = 0
      for (i = 1; i <= length(s); i++) {
        c = substr(s, i, 1)
        if (index(abc ABC, c) > 0) {
          if (kind == "shuffled") c = chosen[++j]
          else if (kind == "vigenere") c = rotate(c, key[j++ % length_])
          else c = rotate(c, shift)
        }
        out = out c
      }
      return out
    }
    { text = $0; gsub(/\001/, "\n", text) }
    END {
      srand(seed)
      abc = "abcdefghijklmnopqrstuvwxyz"; ABC = toupper(abc)
      b64 = ABC abc "0123456789+/"
      for (i = 1; i <= length(text); i++) if (index(abc ABC, substr(text, i, 1)) > 0) at[++count] = i
      caesar = kind != "random" && kind != "base64" && kind != "shuffled" && kind != "vigenere"
      for (k = 0; k < samples; k++) {
        shift = caesar ? int(rand() * 25) + 1 : 0
        file = sprintf("%s/%05d-%02d", dir, k, shift)
        printf "%s", sample() >file
        close(file)
      }
    }'
}

# One line per sample: kind, letters, true shift, ranked first by --list, its probability,
# the shift --guess printed ("refused" if it refused), and 1 if it noted that it was unsure.
measure() {
  local dir=$work/$1-$2
  (cd "$dir" && "$program" --guess -- * >../guess 2>../notes || true
   "$program" --list -- * >../list)
  awk -v kind="$1" -v n="$2" '
    FILENAME ~ /guess$/ { guessed[$2] = $1; next }
    FILENAME ~ /notes$/ {
      name = $2; sub(/:$/, "", name)
      if ($3 == "no") guessed[name] = "refused"; else if ($3 == "uncertain") noted[name] = 1
      next }
    /^==> / { name = $2; getline; split($0, f, "\t"); sub(/%/, "", f[2])
              split(name, part, "-")
              print kind, n, part[2] + 0, f[1], f[2] / 100, guessed[name] "", noted[name] + 0 }
  ' "$work/guess" "$work/notes" "$work/list"
}

seed=1
for letters in 5 10 20 40 80 100 400; do
  generate english "$letters" "$work/english" $((seed++))
  measure english "$letters"
done >"$work/results"
for kind in random vigenere shuffled base64; do
  for letters in 100 400; do
    generate "$kind" "$letters" "$work/english" $((seed++))
    measure "$kind" "$letters"
  done
done >>"$work/results"
for language in "${languages[@]}"; do
  for letters in 20 100 400; do
    generate "$language" "$letters" "$work/$language" $((seed++))
    measure "$language" "$letters"
  done
done >>"$work/results"

printf 'processor: %s\n' "$(awk -F': ' '/^model name/ { print $2; exit }' /proc/cpuinfo)"
printf 'samples of each kind and length: %d\n' "$samples"
awk '
  function pct(a, b) { return b ? sprintf("%.1f%%", 100 * a / b) : "-" }
  { kind = $1; n = $2; right = $3 == $4; k = kind " " n
    total[k]++; ranked[k] += right; refused[k] += $6 == "refused"
    if (kind != "english") next
    if (right) { rightNoted[k] += $7 } else { wrong++; wrongNoted += $7 }
    if (right && n >= 40) { right40++; right40Noted += $7 }
    if (n <= 20) {
      b = int($5 * 10); if (b > 9) b = 9
      bins[b]++; stated[b] += $5; observed[b] += right; calibrated++
      if ($5 >= 0.99) { sure++; sureRight += right }
    } }
  END {
    print "\nEnglish, Caesar ciphertexts (the bash manual page):\n"
    print "| letters | right shift | refused | right guesses noted as unsure |\n|---:|---:|---:|---:|"
    split("5 10 20 40 80 100 400", lengths, " ")
    for (i = 1; i in lengths; i++) { k = "english " lengths[i]
      printf "| %d | %s | %s | %s |\n", lengths[i], pct(ranked[k], total[k]), pct(refused[k], total[k]), pct(rightNoted[k], ranked[k]) }
    for (b = 0; b < 10; b++) if (bins[b]) {
      gap = stated[b] - observed[b]; if (gap < 0) gap = -gap
      weighted += gap; binMean += gap / bins[b]; used++
      if (bins[b] >= 100) { fullMean += gap / bins[b]; full++ } }
    printf "\nCalibration, 5 to 20 letters, %d guesses in ten bins of stated probability:\n", calibrated
    printf "expected calibration error (bins weighted by their guesses): %.3f\n", weighted / calibrated
    printf "mean over the %d bins that hold a guess: %.3f\n", used, binMean / used
    printf "mean over the %d bins that hold 100 guesses or more: %.3f\n", full, fullMean / full
    for (b = 0; b < 10; b++) if (bins[b])
      printf "  %.1f to %.1f: %d guesses, stated %.3f, right %.3f\n", b / 10, (b + 1) / 10, bins[b], stated[b] / bins[b], observed[b] / bins[b]
    printf "stated at 99%% or more: %d guesses, %s right\n", sure, pct(sureRight, sure)
    printf "\nwrong guesses noted as unsure: %d of %d (%s)\n", wrongNoted, wrong, pct(wrongNoted, wrong)
    printf "right guesses at 40 letters or more noted as unsure: %d of %d (%s)\n", right40Noted, right40, pct(right40Noted, right40)
    print "\nRefused, and ranked right, by kind and length:\n"
    print "| text | letters | refused | right shift |\n|---|---:|---:|---:|"
    for (k in total) if (k !~ /^english/) { split(k, p, " "); line[k] = sprintf("| %s | %d | %s | %s |", p[1], p[2], pct(refused[k], total[k]), p[1] ~ /^(random|vigenere|shuffled|base64)$/ ? "-" : pct(ranked[k], total[k])) }
    n = 0; for (k in line) keys[++n] = k
    for (i = 1; i <= n; i++) for (j = i + 1; j <= n; j++) {
      split(keys[i], a, " "); split(keys[j], c, " ")
      if (a[1] > c[1] || (a[1] == c[1] && a[2] + 0 > c[2] + 0)) { t = keys[i]; keys[i] = keys[j]; keys[j] = t } }
    for (i = 1; i <= n; i++) print line[keys[i]]
  }' "$work/results"
