#!/usr/bin/env python3
"""Fits the constants of the shift guesser and prints them: the scales that turn scores into
probabilities, the prior of no language, and the refusal rule.

    python3 tools/fit_guess.py [samples [seed]]   # needs what tools/language_tables.py needs

With no arguments, or 300 samples and the seed 1, it writes them to src/FittedConstants.h, which
the program is built with. It fits on the documents
that tools/language_tables.py sets apart and never counts (every tenth), cut at word starts into
Caesar ciphertexts of 5 to 100 letters with random shifts, and on text of no language made from
them: random letters in words of random length, Vigenere ciphertexts, shuffled letters, base64
and hex; each written as prose, as capitals without gaps and in groups of five, `samples` of
each (default 300). The program's own code scores them (tools/guess_costs.cpp, which this builds
in build/release). No manual page and no Perl documentation is used: the guess is measured on
those (bench/guess_accuracy.py). The random seed is fixed (1), so that the output is the same
every time; another seed gives the same constants.
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
OUTPUT = os.path.join(ROOT, "src", "FittedConstants.h")


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


# How likely each language is before the text is read, as the tables have it.
# Fitted on the ASCII letters' languages, the guess's default and most of its use; the other
# alphabets take the same constants.
ASCII_LANGUAGES = [(code, prior) for code, _, prior, alphabet in lt.LANGUAGES
                   if alphabet == lt.ALPHABETS[0][0]]
LANGUAGE_PRIORS = [prior for _, prior in ASCII_LANGUAGES]


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


PRESENTATIONS = ["prose", "letters", "groups"]
NOISE = ["random", "vigenere", "shuffled", "base64", "hex"]


def present(text, presentation):
    """`text` as written in `presentation`: as it is, its letters in capitals without gaps, or
    its letters in groups of five."""
    letters = "".join(ch for ch in text if is_letter(ch))
    if presentation == "letters":
        return letters.upper()
    if presentation == "groups":
        return " ".join(letters[i:i + 5] for i in range(0, len(letters), 5)).upper()
    return text


def noise(kind, n, rng, english, starts):
    """A text of `n` letters that is no Caesar ciphertext, as it would be written in prose."""
    abc = "abcdefghijklmnopqrstuvwxyz"
    if kind == "random":  # random letters, in words of random length
        words, m = [], 0
        while m < n:
            word = "".join(rng.choice(abc) for _ in range(min(rng.randint(1, 10), n - m)))
            words.append(word)
            m += len(word)
        return " ".join(words)
    if kind in ("vigenere", "shuffled"):
        piece = cut(english, n, rng, starts)
        if kind == "vigenere":
            key = [rng.randrange(26) for _ in range(rng.randint(3, 10))]
            letters = (rotate(ch, key[i % len(key)])
                       for i, ch in enumerate(ch for ch in piece if is_letter(ch)))
        else:
            chosen = [ch for ch in piece if is_letter(ch)]
            rng.shuffle(chosen)
            letters = iter(chosen)
        return "".join(next(letters) if is_letter(ch) else ch for ch in piece)
    text = ""
    while sum(map(is_letter, text)) < n:
        if kind == "base64":
            text += base64.b64encode(bytes(rng.randrange(256) for _ in range(3))).decode()
        else:
            text += "%02x" % rng.randrange(256)
    # Cut after the n-th letter.
    seen = 0
    for end, ch in enumerate(text):
        seen += is_letter(ch)
        if seen == n:
            return text[:end + 1]
    return text


def samples(per_cell, seed):
    """(kind, presentation, letters, shift or None, text) for fitting: `per_cell` Caesar
    ciphertexts of each language, length and presentation, and as many texts of each kind of
    no language, length and presentation."""
    rng = random.Random(seed)
    kept = {code: " \n ".join(lt.split(lt.documents(code, lt.ALPHABETS[0][0]))[1]) for code, _ in ASCII_LANGUAGES}
    starts = {code: word_starts(text) for code, text in kept.items()}
    out = []
    for code, _ in ASCII_LANGUAGES:
        for n in LENGTHS:
            for presentation in PRESENTATIONS:
                for _ in range(per_cell):
                    shift = rng.randrange(1, 26)
                    text = rotate(cut(kept[code], n, rng, starts[code]), shift)
                    out.append((code, presentation, n, shift, present(text, presentation)))
    for kind in NOISE:
        for n in LENGTHS:
            for presentation in PRESENTATIONS:
                # Four times as many where the refusal is fitted, so that another seed fits it
                # alike.
                for _ in range(per_cell * (4 if n in (20, 40) else 1)):
                    text = noise(kind, n, rng, kept["en"], starts["en"])
                    out.append((kind, presentation, n, None, present(text, presentation)))
    return out


# Chosen by hand, not fitted: printed as a reminder of what else decides a guess.
BY_HAND = """// Chosen by hand: the language priors (English as likely as the others together), the
// 20 letters below which a text is never refused, a refusal margin the same at every length,
// and the 99% below which a guess is noted."""

