#!/usr/bin/env python3
"""Fits the constants of the shift guesser in src/ShiftGuess.cpp, and prints them: the scales
that turn scores into probabilities, the prior of no language, and the refusal rule.

    python3 tools/fit_guess.py [samples]      # needs what tools/language_tables.py needs

It fits on the documents that tools/language_tables.py sets apart and never counts (every tenth),
cut at word starts into Caesar ciphertexts of 5 to 100 letters with random shifts, as prose,
letters only and groups of five, and on text of no language made from them: random letters in
words of random length, Vigenere ciphertexts, shuffled letters and base64. The program's own code
scores them (tools/guess_costs.cpp, which this builds in build/release). No manual page and no Perl documentation is used: the
guess is measured on those (bench/guess_accuracy.sh). The random seed is fixed.
"""
import base64
import math
import os
import random
import re
import subprocess
import sys

import language_tables as lt

LENGTHS = [5, 8, 10, 12, 15, 20, 30, 40, 60, 100]
LETTERS_TO_REFUSE = 20
ROOT = os.path.join(lt.HERE, "..")
BUILD = os.path.join(ROOT, "build", "release")


def scores(texts):
    """What the program weighs for each text, as (costs of each language and shift, cost of no
    language, letters only, letters): tools/guess_costs.cpp, built in build/release, scores with
    the program's own code."""
    if not os.path.exists(os.path.join(BUILD, "CMakeCache.txt")):
        subprocess.run(["cmake", "--preset", "release"], cwd=ROOT, check=True,
                       stdout=subprocess.DEVNULL)
    subprocess.run(["cmake", "--build", BUILD, "--target", "guess_costs"], check=True,
                   stdout=subprocess.DEVNULL)
    lines = subprocess.run([os.path.join(BUILD, "guess_costs")], check=True,
                           input="\0".join(texts).encode("utf-8"),
                           stdout=subprocess.PIPE).stdout.decode("ascii").split("\n")
    out = []
    for line in lines[:len(texts)]:
        fields = [int(field) for field in line.split()]
        out.append((fields[3:], fields[2], fields[0] == 1, fields[1]))
    return out


# English is taken to be as likely as the other four languages together.
LANGUAGE_PRIORS = [0.5, 0.125, 0.125, 0.125, 0.125]


