#!/usr/bin/env bash
# Measures the guess on text it has never seen: how often it finds the shift in each language and
# presentation, how well its probabilities are calibrated, how often it answers wrongly without a
# note, and what it refuses.
#
#   cmake --workflow --preset release && bench/guess_accuracy.sh [program] [samples]
#
# Cuts `samples` pieces (default 2000) of each kind from random word starts in held-out text,
# where letters make 85% or more of what is not white space, so that code, shell sessions and
# tables, which are no language, are left out:
# the held-out text that data/registry.toml names for each language of the ASCII letters: English
# from the manual pages of bash and of Perl (perl-doc), the others from Debian's manpages-LANGUAGE
# (a language whose pages are missing is left out). No manual page and no Perl documentation was counted into the tables or used to fit the
# constants (tools/language_tables.py, tools/fit_guess.py). Caesar ciphertexts get a random shift
# 1..25, as prose, as letters only in capitals, and in groups of five. Text of no language is made
# from the English: random letters in words of random length, Vigenere ciphertexts with keys of 3
# to 10 letters, the English with its letters shuffled, base64 and hex, each written in the same
# three ways; and single English words of six letters or more are encrypted too. Each kind runs through `--guess` and `--list` in one
# process, each sample a file of its own. The random seed is fixed, so that a run gives the same
# samples every time. Then bench/alphabet_accuracy.py measures Russian, Ukrainian, Greek and
# 27-letter Spanish in the same ways. Needs bash, awk, python3, and man and col (Debian packages
# man-db and bsdextrautils).
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