# What the refusal must do on the fitting text, in each presentation: refuse this much of the
# text of no language at 20 and at 40 letters, and as little real text as it can from 20 on.
# Chosen by hand, a little above the 95% and 99% asked of text the constants never saw.
REFUSE_AT_20 = 0.97
REFUSE_AT_40 = 0.995


def main():
    per_cell = int(sys.argv[1]) if len(sys.argv) > 1 else 300
    seed = int(sys.argv[2]) if len(sys.argv) > 2 else 1
    made = samples(per_cell, seed)
    scored = [(kind, presentation, n, shift, *scored)
              for (kind, presentation, n, shift, _), scored in zip(made, scores([m[4] for m in made]))]
    real = [s for s in scored if s[3] is not None]
    noisy = [s for s in scored if s[3] is None]

    # The scales: the log loss of the true shift on real text, the prior left aside (0).
    scales = {}
    for only in (False, True):
        best = None
        for scale in [x / 10 for x in range(1, 31)]:
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

    def unnoted(prior):
        chosen = [s for s in noisy if 10 <= s[2] <= 15]
        return sum(max(posterior(s[4], s[5], scales[s[6]], prior)[0]) >= 0.99
                   for s in chosen) / len(chosen)

    results = []
    for prior in [0.0001, 0.0003, 0.001, 0.003, 0.01, 0.03, 0.1, 0.3]:
        results.append((prior, ece(prior), unnoted(prior)))
        print("// prior %g: calibration error %.4f, gibberish of 10-15 letters unnoted %.3f"
              % results[-1])
    prior = min((r for r in results if r[2] <= 0.02), key=lambda r: r[1])[0]

    # The refusal, for text with gaps and for text without: the largest margin, in steps of 2
    # nats, that refuses enough text of no language in each presentation, which the many texts of
    # no language decide. The margin is the same at every length from LETTERS_TO_REFUSE on (chosen
    # by hand: a margin that shrinks with length, fitted on the few real texts refused, came out
    # differently from one seed to the next, with no fewer refused).
    margins = {}
    for only in (False, True):
        mine = [s for s in scored if s[6] == only and s[2] >= LETTERS_TO_REFUSE]
        # A presentation counts where it gives this layout enough text of no language to judge:
        # prose rarely comes without gaps, and capitals without gaps never with.
        presentations = [p for p in PRESENTATIONS
                         if sum(s[1] == p and s[3] is None and s[2] == 20 for s in mine) >= 50]
        best = None
        for margin in range(-5000, 20001, 2000):
            caught = []
            for presentation in presentations:
                for n in (20, 40):
                    group = [s for s in mine if s[3] is None and s[1] == presentation
                             and s[2] == n]
                    caught.append(sum(min(s[4]) - s[5] > margin for s in group) / len(group))
            if min(caught[0::2]) >= REFUSE_AT_20 and min(caught[1::2]) >= REFUSE_AT_40:
                wrong = sum(min(s[4]) - s[5] > margin for s in mine if s[3] is not None)
                best = (margin, wrong, caught)
        margins[only] = best[0]
        print("// %s: margin %d; real text refused %d of %d; no language refused at 20 and 40"
              " letters %s" % ("letters only" if only else "with gaps", best[0], best[1],
                               sum(s[3] is not None for s in mine),
                               " ".join("%.3f" % c for c in best[2])))

    print(BY_HAND)
    constants = ["constexpr double kScaleWithGaps = %.2f;" % scales[False],
                 "constexpr double kScaleLettersOnly = %.2f;" % scales[True],
                 "constexpr double kNoLanguagePrior = %g;" % prior,
                 "constexpr std::int64_t kRefusalWithGaps = %d;" % margins[False],
                 "constexpr std::int64_t kRefusalLettersOnly = %d;" % margins[True]]
    print("\n".join(constants))
    if (per_cell, seed) == (300, 1):
        with open(OUTPUT, "w", encoding="ascii") as f:
            f.write("\n".join([
                "// Generated by tools/fit_guess.py; do not edit. What they are for: src/ShiftGuess.cpp.",
                "#ifndef SIMPLE_ENCRYPTION_FITTED_CONSTANTS_H",
                "#define SIMPLE_ENCRYPTION_FITTED_CONSTANTS_H", "",
                "#include <cstdint>", ""] + constants + ["",
                "#endif  // SIMPLE_ENCRYPTION_FITTED_CONSTANTS_H", ""]))


if __name__ == "__main__":
    main()
