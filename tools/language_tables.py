#!/usr/bin/env python3
"""Counts the letter trigrams of the languages in data/registry.toml and writes the tables that
the shift guesser scores with, src/LanguageModels.cpp, with the lists of languages and alphabets.

    python3 tools/language_tables.py      # after: apt-get install $(python3 tools/language_tables.py --packages)

The text comes from the Debian 12 packages that the registry's sources name, and nothing else: no manual page, no help
text and no Perl documentation, since the guess is measured on those (bench/guess_accuracy.py). Each source is cut
into documents (paragraphs, fortunes, dictionary entries), and every tenth document is set aside,
never counted, for tools/fit_guess.py to fit the probability scale and the refusal on. The same
packages give the same bytes every time.

Text is read as the program reads it: the letters of the language's alphabet with case folded,
and any run of other characters (accented letters included, which a Caesar shift leaves as they
are) as one word gap.
"""
import gzip
import hashlib
import html
import math
import os
import re
import subprocess
import textwrap
import struct
import sys
import zlib

import registry

# The registry's lists in the shapes the counting takes.
ALPHABETS = [(a["name"], a["letters"]) for a in registry.ALPHABETS]
SCRIPTS = {a["name"]: a["script"] for a in registry.ALPHABETS}
ABOUT = {a["name"]: a["about"] for a in registry.ALPHABETS}
LANGUAGES = [(l["code"], l["name"], registry.prior(l), l["alphabet"]) for l in registry.LANGUAGES]
MESSAGES = registry.MESSAGES
SOURCES = registry.packages()
FAQ = "/usr/share/doc/debian/FAQ/debian-faq.%s.txt.gz"
LEVELS = 16  # four bits a trigram
HERE = os.path.dirname(os.path.abspath(__file__))
OUTPUT = os.path.join(HERE, "..", "src", "LanguageModels.cpp")
FORTUNES = "/usr/share/games/fortunes"
REFERENCE = "/usr/share/debian-reference/debian-reference.%s.txt.gz"


def need(path, package):
    if not os.path.exists(path):
        sys.exit("missing %s: install the Debian package %s" % (path, package))
    return path


def prose_lines(text):
    """The lines of running text, without tables, commands and code."""
    for line in text.split("\n"):
        stripped = line.strip()
        if not stripped or "|" in stripped or stripped.startswith(("$", "#", "+", "-", "*")):
            yield ""
            continue
        letters = sum(c.isalpha() or c == " " for c in stripped)
        yield line if letters >= 0.85 * len(stripped) and re.search(r"[^\W\d_]{3} ", line) else ""


def paragraphs(text):
    document = []
    for line in prose_lines(text):
        if line:
            document.append(line.strip())
        elif document:
            yield " ".join(document)
            document = []
    if document:
        yield " ".join(document)


ENGLISH_WORDS = re.compile(r"\b(the|and|of|to|is|for|with|this|that|you|are)\b")


def reference(code, path=REFERENCE, package="debian-reference-"):
    with gzip.open(need(path % code, package + code), "rt", encoding="utf-8") as f:
        documents = list(paragraphs(f.read()))
    if code != "en":
        # Paragraphs left untranslated would teach the other languages English.
        documents = [d for d in documents if len(ENGLISH_WORDS.findall(d.lower())) < 2]
    return documents


def fortune_file(path):
    utf8 = path + ".u8"
    with open(utf8 if os.path.exists(utf8) else path, "rb") as f:
        text = f.read().decode("utf-8", errors="replace")
    return [" ".join(p.split()) for p in text.split("\n%\n") if p.strip()]


def fortunes(folder, package, skip=(), owners=None):
    """The fortunes in `folder`; with `owners`, only those files that these packages install,
    since other languages' packages put theirs there too."""
    need(folder, package)
    owned = None
    if owners:
        owned = set(subprocess.run(["dpkg-query", "-L"] + owners, stdout=subprocess.PIPE,
                                   check=True, text=True).stdout.split("\n"))
    documents = []
    for name in sorted(os.listdir(folder)):
        path = os.path.join(folder, name)
        if (name.endswith((".dat", ".u8")) or name in skip or os.path.islink(path)
                or not os.path.isfile(path) or (owned is not None and path not in owned)):
            continue
        documents += fortune_file(path)
    return documents


