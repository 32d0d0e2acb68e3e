// The end-to-end rows of the options that steer a guess, of --lines and of --find: rows of the
// same table as program_test.cpp's, which runs them.
#include <string>
#include <vector>

#include "expected_output.h"
#include "transcript.h"

namespace {

using transcript::Case;
using transcript::kAllBytes;
using transcript::kEnemy;
using transcript::kNoCaesar;
using transcript::kRussianCipher;
using transcript::LanguageCodes;
using transcript::Repeat;
using transcript::RowName;
using transcript::Transcript;
using transcript::UsageError;

// `count` words, four to a line, none alike however moved, of two lengths lest they be groups.
std::string NewWords(int count) {
  std::string lines;
  for (int i = 0; i < count; ++i) {
    std::string word = "a";
    for (int n = i, k = 0; k < 4; ++k, n /= 26) word += static_cast<char>('a' + n % 26);
    lines += word + (i % 2 == 0 ? "" : "b") + (i % 4 == 3 ? "\n" : " ");
  }
  return lines;
}

// Steering the guess: what a user knows (a word, a language), a preview's width, and rows of
// JSON that a script can read
const std::string kNoRow =
    R"("shift": null, "alphabet": null, "language": null, "probability": null})";
const std::vector<Case> kSteering = {
    // One row a file, in order, whatever became of it, the name as given: a script can rely on
    // the rows to line up with the files.
    Case("a JSON row for each file, whatever became of it")
        .In(kNoCaesar)
        .Status(1)
        .Args({"--guess", "--json", "@second", "a b'c\nd", "/dev/null", "@in"})
        .Out(R"({"file": "@second", "status": "answered", "shift": 13, "alphabet": "latin", )"
             R"("language": "en", "probability": 0.9999})"
             "\n"
             R"({"file": "a b'c\u000ad", "status": "unreadable", )" +
             kNoRow + "\n" + R"({"file": "/dev/null", "status": "no letters", )" + kNoRow + "\n" +
             R"({"file": "@in", "status": "refused", )" + kNoRow + "\n")
        .Err("simple_encryption: 'a b'\\''c'$'\\n''d': No such file or directory\n"
             "simple_encryption: /dev/null: no letters to guess the shift from\n"
             "simple_encryption: @in: no shift makes the text read as " +
             Languages("or", "Latin") + "\n"),
    // A character decoded is done with, so the letters after it are read as letters; and from
    // U+00A0 on, a character that prints is shown as it is.
    Case("a preview with a dash and a no-break space")
        .In("\u2014Wkh\u00A0hqhpb dwwdfnv dw gdzq\n")
        .Out("3\t99.9%\t\u2014The\u00A0enemy attacks at dawn\n")
        .Args({"--list", "--crib=dawn"}),
    // A text refused is said to be, with its list all the same.
    Case("a JSON list of a refused text")
        .In(kNoCaesar)
        .Out(R"({"file": "-", "status": "refused", )" + kNoRow.substr(0, kNoRow.size() - 1) +
             R"(, "shifts": [{"shift": 0, "probability": 0.0000, "text": "Xqzv bkjw tpmf yrhg )"
             R"(lcnd oesu aixq zv"}]})"
             "\n")
        .Args({"--list", "--json", "--crib=bkjw"}),
    Case("a JSON list of the shifts a crib allows")
        .In(kEnemy)
        .Out(R"({"file": "-", "status": "answered", "shift": 3, "alphabet": "latin", )"
             R"("language": "en", "probability": 0.9999, "shifts": [{"shift": 3, )"
             R"("probability": 0.9999, "text": "The enemy attacks at dawn"}]})"
             "\n")
        .Args({"--list", "--json", "--crib=dawn"}),
    // Too short to tell, until the solver says what it holds.
    Case("a word the text holds")
        .In("Erivrj\n")
        .Out("Review\n")
        .Args({"-d", "--guess", "--crib=review"})
        .Err("simple_encryption: uncertain guess: shift 13 at 97.3%\n"),
    Case("part of a word the text holds").In("xjhwjy\n").Out("5\n").Args({"--guess", "--crib=sec"}),
    Case("a language the text is in")
        .In("Dsiho\n")
        .Out("3\n")
        .Args({"--guess", "--lang=de"})
        .Err("simple_encryption: uncertain guess: shift 3 at 74.2%, then shift 14 at 16.2%\n"),
    Case("a word no shift makes")
        .In(kEnemy)
        .Status(1)
        .Args({"--guess", "--crib=castle"})
        .Err("simple_encryption: no shift makes the text hold 'castle'\n"),
    Case("a list of the shifts that hold a word")
        .In(kEnemy)
        .Out("3\t99.9%\tThe enemy attacks at dawn\n")
        .Args({"--list", "--crib=at"}),
    // The alphabet's first letter makes the line previewed, as any other letter does.
    Case("a preview of a line whose one letter is the alphabet's first")
        .In("A\n" + kEnemy)
        .Out("3\t99.9%\tX\n")
        .Args({"--list", "--crib=dawn"}),
    Case("a preview of 20 columns")
        .In(kEnemy)
        .Out("3\t99.9%\tThe enemy attacks at\n25\t0.0%\tXli iriqc exxegow ex\n")
        .Args({"--list", "--width=20"})
        .Start(),
    Case("a preview of the whole line")
        .In(Repeat("Wkh hqhpb dwwdfnv dw gdzq. ", 4) + "\n")
        .Out("3\t99.9%\t" + Repeat("The enemy attacks at dawn. ", 4) + "\n")
        .Args({"--list", "--width=0"})
        .Start(),
    Case("the first language of the tables").In(kEnemy).Out("3\n").Args({"--guess", "--lang=en"}),
    Case("a language in the alphabet named")
        .In(kRussianCipher)
        .Out("7\n")
        .Args({"--guess", "--lang=ru", "-a", "ru"}),
    UsageError("an unknown language", {"--guess", "--lang=en,xx"},
               "unknown language 'xx'\nThe languages are " + LanguageCodes() + "."),
    UsageError("a language not of the alphabet", {"--guess", "--lang=ru", "-a", "latin"},
               "option --lang names no language in the alphabet 'latin'"),
    UsageError("JSON for a decryption", {"-d", "--guess", "--json"},
               "option --json needs --guess without --decrypt, or --list"),
    UsageError("a crib without a guess", {"-e", "--crib=x"},
               "options --lang and --crib need --guess or --list"),
    UsageError("a language without a guess", {"-d", "--lang=de"},
               "options --lang and --crib need --guess or --list"),
    UsageError("a width without a list", {"--guess", "--width=3"}, "option --width needs --list"),
    UsageError("a width that is no number", {"--list", "--width=3x"}, "invalid width: '3x'"),
};