# A megabyte of each language is plenty, and the rest would only take time to render.
gather() {
  local out=$1 page
  shift
  for page in "$@"; do
    [[ -e $page ]] || continue
    render "$page" >>"$out"
    (($(wc -c <"$out") < 1000000)) || break
  done
}
# Each language of the ASCII letters, with the held-out text that data/registry.toml names for it.
languages=()
while read -r language held; do
  if [[ $held == /* ]]; then
    read -ra pages <<<"$held"
  else
    pages=(/usr/share/man/"$held"/man[1-8]/*)
  fi
  [[ -e ${pages[0]} ]] || continue
  languages+=("$language")
  gather "$work/$language" "${pages[@]}"
done < <(python3 tools/registry.py --held-out latin)

# Writes `samples` files of `letters` letters each into $work/KIND-LETTERS/, named by number and
# true shift (0 for text that is no Caesar cipher). KIND is LANGUAGE-PRESENTATION for Caesar
# ciphertexts (en-prose, de-letters, fr-groups, ...), en-word for single words, or a kind of text
# of no language.
generate() {
  local kind=$1 letters=$2 corpus=$3 seed=$4
  mkdir "$work/$kind-$letters"
  # The corpus as one record, since awk joins lines into a long string in quadratic time.
  tr '\n' '\001' <"$corpus" | LC_ALL=C awk -v kind="$kind" -v n="$letters" -v samples="$samples" \
      -v seed="$seed" -v dir="$work/$kind-$letters" '
    function rotate(c, k,    i) {
      if ((i = index(abc, c)) > 0) return substr(abc, (i - 1 + k) % 26 + 1, 1)
      if ((i = index(ABC, c)) > 0) return substr(ABC, (i - 1 + k) % 26 + 1, 1)
      return c
    }
    # Whether s is prose: letters make at least 85% of what is not white space, a character
    # beyond ASCII counted as a letter (accented ones, mostly, in these pages). Code, shell
    # sessions, file listings and tables of numbers, which manual pages hold, are none of the
    # languages, and no answer is right for them.
    function is_prose(s,    i, c, letters, others) {
      for (i = 1; i <= length(s); i++) {
        c = substr(s, i, 1)
        if (index(abc ABC, c) > 0 || c >= "\300") letters++
        else if (c !~ /[ \t\n]/ && c < "\200") others++
      }
      return letters >= 0.85 * (letters + others)
    }
    # n letters of prose from a random word start, with what lies between them; for "word", one
    # word of six letters or more.
    function piece(    w, first, last, s) {
      for (;;) {
        w = int(rand() * words) + 1
        first = at[starts[w]]
        if (kind != "en-word") {
          if (starts[w] + n - 1 > count) continue
          s = substr(text, first, at[starts[w] + n - 1] - first + 1)
          if (is_prose(s)) return s
          continue
        }
        for (last = first; index(abc ABC, substr(text, last + 1, 1)) > 0; last++) {}
        if (last - first + 1 >= 6) return substr(text, first, last - first + 1)
      }
    }
    function letters_of(s,    i, c, out) {
      for (i = 1; i <= length(s); i++) if (index(abc ABC, c = substr(s, i, 1)) > 0) out = out toupper(c)
      return out
    }
    # The sample as prose, then as the presentation its kind names.
    function sample(    out, s, i) {
      out = prose()
      if (kind ~ /-letters$/) return letters_of(out)
      if (kind ~ /-groups$/) {
        s = letters_of(out); out = ""
        for (i = 1; i <= length(s); i += 5) out = out (i > 1 ? " " : "") substr(s, i, 5)
      }
      return out
    }
    function prose(    s, out, i, c, j, m, length_, column, key, chosen, t) {
      if (kind ~ /^random/) {
        while (m < n) {
          length_ = 1 + int(rand() * 10)
          for (s = ""; length(s) < length_ && m < n; m++) s = s substr(abc, int(rand() * 26) + 1, 1)
          out = out (out == "" ? "" : " ") s
        }
        return out
      }
      if (kind ~ /^(base64|hex)/) {
        while (m < n) {
          c = kind ~ /^hex/ ? substr(hex, int(rand() * 16) + 1, 1) : substr(b64, int(rand() * 64) + 1, 1)
          if (index(abc ABC, c) > 0) m++
          out = out c (++column % 76 == 0 ? "\n" : "")
        }
        return out
      }
      s = piece()
      if (kind ~ /^shuffled/) {
        for (i = 1; i <= length(s); i++) if (index(abc ABC, c = substr(s, i, 1)) > 0) chosen[++m] = c
        for (i = m; i > 1; i--) { j = int(rand() * i) + 1; t = chosen[i]; chosen[i] = chosen[j]; chosen[j] = t }
      }
      if (kind ~ /^vigenere/) {
        length_ = 3 + int(rand() * 8)
        for (i = 0; i < length_; i++) key[i] = int(rand() * 26)
      }
      j = 0
      for (i = 1; i <= length(s); i++) {
        c = substr(s, i, 1)
        if (index(abc ABC, c) > 0) {
          if (kind ~ /^shuffled/) c = chosen[++j]
          else if (kind ~ /^vigenere/) c = rotate(c, key[j++ % length_])
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
      b64 = ABC abc "0123456789+/"; hex = "0123456789abcdef"
      for (i = 1; i <= length(text); i++) {
        if (index(abc ABC, substr(text, i, 1)) == 0) continue
        at[++count] = i
        if (i == 1 || index(abc ABC, substr(text, i - 1, 1)) == 0) starts[++words] = count
      }
      caesar = kind !~ /^(random|base64|hex|shuffled|vigenere)(-|$)/
      for (k = 0; k < samples; k++) {
        shift = caesar ? int(rand() * 25) + 1 : 0
        file = sprintf("%s/%05d-%02d", dir, k, shift)
        printf "%s\n", sample() >file
        close(file)
      }
    }'
}

# One line per sample: kind, letters, true shift, ranked first by --list, its probability,
# the shift --guess printed ("refused" if it refused), and 1 if it noted that it was unsure.
measure() {
  local dir=$work/$1-$2
  (cd "$dir"
   "$program" --guess -- * >../guess 2>../notes || true  # a refusal's status is a result here
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
for language in "${languages[@]}"; do
  for presentation in prose letters groups; do
    for letters in 5 10 15 20 40 100; do
      [[ $presentation == prose || $letters -ge 10 ]] || continue
      generate "$language-$presentation" "$letters" "$work/$language" $((seed++))
      measure "$language-$presentation" "$letters"
    done
  done
done >"$work/results"
generate en-word 0 "$work/en" $((seed++))
measure en-word 0 >>"$work/results"
for kind in random vigenere shuffled base64 hex; do
  for presentation in prose letters groups; do
    for letters in 10 15 20 40 100; do
      generate "$kind-$presentation" "$letters" "$work/en" $((seed++))
      measure "$kind-$presentation" "$letters"
    done
  done
done >>"$work/results"

printf 'processor: %s\n' "$(awk -F': ' '/^model name/ { print $2; exit }' /proc/cpuinfo)"
printf 'samples of each kind and length: %d\n' "$samples"
awk -v codes="${languages[*]}" '
  function pct(a, b) { return b ? sprintf("%.1f%%", 100 * a / b) : "" }
  { kind = $1; n = $2; caesar = $3 > 0; right = $3 == $4; k = kind " " n
    total[k]++; ranked[k] += right; refused[k] += $6 == "refused"
    if (caesar && $6 != "refused" && !$7) { answered++; answeredWrong += $6 != $3 }
    if (!caesar && (n == 10 || n == 15)) { gibberish++; gibberishAnswered += $6 != "refused" && !$7 }
    if (kind ~ /^en-(prose|letters)$/ && n <= 20) {
      b = int($5 * 10); if (b > 9) b = 9
      bins[b]++; stated[b] += $5; observed[b] += right; calibrated++
    } }
  END {
    print "\nRight shift, ranked first by --list:\n"
    print "| text | 5 letters | 10 | 15 | 20 | 40 | 100 |\n|---|---:|---:|---:|---:|---:|---:|"
    count = split(codes, languages, " "); split("prose letters groups", presentations, " ")
    split("5 10 15 20 40 100", lengths, " ")
    for (l = 1; l <= count; l++) for (p = 1; p <= 3; p++) {
      kind = languages[l] "-" presentations[p]; line = ""
      for (i = 1; i <= 6; i++) line = line " | " pct(ranked[kind " " lengths[i]], total[kind " " lengths[i]])
      if (total[kind " 20"]) print "| " kind line " |"
    }
    print "\nRefused:\n"
    print "| text | 10 letters | 15 | 20 | 40 | 100 |\n|---|---:|---:|---:|---:|---:|"
    split("random vigenere shuffled base64 hex", noise, " ")
    for (k = 1; k <= 5; k++) for (p = 1; p <= 3; p++) {
      kind = noise[k] "-" presentations[p]; line = ""
      for (i = 2; i <= 6; i++) line = line " | " pct(refused[kind " " lengths[i]], total[kind " " lengths[i]])
      print "| " kind line " |" }
    for (l = 1; l <= count; l++) for (p = 1; p <= 3; p++) {
      kind = languages[l] "-" presentations[p]; line = ""
      for (i = 2; i <= 6; i++) line = line " | " pct(refused[kind " " lengths[i]], total[kind " " lengths[i]])
      if (total[kind " 20"]) print "| " kind line " |"
    }
    print "\nText of no language refused, each presentation, all kinds together:\n"
    print "| presentation | 10 letters | 15 | 20 | 40 | 100 |\n|---|---:|---:|---:|---:|---:|"
    for (p = 1; p <= 3; p++) { line = ""
      for (i = 2; i <= 6; i++) {
        a = b = 0
        for (k = 1; k <= 5; k++) { kind = noise[k] "-" presentations[p]; a += refused[kind " " lengths[i]]; b += total[kind " " lengths[i]] }
        line = line " | " pct(a, b) }
      print "| " presentations[p] line " |" }
    printf "\nsingle English words of 6 letters or more: %s right, %s refused\n", pct(ranked["en-word 0"], total["en-word 0"]), pct(refused["en-word 0"], total["en-word 0"])
    printf "answers given without a note that are wrong: %d of %d (%s)\n", answeredWrong, answered, pct(answeredWrong, answered)
    printf "text of no language of 10 and 15 letters answered without a note: %d of %d (%s)\n", gibberishAnswered, gibberish, pct(gibberishAnswered, gibberish)
    for (b = 0; b < 10; b++) if (bins[b]) { gap = stated[b] - observed[b]; weighted += gap < 0 ? -gap : gap }
    printf "\n--list calibration, English prose and letters only of 5 to 20 letters, %d guesses:\n", calibrated
    printf "expected calibration error (ten bins, weighted by their guesses): %.3f\n", weighted / calibrated
    for (b = 0; b < 10; b++) if (bins[b])
      printf "  %.1f to %.1f: %d guesses, stated %.3f, right %.3f\n", b / 10, (b + 1) / 10, bins[b], stated[b] / bins[b], observed[b] / bins[b]
  }' "$work/results"

printf '\n== Alphabets beyond ASCII\n\n'
python3 bench/alphabet_accuracy.py "$program" "$samples"