def dictionary(name, package, every=1):
    """The entries of a dictd database, the headword lines left out; every `every`th entry."""
    with open(need("/usr/share/dictd/%s.dict.dz" % name, package), "rb") as f:
        text = zlib.decompress(f.read(), 31).decode("utf-8", errors="replace")
    with open("/usr/share/dictd/%s.index" % name, encoding="utf-8", errors="replace") as f:
        entries = [line.split("\t") for line in f if not line.startswith("00-database")]
    b64 = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/"

    def number(word):
        value = 0
        for c in word:
            value = value * 64 + b64.index(c)
        return value

    documents = []
    data = text.encode("utf-8")
    for index, entry in enumerate(entries):
        if index % every or len(entry) < 3:
            continue
        start, size = number(entry[1]), number(entry[2].strip())
        body = data[start:start + size].decode("utf-8", errors="replace")
        body = re.sub(r"<[^>]*>|\{|\}|\[[^\]]*\]", " ", body)
        documents += paragraphs("\n".join(body.split("\n")[1:]))
    return documents


def messages(code, packages=None):
    """The translated texts in the message catalogues of `packages` (MESSAGES by default) for
    the language `code`."""
    owned = subprocess.run(["dpkg-query", "-L"] + (packages or MESSAGES), stdout=subprocess.PIPE,
                           check=True, text=True).stdout.split("\n")
    folder = "/usr/share/locale/%s/LC_MESSAGES/" % code
    documents = []
    for path in sorted(p for p in owned if p.startswith(folder) and p.endswith(".mo")):
        with open(path, "rb") as f:
            data = f.read()
        order = "<" if data[:4] == b"\xde\x12\x04\x95" else ">"
        count, _, translations = struct.unpack(order + "III", data[8:20])
        for i in range(count):
            size, start = struct.unpack(order + "II", data[translations + 8 * i:][:8])
            # The catalogue's header, and plural forms apart, are no text.
            text = data[start:start + size].decode("utf-8", errors="replace")
            if not text.startswith("Project-Id-Version"):
                documents += [" ".join(form.split()) for form in text.split("\0")]
    return [d for d in documents if d]


def read_source(source):
    """The documents of one of a language's sources in the registry."""
    if "reference" in source:
        return reference(source["reference"])
    if "faq" in source:
        return reference(source["faq"], FAQ, "debian-faq-")
    if "messages" in source:
        return messages(source["messages"])
    if "fortune_file" in source:
        return fortune_file(need(os.path.join(FORTUNES, source["fortune_file"]), source["package"]))
    if "fortunes" in source:
        return fortunes(os.path.join(FORTUNES, source["fortunes"]).rstrip("/"), source["package"],
                        skip=set(source.get("skip", ())), owners=source.get("owners"))
    found = dictionary(source["dictionary"], source["package"], every=source.get("every", 1))
    keep = re.compile(source.get("keep", ""))
    return [d for d in found if keep.search(d)]


def documents(code, alphabet):
    """The documents of a language, in a fixed order."""
    language = next(l for l in registry.LANGUAGES if (l["code"], l["alphabet"]) == (code, alphabet))
    return [d for source in language["source"] for d in read_source(source)]


def split(all_documents):
    """The documents to count, and every tenth, kept for fitting."""
    counted = [d for i, d in enumerate(all_documents) if i % 10 != 9]
    kept = [d for i, d in enumerate(all_documents) if i % 10 == 9]
    return counted, kept


def places(alphabet):
    """Each letter of `alphabet` and its capital, with its place."""
    letters = dict(ALPHABETS)[alphabet]
    found = {letter: i for i, letter in enumerate(letters)}
    capitals = [letter.upper() for letter in letters]
    if all(len(c) == 1 and c != l and c not in found for c, l in zip(capitals, letters)):
        found.update({capital: i for i, capital in enumerate(capitals)})
    return found


def symbols(text, alphabet):
    """The program's symbols for `text`: the letters' places, and the alphabet's size for each run
    of other characters, a word gap."""
    where = places(alphabet)
    gap = len(dict(ALPHABETS)[alphabet])
    out = []
    for character in text:
        symbol = where.get(character, gap)
        if symbol != gap or not out or out[-1] != gap:
            out.append(symbol)
    return out