def posterior(costs, none, scale, prior):
    """The probability of each shift, summed over the languages, and of no language."""
    least = min(min(costs), none)
    weights = [(1 - prior) * LANGUAGE_PRIORS[i // 26] / 26 * math.exp(-scale * (c - least) / 1000)
               for i, c in enumerate(costs)]
    by_shift = [sum(weights[s::26]) for s in range(26)]
    none_weight = prior * math.exp(-scale * (none - least) / 1000)
    total = sum(by_shift) + none_weight
    return [w / total for w in by_shift], none_weight / total


def rotate(text, shift):
    out = []
    for ch in text:
        if "a" <= ch <= "z":
            ch = chr((ord(ch) - 97 + shift) % 26 + 97)
        elif "A" <= ch <= "Z":
            ch = chr((ord(ch) - 65 + shift) % 26 + 65)
        out.append(ch)
    return "".join(out)


def is_letter(ch):
    return "a" <= ch <= "z" or "A" <= ch <= "Z"


def word_starts(text):
    return [m.start() for m in re.finditer(r"(?<![A-Za-z])[A-Za-z]", text)]


def cut(text, n, rng, starts):
    """`n` letters of `text` from a random word start, with what lies between them."""
    for _ in range(50):
        i = rng.choice(starts)
        seen, j = 0, i
        while j < len(text) and seen < n:
            seen += is_letter(text[j])
            j += 1
        if seen == n:
            return text[i:j]
    return None


def samples(per_cell, seed=1):
    """(kind, presentation, letters, shift or None, text) for fitting."""
    rng = random.Random(seed)
    kept = {code: " \n ".join(lt.split(lt.documents(code))[1]) for code, _ in lt.LANGUAGES}
    starts = {code: word_starts(text) for code, text in kept.items()}
    out = []
    for code, _ in lt.LANGUAGES:
        for n in LENGTHS:
            for k in range(per_cell):
                piece = cut(kept[code], n, rng, starts[code])
                shift = rng.randrange(1, 26)
                enc = rotate(piece, shift)
                letters = "".join(ch for ch in enc if is_letter(ch))
                presentation = ["prose", "letters", "groups"][k % 3]
                text = {"prose": enc, "letters": letters.upper(),
                        "groups": " ".join(letters[i:i + 5] for i in range(0, len(letters), 5))}[presentation]
                out.append((code, presentation, n, shift, text))
    english = kept["en"]
    abc = "abcdefghijklmnopqrstuvwxyz"
    for n in LENGTHS:
        for _ in range(per_cell):
            words, m = [], 0
            while m < n:
                w = "".join(rng.choice(abc) for _ in range(min(rng.randint(1, 10), n - m)))
                words.append(w)
                m += len(w)
            out.append(("random", "prose", n, None, " ".join(words)))
            piece = cut(english, n, rng, starts["en"])
            key = [rng.randrange(26) for _ in range(rng.randint(3, 10))]
            j, enc = 0, []
            for ch in piece:
                if is_letter(ch):
                    ch = rotate(ch, key[j % len(key)])
                    j += 1
                enc.append(ch)
            out.append(("vigenere", "prose", n, None, "".join(enc)))
            piece = cut(english, n, rng, starts["en"])
            chosen = [ch for ch in piece if is_letter(ch)]
            rng.shuffle(chosen)
            it = iter(chosen)
            out.append(("shuffled", "prose", n, None,
                        "".join(next(it) if is_letter(ch) else ch for ch in piece)))
            b64 = ""
            while sum(map(is_letter, b64)) < n:
                b64 += base64.b64encode(bytes(rng.randrange(256) for _ in range(3))).decode()
            out.append(("base64", "prose", n, None, b64))
    return out


def main():
    per_cell = int(sys.argv[1]) if len(sys.argv) > 1 else 150
    made = samples(per_cell)
    scored = [(kind, presentation, n, shift, *scored)
              for (kind, presentation, n, shift, _), scored in zip(made, scores([m[4] for m in made]))]
    real = [s for s in scored if s[3] is not None]
    noise = [s for s in scored if s[3] is None]

    # The scales: the log loss of the true shift on real text, the prior left aside (0).
    scales = {}
    for only in (False, True):
        best = None
        for scale in [x / 100 for x in range(10, 301, 5)]:
            loss = 0.0
            for s in real:
                if s[6] != only:
                    continue
                p, _ = posterior(s[4], s[5], scale, 0.0)
                loss -= math.log(max(p[s[3]], 1e-300))
            if best is None or loss < best[0]:
                best = (loss, scale)
        scales[only] = best[1]

    # The prior of no language: the one that keeps real text best calibrated while at most 2% of
    # gibberish of 10 to 15 letters is answered without a note.
    def ece(prior):
        bins = [[0, 0.0, 0] for _ in range(10)]
        for s in real:
            p, _ = posterior(s[4], s[5], scales[s[6]], prior)
            top = max(range(26), key=lambda i: (p[i], -i))
            b = min(int(p[top] * 10), 9)
            bins[b][0] += 1
            bins[b][1] += p[top]
            bins[b][2] += top == s[3]
        return sum(abs(b[1] - b[2]) for b in bins if b[0]) / len(real)

    def unnoted(prior, kinds=None):
        chosen = [s for s in noise if 10 <= s[2] <= 15]
        return sum(max(posterior(s[4], s[5], scales[s[6]], prior)[0]) >= 0.99 for s in chosen) / len(chosen)

    results = []
    for prior in [0.0001, 0.0003, 0.001, 0.003, 0.01, 0.03, 0.1, 0.3]:
        results.append((prior, ece(prior), unnoted(prior)))
        print("prior %g: calibration error %.4f, gibberish of 10-15 letters unnoted %.3f" % results[-1])
    prior = min((r for r in results if r[2] <= 0.02), key=lambda r: r[1])[0]

    # The refusal, for each layout: of the margins that refuse at least 97% of text of no language
    # at 20 letters and 99% at 40, the one that refuses the least real text from
    # LETTERS_TO_REFUSE letters on, and of those the largest, the one surest of what it refuses.
    margins = {}
    for only in (False, True):
        candidates = []
        for per_letter in [0, 25, 50, 100]:
            for margin in range(-10000, 30001, 500):
                def refused(s):
                    return (s[6] == only and s[2] >= LETTERS_TO_REFUSE
                            and min(s[4]) - s[5] > margin - per_letter * s[7])
                rates = {}
                for code, _ in lt.LANGUAGES:
                    group = [s for s in real if s[0] == code and s[6] == only and s[2] >= LETTERS_TO_REFUSE]
                    rates[code] = sum(map(refused, group)) / max(len(group), 1)
                caught = []
                for n in (20, 40):
                    group = [s for s in noise if s[6] == only and s[2] == n]
                    caught.append(sum(map(refused, group)) / max(len(group), 1) if group else 1.0)
                candidates.append((min(caught), margin, per_letter, rates, caught))
        best = min((c for c in candidates if c[4][0] >= 0.97 and c[4][1] >= 0.99),
                   key=lambda c: (sum(c[3].values()), -c[1]))
        margins[only] = best
        print("letters only %s: margin %d, per letter %d; refused: real %s; no language at 20 and 40 "
              "letters %s" % (only, best[1], best[2], " ".join("%s %.4f" % kv for kv in best[3].items()),
                              " ".join("%.3f" % c for c in best[4])))

    print("constexpr double kScaleWithGaps = %.2f;" % scales[False])
    print("constexpr double kNoLanguagePrior = %g;" % prior)
    print("constexpr double kScaleLettersOnly = %.2f;" % scales[True])
    print("constexpr RefusalRule kRefusalWithGaps = {%d, %d};" % margins[False][1:3])
    print("constexpr RefusalRule kRefusalLettersOnly = {%d, %d};" % margins[True][1:3])


if __name__ == "__main__":
    main()
