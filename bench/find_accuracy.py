#!/usr/bin/env python3
"""Measures -d --find on documents of prose with runs encrypted in them: how many runs it finds
and decrypts, how many of their letters come back, how many letters of the plain text it
changes, and how fast, in how much memory, on 100 MB.

    bench/find_accuracy.py [program] [documents]   # held-out text, 400 documents a language
    bench/find_accuracy.py --fit [program] [documents]

A document is 40 to 120 words of prose from a random word start, on a line of its own, with 0
to 3 runs, none overlapping, each encrypted with a random shift of the alphabet: a single word,
a phrase of 2 to 8 words, or a whole sentence (from a word after ". " to the next full stop). The
seed is fixed. The text is bench/guess_accuracy.py's held-out text, never counted into the
tables nor used to fit or choose a constant; with --fit, the tenth of each language's documents
that tools/language_tables.py sets apart and never counts, which the constants of src/Find.cpp
were chosen on.
"""
import os
import random
import subprocess
import sys
import tempfile

import guess_accuracy as bench
import lines_accuracy
import registry
import language_tables

KINDS = ["word", "phrase", "sentence"]


def fitting(language):
    return " ".join(" ".join(language_tables.split(
        language_tables.documents(language["code"], language["alphabet"]))[1]).split())


def document(words, letters, rng):
    """(plain, secret, runs): runs are (kind, number of words, first character, end)."""
    n = rng.randint(40, 120)
    start = rng.randrange(len(words) - n)
    chosen = words[start:start + n]
    taken = [False] * n
    spans = []
    for _ in range(rng.randint(0, 3)):
        kind = rng.choice(KINDS)
        if kind == "sentence":
            starts = [i for i in range(1, n) if chosen[i - 1].endswith(".")]
            if not starts:
                continue
            first = rng.choice(starts)
            last = next((i for i in range(first, n) if chosen[i].endswith(".")), n - 1)
        else:
            length = 1 if kind == "word" else rng.randint(2, 8)
            first = rng.randrange(n - length + 1)
            last = first + length - 1
        # Runs of words with letters, apart from one another.
        if (any(taken[max(first - 1, 0):last + 2]) or
                not all(any(c in letters.place for c in w) for w in chosen[first:last + 1])):
            continue
        taken[first:last + 1] = [True] * (last - first + 1)
        spans.append((kind, first, last, rng.randrange(1, len(letters.lower))))
    plain = " ".join(chosen)
    secret = list(chosen)
    runs = []
    for kind, first, last, shift in spans:
        for i in range(first, last + 1):
            secret[i] = "".join(letters.rotate(c, shift) for c in chosen[i])
        begin = len(" ".join(chosen[:first])) + (first > 0)
        runs.append((kind, last - first + 1, begin, begin + len(" ".join(chosen[first:last + 1]))))
    return plain, " ".join(secret), runs


def main():
    args = sys.argv[1:]
    fit = bool(args) and args[0] == "--fit"
    args = args[1:] if fit else args
    program = os.path.realpath(args[0] if args else "build/release/simple_encryption")
    count = int(args[1]) if len(args) > 1 else 400
    rng = random.Random(1)
    print("| language | kind | runs | found | letters of runs right | plain letters changed |\n"
          "|---|---|---:|---:|---:|---:|")
    with tempfile.TemporaryDirectory() as work:
        sample = None
        for language in lines_accuracy.guessed():
            code = language["code"]
            if fit:
                text = fitting(language)
            else:
                text = bench.held_out(code)
            if len(text) < 10000:
                print("| %s | no text | | | | |" % code)
                continue
            letters = bench.Letters(language["alphabet"])
            docs = [document(text.split(" "), letters, rng) for _ in range(count)]
            path = os.path.join(work, code)
            with open(path, "w", encoding="utf-8") as f:
                f.write("".join(secret + "\n" for _, secret, _ in docs))
            out = subprocess.run([program, "-d", "--find", path], check=True,
                                 stdout=subprocess.PIPE).stdout.decode("utf-8").split("\n")
            found, right, letters_in, changed, plain_letters = {}, {}, {}, 0, 0
            for (plain, _, runs), got in zip(docs, out):
                inside = [False] * len(plain)
                for kind, words, begin, end in runs:
                    key = "3+ words" if words >= 3 else kind if kind != "phrase" else "2 words"
                    for k in {kind, key}:
                        found.setdefault(k, [0, 0])[1] += 1
                        found[k][0] += got[begin:end] == plain[begin:end]
                    for i in range(begin, end):
                        inside[i] = True
                        if plain[i] in letters.place:
                            letters_in[kind] = letters_in.get(kind, 0) + 1
                            right[kind] = right.get(kind, 0) + (got[i:i + 1] == plain[i])
                for i, c in enumerate(plain):
                    if not inside[i] and c in letters.place:
                        plain_letters += 1
                        changed += got[i:i + 1] != c
            for kind in KINDS + ["2 words", "3+ words"]:
                if kind in found:
                    print("| %s | %s | %d | %s | %s | |" % (
                        code, kind, found[kind][1], bench.pct(*found[kind]),
                        bench.pct(right.get(kind, 0), letters_in.get(kind, 0))))
            print("| %s | plain text | | | | %d of %d (%.3f%%) |" % (
                code, changed, plain_letters, 100 * changed / plain_letters))
            if code == "en":
                sample = open(path, "rb").read()
        runs = lines_accuracy.speed(work, sample, [program, "-d", "--find"])
    cpu = next((l.split(": ", 1)[1].strip() for l in open("/proc/cpuinfo")
                if l.startswith("model name")), "unknown")
    print("\n%d documents a language, %s text; %s" % (count, "fitting" if fit else "held-out", cpu))
    lines_accuracy.print_speed(runs, "-d --find, English documents,")


if __name__ == "__main__":
    main()