def count(docs, alphabet):
    GAP = len(dict(ALPHABETS)[alphabet])
    SYMBOLS = GAP + 1
    trigrams = [0] * SYMBOLS ** 3
    for document in docs:
        a, b = GAP, GAP
        for c in symbols(document, alphabet):
            if not (a == GAP and b == GAP):  # the start of a document only, counted below
                trigrams[(a * SYMBOLS + b) * SYMBOLS + c] += 1
            a, b = b, c
    # After a gap, whatever came before it: the context a message starts in.
    for c in range(SYMBOLS):
        trigrams[(GAP * SYMBOLS + GAP) * SYMBOLS + c] = sum(
            trigrams[(a * SYMBOLS + GAP) * SYMBOLS + c] for a in range(SYMBOLS))
    return trigrams


def costs(trigrams, alphabet):
    """-ln P(c | a, b) for every trigram, with each order backed off to the one below it."""
    SYMBOLS = len(dict(ALPHABETS)[alphabet]) + 1
    prior = 2.0
    unigram = [0] * SYMBOLS
    bigram = [0] * SYMBOLS * SYMBOLS
    for index, n in enumerate(trigrams):
        bigram[index % (SYMBOLS * SYMBOLS)] += n
        unigram[index % SYMBOLS] += n
    total = sum(unigram)
    p1 = [(n + 1) / (total + SYMBOLS) for n in unigram]
    p2 = []
    for b in range(SYMBOLS):
        row = sum(bigram[b * SYMBOLS:(b + 1) * SYMBOLS])
        p2 += [(bigram[b * SYMBOLS + c] + prior * p1[c]) / (row + prior) for c in range(SYMBOLS)]
    result = []
    for a in range(SYMBOLS):
        for b in range(SYMBOLS):
            base = (a * SYMBOLS + b) * SYMBOLS
            row = sum(trigrams[base:base + SYMBOLS])
            for c in range(SYMBOLS):
                p = (trigrams[base + c] + prior * p2[b * SYMBOLS + c]) / (row + prior)
                result.append(-math.log(p))
    return result, p1


def quantise(values, weights):
    """Sixteen levels that keep the weighted squared error small (Lloyd's algorithm), and each
    value's nearest level."""
    order = sorted(range(len(values)), key=lambda i: values[i])
    total = sum(weights)
    levels, running, k = [], 0.0, 0
    for i in order:
        running += weights[i]
        while k < LEVELS and running >= total * (k + 0.5) / LEVELS:
            levels.append(values[i])
            k += 1
    while len(levels) < LEVELS:
        levels.append(values[order[-1]])
    for _ in range(30):
        sums, masses = [0.0] * LEVELS, [0.0] * LEVELS
        for v, w in zip(values, weights):
            nearest = min(range(LEVELS), key=lambda j: abs(levels[j] - v))
            sums[nearest] += v * w
            masses[nearest] += w
        levels = sorted(sums[j] / masses[j] if masses[j] else levels[j] for j in range(LEVELS))
    millinats = [int(round(1000 * level)) for level in levels]
    codes = [min(range(LEVELS), key=lambda j: abs(levels[j] - v)) for v in values]
    return millinats, codes


def model(code, alphabet):
    counted, _ = split(documents(code, alphabet))
    trigrams = count(counted, alphabet)
    values, unigram = costs(trigrams, alphabet)
    levels, codes = quantise(values, [n + 1 for n in trigrams])
    return levels, codes, unigram, sum(trigrams)


def no_language(unigrams):
    """-ln P of each symbol when letters come at random: half by the languages' mean letter
    frequencies, half uniformly, with gaps as often as in the languages. Letters are costed
    both with the gaps' share taken out (for text with gaps) and without (letters only)."""
    size = len(unigrams[0]) - 1
    mean = [sum(u[c] for u in unigrams) / len(unigrams) for c in range(size + 1)]
    gap = mean[size]
    letters = [0.5 * mean[c] / (1 - gap) + 0.5 / size for c in range(size)]
    with_gaps = [int(round(-1000 * math.log((1 - gap) * p))) for p in letters]
    return with_gaps + [int(round(-1000 * math.log(gap)))], [
        int(round(-1000 * math.log(p))) for p in letters]


def versions():
    """Each source package with its installed version."""
    out = subprocess.run(["dpkg-query", "-W", "-f", "${Package} ${Version}\\n"] + SOURCES,
                         stdout=subprocess.PIPE, check=True, text=True).stdout
    return out.split("\n")[:-1]


