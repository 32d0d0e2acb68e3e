#!/usr/bin/env bash
# Measures how often --guess finds the shift of English text, and how often it says it is unsure.
#
#   cmake --workflow --preset release && bench/guess_accuracy.sh [program] [samples] [corpus]
#
# Cuts `samples` pieces (default 2000) of each length, 5 to 80 letters, from random places in the
# corpus, encrypts each with a random shift 1..25 and runs `program --guess` on it. The corpus
# must be English that the letter-pair statistics were not counted from: by default the bash
# manual page, rendered as text (Debian packages bash and man-db). The random seed is fixed, so
# that a run gives the same samples every time.
# Needs bash, awk, and man and col for the default corpus.
set -euo pipefail
cd "$(dirname "$0")/.."

program=${1:-build/release/simple_encryption}
samples=${2:-2000}
corpus=${3:-}
if [[ ! -x $program ]]; then
  echo "no program at $program: build it with cmake --workflow --preset release" >&2
  exit 1
fi
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
corpus_name=$corpus
if [[ -z $corpus ]]; then
  corpus=$work/bash.txt
  corpus_name="the bash manual page, /usr/share/man/man1/bash.1.gz rendered 80 columns wide"
  MANWIDTH=80 man -l /usr/share/man/man1/bash.1.gz 2>/dev/null | col -b >"$corpus"
fi

# Each sample as a record ending in NUL: "shift letters" on a line, then the ciphertext.
LC_ALL=C awk -v samples="$samples" -v lengths="5 10 20 40 80" '
  { text = text $0 "\n" }
  END {
    srand(1)
    abc = "abcdefghijklmnopqrstuvwxyz"; ABC = toupper(abc)
    for (i = 1; i <= length(text); i++) {
      if (index(abc ABC, substr(text, i, 1)) > 0) at[++letters] = i
    }
    split(lengths, n, " ")
    for (l = 1; l in n; l++) {
      for (s = 0; s < samples; s++) {
        first = int(rand() * (letters - n[l])) + 1
        piece = substr(text, at[first], at[first + n[l] - 1] - at[first] + 1)
        shift = int(rand() * 25) + 1
        out = ""
        for (i = 1; i <= length(piece); i++) {
          c = substr(piece, i, 1)
          if ((k = index(abc, c)) > 0) c = substr(abc, (k - 1 + shift) % 26 + 1, 1)
          else if ((k = index(ABC, c)) > 0) c = substr(ABC, (k - 1 + shift) % 26 + 1, 1)
          out = out c
        }
        printf "%d %d\n%s%c", shift, n[l], out, 0
      }
    }
  }' "$corpus" >"$work/samples"

while IFS= read -r -d '' record; do
  header=${record%%$'\n'*}
  guessed=$(printf '%s' "${record#*$'\n'}" | "$program" --guess 2>"$work/err") || guessed=none
  unsure=0
  [[ -s $work/err ]] && unsure=1
  echo "$header $guessed $unsure"
done <"$work/samples" >"$work/results"

awk -v corpus="$corpus_name" '
  { n = $2; right = ($1 == $3); total[n]++; ok[n] += right
    if (right) { rightUnsure[n] += $4 } else { wrong++; wrongUnsure += $4 }
    if (right && n >= 40) { right40++; right40Unsure += $4 } }
  END {
    printf "corpus: %s\n\n| letters | right shift | right guesses flagged unsure |\n|---:|---:|---:|\n", corpus
    for (n = 1; n <= 80; n++) if (n in total)
      printf "| %d | %.1f%% | %.1f%% |\n", n, 100 * ok[n] / total[n], 100 * rightUnsure[n] / ok[n]
    printf "\nwrong guesses, 5 to 80 letters: %d, of which flagged unsure: %d (%.1f%%)\n", wrong, wrongUnsure, wrong ? 100 * wrongUnsure / wrong : 0
    printf "right guesses, 40 letters or more: %d, of which flagged unsure: %d (%.2f%%)\n", right40, right40Unsure, 100 * right40Unsure / right40
  }' "$work/results"