// Each line a text of its own, as puzzle files and lists of hints are written.
const std::string kLines = "Uryyb jbeyq\n12345\n" + kEnemy + kNoCaesar + "Pbzr onpx";
const std::vector<Case> kEachLine = {
    // Refused and letterless lines stay as they are, and are no failure: they are answers too.
    Case("each line decrypted with its own shift")
        .In(kLines)
        .Out("Hello world\n12345\nThe enemy attacks at dawn\n" + kNoCaesar + "Come back")
        .Args({"-d", "--guess", "--lines"}),
    Case("a shift for each line").In(kLines).Out("13\n-\n3\n-\n13\n").Args({"--guess", "--lines"}),
    // Past the guess's bounds and the first block, a line is read to its end without being
    // held, and the next one is guessed afresh.
    Case("a line longer than a guess takes")
        .In(Repeat("Wkh hqhpb dwwdfnv dw gdzq. ", 6000) + "\nUryyb jbeyq\n")
        .Out(Repeat("The enemy attacks at dawn. ", 6000) + "\nHello world\n")
        .Args({"-d", "--guess", "--lines"}),
    Case("a shift for a line longer than a guess takes")
        .In(Repeat("Wkh hqhpb dwwdfnv dw gdzq. ", 6000) + "\nUryyb jbeyq\n")
        .Out("3\n13\n")
        .Args({"--guess", "--lines"}),
    Case("a JSON row for each line")
        .In("Uryyb jbeyq\n\n")
        .Out(R"({"file": "-", "line": 1, "status": "answered", "shift": 13, "alphabet": "latin", )"
             R"("language": "en", "probability": 0.9985})"
             "\n"
             R"({"file": "-", "line": 2, "status": "no letters", )" +
             kNoRow + "\n")
        .Args({"--guess", "--lines", "--json"}),
    Case("a list for each line with letters")
        .In("12345\n" + kEnemy)
        .Out("==> line 2 <==\n3\t99.9%\tThe enemy attacks at dawn\n")
        .Args({"--list", "--lines", "--crib=dawn"}),
    Case("lists parted by a blank line")
        .In("Uryyb jbeyq\nUryyb jbeyq\n")
        .Out("==> line 1 <==\n13\t99.8%\tHello world\n\n==> line 2 <==\n13\t99.8%\tHello world\n")
        .Args({"--list", "--lines", "--crib=hello"}),
    // Answers are held back to be written together, and a failure to write them is no less one.
    Case("guessed lines to a full disk")
        .In(kLines)
        .Status(1)
        .StdoutTo("/dev/full")
        .Args({"-d", "--guess", "--lines"})
        .Err("simple_encryption: write error: No space left on device\n"),
    // Each line starts with no letter counted as lacked in an alphabet: had it counted each once,
    // every language would read worse than none.
    Case("a JSON row for a short Russian line")
        .In("фхнжйч снх\n")
        .Out(R"({"file": "-", "line": 1, "status": "answered", "shift": 5, "alphabet": "ru", )"
             R"("language": "ru", "probability": 0.9907})"
             "\n")
        .Args({"--guess", "--lines", "--json"}),
    // The costs of the words seen are kept for the lines to come, but not without bound.
    Case("lines of ever new words in bounded memory")
        .In("Uryyb jbeyq\n" + NewWords(40000))
        .Out("13\n")
        .Start()
        .AddressSpace(std::size_t{64} << 20)
        .Args({"--guess", "--lines"}),
    UsageError("lines without a guess", {"-e", "--lines"},
               "option --lines needs --guess or --list"),
};