def main():
    if sys.argv[1:] == ["--packages"]:
        print(" ".join(SOURCES))
        return
    # The guess needs a language in every alphabet it reads a text in.
    for alphabet, _ in ALPHABETS:
        if not any(a == alphabet for _, _, _, a in LANGUAGES):
            sys.exit("no language in the alphabet %s" % alphabet)
    digest = hashlib.sha256()
    models = []
    for code, _, _, alphabet in LANGUAGES:
        counted, _ = split(documents(code, alphabet))
        for document in counted:
            digest.update(document.encode("utf-8") + b"\0")
        models.append(model(code, alphabet))
    names = ", ".join(name + ("" if alphabet == "latin" else " (%s)" % alphabet)
                      for _, name, _, alphabet in LANGUAGES)
    out = textwrap.wrap("Generated by tools/language_tables.py; do not edit. Letter trigram costs "
                        "of %s, counted from these Debian 12 packages, less every tenth document:"
                        % names, 97, initial_indent="// ", subsequent_indent="// ")
    sources = versions()
    out += textwrap.wrap(", ".join(sources), 97, initial_indent="//   ",
                         subsequent_indent="//   ", break_on_hyphens=False)
    out += ["// SHA-256 of the text counted: %s." % digest.hexdigest(),
            "// Each trigram's cost, -ln P(c | a, b) in thousandths, is one of sixteen levels, four",
            "// bits, two to a byte, low bits first.",
            "// clang-format off",
            '#include "LanguageModels.h"', "",
            "namespace {", ""]
    for index, ((code, name, _, alphabet), (_, codes, _, counted)) in enumerate(zip(LANGUAGES, models)):
        packed = [codes[i] | (codes[i + 1] << 4 if i + 1 < len(codes) else 0)
                  for i in range(0, len(codes), 2)]
        out.append("// %s in %s letters, from %d trigrams." % (name, alphabet, counted))
        out.append("constexpr std::array<std::uint8_t, %d> kCodes%d = {{" % (len(packed), index))
        for i in range(0, len(packed), 24):
            out.append("  " + ",".join(str(b) for b in packed[i:i + 24]) + ",")
        out.append("}};")
    for index, (alphabet, letters) in enumerate(ALPHABETS):
        with_gaps, letters_only = no_language(
            [m[2] for m, l in zip(models, LANGUAGES) if l[3] == alphabet])
        out.append("constexpr std::array<std::int32_t, %d> kWithGaps%d = {%s};" % (
            len(with_gaps), index, ", ".join(map(str, with_gaps))))
        out.append("constexpr std::array<std::int32_t, %d> kLettersOnly%d = {%s};" % (
            len(letters_only), index, ", ".join(map(str, letters_only))))
    out += ["",
            "constexpr std::array<AlphabetModel, %d> kAlphabetList = {{" % len(ALPHABETS)]
    for index, (alphabet, letters) in enumerate(ALPHABETS):
        out.append('  {"%s", "%s", "%s", U"%s", %d, kWithGaps%d.data(), kLettersOnly%d.data()},' % (
            alphabet, SCRIPTS[alphabet], ABOUT[alphabet], letters, len(letters), index, index))
    out += ["}};", "", "constexpr std::array<LanguageModel, %d> kLanguageList = {{" % len(LANGUAGES)]
    alphabet_index = {alphabet: i for i, (alphabet, _) in enumerate(ALPHABETS)}
    for index, ((code, name, prior, alphabet), (levels, _, _, _)) in enumerate(zip(LANGUAGES, models)):
        out.append('  {"%s", "%s", %r, %d, %d,' % (code, name, prior, alphabet_index[alphabet],
                                                  len(dict(ALPHABETS)[alphabet])))
        out.append("   {%s}, kCodes%d.data()}," % (", ".join(map(str, levels)), index))
    out += ["}};", "", "}  // namespace", "",
            "extern const Table<AlphabetModel> kAlphabetModels = {kAlphabetList.data(), "
            "kAlphabetList.size()};",
            "extern const Table<LanguageModel> kLanguageModels = {kLanguageList.data(), "
            "kLanguageList.size()};"]
    with open(OUTPUT, "w", encoding="utf-8") as f:
        f.write("\n".join(out) + "\n")


if __name__ == "__main__":
    main()
