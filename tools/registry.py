#!/usr/bin/env python3
"""Reads data/registry.toml, the one list of the alphabets and languages, for the generator, the
fitting script and the benches; and, run as a program, writes the lists that the manual, the
README and the bash completion give of them, between their marker lines.

    python3 tools/registry.py          # rewrites those lists
    python3 tools/registry.py --check  # fails, naming the file, where one differs
    python3 tools/registry.py --code-points  # the presets' letters beyond ASCII, as the manual

--help's lists come from the program's own tables, which tools/language_tables.py writes from
the same registry.
"""
import fractions
import os
import re
import sys
import textwrap
import tomllib

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.join(HERE, "..")

with open(os.path.join(ROOT, "data", "registry.toml"), "rb") as f:
    REGISTRY = tomllib.load(f)

ALPHABETS = REGISTRY["alphabet"]
LANGUAGES = REGISTRY["language"]
MESSAGES = REGISTRY["messages"]
HELD_OUT_MESSAGES = REGISTRY["held_out_messages"]
BY_NAME = {a["name"]: a for a in ALPHABETS}


def prior(language):
    return float(fractions.Fraction(language["prior"]))


def packages():
    """Every package the tables are counted from."""
    found = []
    for language in LANGUAGES:
        for source in language["source"]:
            if "reference" in source:
                found.append("debian-reference-" + source["reference"])
            elif "faq" in source:
                found.append("debian-faq-" + source["faq"])
            elif "messages" in source:
                found += MESSAGES
            else:
                found.append(source["package"])
    return sorted(set(found))


def held_out_packages():
    """Every package the benches measure on."""
    return sorted({l["held_out"]["package"] for l in LANGUAGES if "package" in l["held_out"]}
                  | set(HELD_OUT_MESSAGES))


def names(codes=None, join="and"):
    """The languages' names, each once, in the registry's order: "English, German and Greek"."""
    found = []
    for language in LANGUAGES:
        if (codes is None or language["code"] in codes) and language["name"] not in found:
            found.append(language["name"])
    return ", ".join(found[:-1]) + (" %s " % join if len(found) > 1 else "") + found[-1]


def code_points(letters):
    """The letters' code points, runs of consecutive ones as ranges: U+0430-U+0435, U+0451."""
    runs = []
    for c in map(ord, letters):
        if runs and c == runs[-1][1] + 1:
            runs[-1][1] = c
        else:
            runs.append([c, c])
    return ", ".join("U+%04X" % a if a == b else "U+%04X\\(enU+%04X" % (a, b) for a, b in runs)


def manual_list():
    """The presets for the manual: each letter as roff's escape, and the code points too, which
    groff shows where the font, or the C locale, has no glyph for the letters."""
    out = []
    for alphabet in ALPHABETS:
        out += [".TP", ".B " + alphabet["name"]]
        about = alphabet["about"]
        letters = alphabet["letters"]
        if all(ord(c) < 0x80 for c in letters):
            out.append("%s%s." % (about[0].upper(), about[1:]))
            continue
        glyphs = " ".join("\\[u%04X]" % ord(c) if ord(c) > 0x7F else c for c in letters)
        out.append("%s: %s (%s), %d letters%s." % (
            about, glyphs, code_points(letters), len(letters),
            ", and their capitals" if alphabet["capitals"] else ""))
    return out


def manual_languages():
    """The languages of each alphabet, for the manual."""
    out = []
    for alphabet in ALPHABETS:
        codes = [l["code"] for l in LANGUAGES if l["alphabet"] == alphabet["name"]]
        out += [".TP", ".B " + alphabet["name"], names(codes) + "."]
    return out


def manual_fallbacks():
    """For each character the manual writes as \\[uXXXX], a fallback where the font has no glyph
    for it (groff's PostScript fonts and the C locale's terminal have no Cyrillic): its code
    point, so that every letter still shows, and groff renders the page without a warning."""
    with open(os.path.join(ROOT, "docs", "simple_encryption.1.in"), encoding="utf-8") as f:
        page = f.read()
    names = sorted(set(re.findall(r"\\\[(u[0-9A-F]{4}(?:_[0-9A-F]{4})*)\]", page)))
    return [".fchar \\[%s] U+%s" % (name, name[1:].replace("_", "+U+")) for name in names]


def readme_list():
    return textwrap.wrap("The presets of `-a` are " + ", ".join(
        "`%s` (%s)" % (a["name"], a["about"]) for a in ALPHABETS) + "; the guess knows " +
        names() + ".", 100)


def completion_codes():
    codes = []
    for language in LANGUAGES:
        if language["code"] not in codes:
            codes.append(language["code"])
    return ["            mapfile -t COMPREPLY < <(compgen -W '%s' -- \"$cur\")" % " ".join(codes)]


def completion_list():
    return ["            mapfile -t COMPREPLY < <(compgen -W '%s' -- \"$cur\")" % " ".join(
        a["name"] for a in ALPHABETS)]


# Each file, the marker lines its list stands between, and what makes the list.
DERIVED = [("docs/simple_encryption.1.in", ".\\\" Fallbacks, from tools/registry.py",
            ".\\\" End of the fallbacks", manual_fallbacks),
           ("docs/simple_encryption.1.in", ".\\\" The presets, from data/registry.toml",
            ".\\\" End of the presets", manual_list),
           ("docs/simple_encryption.1.in", ".\\\" The languages, from data/registry.toml",
            ".\\\" End of the languages", manual_languages),
           ("README.md", "<!-- From data/registry.toml: -->", "<!-- End -->", readme_list),
           ("completions/simple_encryption", "# The presets, from data/registry.toml:",
            "# End of the presets", completion_list),
           ("completions/simple_encryption", "# The languages' codes, from data/registry.toml:",
            "# End of the codes", completion_codes)]


def main():
    if sys.argv[1:] == ["--code-points"]:
        for alphabet in ALPHABETS:
            if any(ord(c) > 0x7F for c in alphabet["letters"]):
                print(code_points(alphabet["letters"]).replace("\\(en", "-"))
        return
    check = sys.argv[1:] == ["--check"]
    stale = []
    for path, begin, end, make in DERIVED:
        with open(os.path.join(ROOT, path), encoding="utf-8") as f:
            lines = f.read().split("\n")
        first = next(i for i, line in enumerate(lines) if line.strip() == begin)
        last = next(i for i, line in enumerate(lines) if i > first and line.strip() == end)
        made = lines[:first + 1] + make() + lines[last:]
        if made == lines:
            continue
        stale.append(path)
        if not check:
            with open(os.path.join(ROOT, path), "w", encoding="utf-8") as f:
                f.write("\n".join(made))
    if check and stale:
        sys.exit("not as data/registry.toml has it: %s (run python3 tools/registry.py)"
                 % ", ".join(stale))


if __name__ == "__main__":
    main()