// Enciphered runs among plain text, as hints are written in a document.
const std::string kHints =
    "Hints, in ROT13:\n1. Gur cnffjbeq vf uvqqra va gur pbasvthengvba svyr.\n"
    "See https://example.com/ctf?id=3f9a2c7e and docs/README.md.\n";
const std::vector<Case> kFinding = {
    Case("each run decrypted where it stands, and nothing else")
        .In(kHints)
        .Out("Hints, in ROT13:\n1. The password is hidden in the configuration file.\n"
             "See https://example.com/ctf?id=3f9a2c7e and docs/README.md.\n")
        .Args({"-d", "--find"}),
    Case("where each run stands, and what it says")
        .In(kHints)
        .Out("2:4\t13\tlatin\ten\t99.9%\tThe password is hidden in the configuration file\n")
        .Args({"--find"}),
    // A run entered from text as written is traced back to that text, not to the likeliest run
    // before it; traced the wrong way, the run at this line's start is lost.
    Case("a run at the start, and plain text after it")
        .In("vul'z ihjr bw, to assume an attitude of obstinate resistance (from uif\n")
        .Out("one's back up, to assume an attitude of obstinate resistance (from uif\n")
        .Args({"-d", "--find"}),
    // Plain words after a run are read as written in every language, the first too.
    Case("plain words right after a run")
        .In("Gb bcra vg, erzbir gur yvq. That's it.\n")
        .Out("To open it, remove the lid. That's it.\n")
        .Args({"-d", "--find"}),
    // Line numbers go on across the pieces the text is read in.
    Case("a run past the first piece")
        .In(Repeat(Repeat("plain text that stays as it is. ", 20) + "\n", 30) +
            "Gur cnffjbeq vf uvqqra va gur pbasvthengvba svyr.\n")
        .Out("31:1\t13\tlatin\ten\t99.9%\tThe password is hidden in the configuration file\n")
        .Args({"--find"}),
    // Words of no language, as written or shifted, stay as they are, however near a run: as
    // written they cost no more than letters at random.
    Case("gibberish before a run")
        .In("Qwfp zxkv: Wkh hqhpb dwwdfnv dw gdzq\n")
        .Out("Qwfp zxkv: The enemy attacks at dawn\n")
        .Args({"-d", "--find"}),
    // A line longer than a piece is cut at a word gap, so that no word is split between two
    // runs: here the last byte the piece could hold is the z of gdzq.
    Case("a line longer than a piece")
        .In(std::string(25, ' ') + Repeat("Wkh hqhpb dwwdfnv dw gdzq. ", 700) + "\n")
        .Out("1:26\t3\tlatin\ten\t99.9%\t" + Repeat("The enemy attacks at dawn. ", 605) +
             "The enemy attacks at\n1:16382\t3\tlatin\ten\t99.9%\tdawn. " +
             Repeat("The enemy attacks at dawn. ", 93) + "The enemy attacks at dawn\n")
        .Args({"--find"}),
    // A dash parts words as ASCII signs do, and a byte that is not UTF-8 hides no letter.
    Case("a run that ends at a dash")
        .In("Wkh hqhpb dwwdfnv dw gdzq\u2014then we left\n")
        .Out("The enemy attacks at dawn\u2014then we left\n")
        .Args({"-d", "--find"}),
    Case("a run after a byte that is not UTF-8")
        .In("\xFFWkh hqhpb dwwdfnv dw gdzq\n")
        .Out("\xFFThe enemy attacks at dawn\n")
        .Args({"-d", "--find"}),
    // Read as Latin-1, that byte would be a letter, ÿ, and begin the run.
    Case("where a run after a byte that is not UTF-8 begins")
        .In("\xFFWkh hqhpb dwwdfnv dw gdzq\n")
        .Out("1:2\t3\tlatin\ten\t99.9%\tThe enemy attacks at dawn\n")
        .Args({"--find"}),
    // The alphabet's first letter is scored as any other: left out, this run is found in part.
    Case("a run whose words hold the first letter")
        .In("Fraq gur cynaf gb gur arj zna va Ivraan.\n")
        .Out("Send the plans to the new man in Vienna.\n")
        .Args({"-d", "--find"}),
    Case("a run in another script")
        .In("Notes for the trip.\n" + kRussianCipher)
        .Out("Notes for the trip.\nСъешь же ещё этих мягких французских булок, да выпей чаю.\n")
        .Args({"-d", "--find"}),
    // A combining mark, as a stress mark is, stays in its word, whichever alphabet that is in.
    Case("a run with a stress mark")
        .In("Цяйэб лй йюк вчнъ сд\u0301зпнъ щхетышмцпнъ ёшруп, ие жафйо ьег.\n")
        .Out("Съешь же ещё этих мя\u0301гких французских булок, да выпей чаю.\n")
        .Args({"-d", "--find"}),
    // Each word's costs are kept for the next time it comes, but not without bound.
    Case("a text of ever new words in bounded memory")
        .In(NewWords(40000))
        .Start()
        .AddressSpace(std::size_t{64} << 20)
        .Args({"--find"}),
    Case("every byte of a text without runs as it was")
        .In(Repeat(kAllBytes, 4))
        .Out(Repeat(kAllBytes, 4))
        .Args({"-d", "--find"}),
    UsageError("finding with a guess", {"--find", "--guess"},
               "option --find cannot be used with --guess"),
    UsageError("a crib for finding", {"--find", "--crib=the"},
               "option --crib needs --guess or --list"),
};

INSTANTIATE_TEST_SUITE_P(Steering, Transcript, ::testing::ValuesIn(kSteering), RowName);
INSTANTIATE_TEST_SUITE_P(EachLine, Transcript, ::testing::ValuesIn(kEachLine), RowName);
INSTANTIATE_TEST_SUITE_P(Finding, Transcript, ::testing::ValuesIn(kFinding), RowName);

}  // namespace
