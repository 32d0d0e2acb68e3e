#include <gtest/gtest.h>

#include <array>
#include <cerrno>
#include <climits>
#include <cstddef>
#include <cstdint>
#include <iostream>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "Alphabet.h"
#include "Diagnostics.h"
#include "Filter.h"
#include "Guess.h"
#include "Json.h"
#include "ShiftGuess.h"
#include "SimpleEncryption.h"
#include "expected_output.h"

namespace {

// The expected mapping for every shift and byte, found by looking the byte up in the alphabets
// rather than by arithmetic, so that it shares nothing with the code under test. Built once: the
// sweep looks it up millions of times.
using ReferenceTable = std::array<std::array<unsigned char, 256>, 26>;

const ReferenceTable& Reference() {
  static const ReferenceTable table = [] {
    const std::string upper = "ABCDEFGHIJKLMNOPQRSTUVWXYZ";
    const std::string lower = "abcdefghijklmnopqrstuvwxyz";
    ReferenceTable built{};
    for (std::size_t shift = 0; shift < 26; ++shift) {
      for (std::size_t b = 0; b < 256; ++b) {
        auto mapped = static_cast<unsigned char>(b);
        for (const std::string& alphabet : {upper, lower}) {
          const std::size_t at = alphabet.find(static_cast<char>(b));
          if (at != std::string::npos) {
            mapped = static_cast<unsigned char>(alphabet[(at + shift) % 26]);
          }
        }
        built[shift][b] = mapped;
      }
    }
    return built;
  }();
  return table;
}

unsigned char ReferenceShift(unsigned char byte, int shift) {
  return Reference()[static_cast<std::size_t>(shift % 26)][byte];
}

// Every byte value several times over, so that a string sweep crosses every position a vector
// loop can put a byte in, plus the scalar tail.
std::string AllBytesRepeated() {
  std::string bytes;
  for (int round = 0; round < 3; ++round) {
    for (int b = 0; b < 256; ++b) bytes.push_back(static_cast<char>(b));
  }
  return bytes;
}

TEST(Cipher, EveryByteAndShiftMatchesReferenceAndRoundTrips) {
  const std::string all = AllBytesRepeated();
  for (int shift = 0; shift < 26; ++shift) {
    const SimpleEncryption cipher(shift);
    for (int b = 0; b < 256; ++b) {
      const auto c = static_cast<char>(b);
      const bool upper = b >= 'A' && b <= 'Z';
      const bool letter = upper || (b >= 'a' && b <= 'z');
      ASSERT_EQ(cipher.IsAlpha(c), letter) << "byte " << b;
      ASSERT_EQ(cipher.IsUpper(c), upper) << "byte " << b;
      ASSERT_EQ(static_cast<unsigned char>(cipher.EncryptChar(c)),
                ReferenceShift(static_cast<unsigned char>(b), shift))
          << "byte " << b << " shift " << shift;
      ASSERT_EQ(static_cast<unsigned char>(cipher.DecryptChar(c)),
                ReferenceShift(static_cast<unsigned char>(b), 26 - shift))
          << "byte " << b << " shift " << shift;
    }
    // Every length up to the whole buffer, from a start that varies, so that each string is cut
    // differently into blocks and remainder.
    for (std::size_t length = 0; length <= all.size() - 64; ++length) {
      const std::string text = all.substr(length % 64, length);
      const std::string encrypted = cipher.EncryptString(text);
      const std::string decrypted = cipher.DecryptString(text);
      ASSERT_EQ(encrypted.size(), length);
      ASSERT_EQ(decrypted.size(), length);
      for (std::size_t i = 0; i < length; ++i) {
        const auto byte = static_cast<unsigned char>(text[i]);
        ASSERT_EQ(static_cast<unsigned char>(encrypted[i]), ReferenceShift(byte, shift))
            << "byte " << int{byte} << " at " << i << " of " << length << " shift " << shift;
        ASSERT_EQ(static_cast<unsigned char>(decrypted[i]), ReferenceShift(byte, 26 - shift))
            << "byte " << int{byte} << " at " << i << " of " << length << " shift " << shift;
      }
      // In place, only the bytes in the range move.
      std::string framed = "a" + text + "a";
      cipher.EncryptInPlace(&framed[1], length);
      ASSERT_EQ(framed, "a" + encrypted + "a") << "length " << length;
      ASSERT_EQ(cipher.DecryptString(encrypted), text) << "length " << length;
      ASSERT_EQ(cipher.EncryptString(decrypted), text) << "length " << length;
    }
  }
}

TEST(Cipher, KnownTexts) {
  const SimpleEncryption cipher(3);
  EXPECT_EQ(cipher.EncryptString("abc"), "def");
  EXPECT_EQ(cipher.EncryptString("ABC XYZ"), "DEF ABC");
  EXPECT_EQ(cipher.EncryptString("Zebra-123 xyz"), "Cheud-123 abc");
  EXPECT_EQ(cipher.DecryptString("Cheud-123 abc"), "Zebra-123 xyz");
  EXPECT_EQ(cipher.EncryptString("caf\xC3\xA9"), "fdi\xC3\xA9");
}

TEST(Cipher, ShiftIsTakenModulo26ForEveryInt) {
  struct Case {
    int shift;
    int stored;
  };
  const std::vector<Case> cases = {{3, 3},   {25, 25},  {26, 0},       {-26, 0},     {29, 3},
                                   {-1, 25}, {-27, 25}, {INT_MAX, 23}, {INT_MIN, 2}, {0, 0}};
  const std::string letters = "AZaz Hello";
  for (const auto& c : cases) {
    const SimpleEncryption constructed(c.shift);
    EXPECT_EQ(constructed.GetShiftValue(), c.stored) << "constructed with " << c.shift;
    SimpleEncryption set(7);
    set.SetShiftValue(c.shift);
    EXPECT_EQ(set.GetShiftValue(), c.stored) << "set to " << c.shift;
    EXPECT_EQ(constructed.EncryptString(letters), SimpleEncryption(c.stored).EncryptString(letters))
        << "constructed with " << c.shift;
  }
}

std::string CaptureDemo(const SimpleEncryption& cipher) {
  std::ostringstream captured;
  std::streambuf* const saved = std::cout.rdbuf(captured.rdbuf());
  cipher.DemoEncryption();
  std::cout.rdbuf(saved);
  return captured.str();
}

// The presets' letters as they are written, capitals apart, so that nothing is derived by the code
// under test; each string holds one letter per UTF-8 character.
struct PresetLetters {
  const char* name;
  const char* lower;
  const char* upper;
};
constexpr std::array<PresetLetters, 4> kPresets = {{
    {"es", "abcdefghijklmnñopqrstuvwxyz", "ABCDEFGHIJKLMNÑOPQRSTUVWXYZ"},
    {"ru", "абвгдеёжзийклмнопрстуфхцчшщъыьэюя", "АБВГДЕЁЖЗИЙКЛМНОПРСТУФХЦЧШЩЪЫЬЭЮЯ"},
    {"uk", "абвгґдеєжзиіїйклмнопрстуфхцчшщьюя", "АБВГҐДЕЄЖЗИІЇЙКЛМНОПРСТУФХЦЧШЩЬЮЯ"},
    {"el", "αβγδεζηθικλμνξοπρστυφχψω", "ΑΒΓΔΕΖΗΘΙΚΛΜΝΞΟΠΡΣΤΥΦΧΨΩ"},
}};

std::vector<std::string> Characters(const std::string& text) {
  std::vector<std::string> characters;
  for (const char c : text) {
    if ((static_cast<unsigned char>(c) & 0xC0) == 0x80) {
      characters.back() += c;
    } else {
      characters.emplace_back(1, c);
    }
  }
  return characters;
}

// `text` with its letters moved, given to the rotation `piece` bytes at a time.
std::string Rotated(const Alphabet& alphabet, int shift, bool forward, const std::string& text,
                    std::size_t piece) {
  AlphabetRotation rotation(alphabet, shift, forward);
  std::string out;
  for (std::size_t at = 0; at < text.size(); at += piece)
    out += rotation.Rotate(text.substr(at, piece));
  return out + rotation.Finish();
}

TEST(Alphabet, EveryPresetMovesEachLetterWithinItsCaseForEveryShift) {
  for (const PresetLetters& preset : kPresets) {
    std::string error;
    const Alphabet alphabet = FindPreset(preset.name, error);
    const std::vector<std::string> lower = Characters(preset.lower);
    const std::vector<std::string> upper = Characters(preset.upper);
    ASSERT_EQ(alphabet.Size(), static_cast<int>(lower.size())) << preset.name;
    const int size = alphabet.Size();
    for (const int shift : {0, 1, size - 1, size, size + 2, -1, -size - 3, INT_MAX, INT_MIN}) {
      const int places = (shift % size + size) % size;
      for (std::size_t i = 0; i < lower.size(); ++i) {
        const std::size_t to = (i + static_cast<std::size_t>(places)) % lower.size();
        // Framed by bytes that must pass: ASCII, a lone continuation byte and a Latin letter.
        const std::string text = "-" + lower[i] + "\x80" + upper[i] + "é";
        const std::string expected = "-" + lower[to] + "\x80" + upper[to] + "é";
        ASSERT_EQ(Rotated(alphabet, shift, true, text, text.size()), expected)
            << preset.name << " shift " << shift << " letter " << lower[i];
        ASSERT_EQ(Rotated(alphabet, shift, false, expected, 1), text)
            << preset.name << " shift " << shift << " letter " << lower[i];
      }
    }
  }
}

// Every preset and a custom alphabet of one- to four-byte letters, on text that holds each letter,
// bytes that begin no character, and characters cut short, cut into pieces of every size up to
// seven: the shift back gives every byte again, and the pieces change nothing.
TEST(Alphabet, RoundTripsAnyBytesHoweverTheInputIsCut) {
  const std::string broken =
      "\x80\xBF\xC0\xC1\xF5\xFF\xC3\xE0\x80\x80\xED\xA0\x80\xF4\x90\x80\x80\xE2\x82\xF0\x9F\x98";
  const std::string custom = "aé€😀";
  std::string text = broken + "Zebra-123 xyz " + custom;
  for (const PresetLetters& preset : kPresets) text += std::string(preset.lower) + preset.upper;
  text += broken + "\xE2\x82";
  std::vector<std::string> names(kAlphabetModels.size());
  std::transform(kAlphabetModels.begin(), kAlphabetModels.end(), names.begin(),
                 [](const AlphabetModel& preset) { return preset.name; });
  names.push_back(custom);
  for (const std::string& name : names) {
    std::string error;
    const Alphabet alphabet =
        name == custom ? LettersAlphabet(name, error) : FindPreset(name, error);
    ASSERT_TRUE(error.empty()) << error;
    for (int shift = 0; shift < alphabet.Size(); ++shift) {
      const std::string whole = Rotated(alphabet, shift, true, text, text.size());
      for (std::size_t piece = 1; piece <= 7; ++piece) {
        ASSERT_EQ(Rotated(alphabet, shift, true, text, piece), whole)
            << name << " shift " << shift << " pieces of " << piece;
        ASSERT_EQ(Rotated(alphabet, shift, false, whole, piece), text)
            << name << " shift " << shift << " pieces of " << piece;
      }
    }
  }
}

// Each length of UTF-8 at its bounds: a letter moved across one is written at its own length.
TEST(Alphabet, WritesEachLetterAtItsOwnLength) {
  std::string error;
  const std::string letters = "~\u00A1\u07FF\u0800\uFFFD\U00010000";
  const Alphabet alphabet = LettersAlphabet(letters, error);
  ASSERT_EQ(error, "");
  AlphabetRotation rotation(alphabet, 1);
  EXPECT_EQ(rotation.Rotate(letters), "\u00A1\u07FF\u0800\uFFFD\U00010000~");
  // Two-byte letters and one of three: not all of a length that a byte's neighbour decides.
  const std::string mixed = "\u07FE\u07FF\u0800";
  AlphabetRotation across(LettersAlphabet(mixed, error), 1);
  EXPECT_EQ(across.Rotate(mixed + mixed), "\u07FF\u0800\u07FE\u07FF\u0800\u07FE");
}

// A name that is no preset's is refused, with the one it most likely meant where there is one:
// the suggestion is all that tells the cases apart.
TEST(Alphabet, AMisspeltPresetSuggestsTheOneMeant) {
  const std::array<std::pair<const char*, const char*>, 13> kNames = {{
      {"RU", "ru"},
      {" ru", "ru"},
      {"ru_RU", "ru"},
      {"de", "latin"},
      {"en", "latin"},
      {"English", "latin"},
      {"russian", "ru"},
      {"gr", "el"},
      {"ua", "uk"},
      {"lattin", "latin"},
      {"ABC", nullptr},
      {"xy", nullptr},
      {"g", nullptr},
  }};
  for (const auto& [name, meant] : kNames) {
    std::string error;
    EXPECT_EQ(FindPreset(name, error).Size(), 0) << name;
    const std::string suggestion =
        meant == nullptr ? "" : std::string("; did you mean '") + meant + "'?";
    EXPECT_EQ(error.substr(0, error.find('\n')), "unknown alphabet " + Quote(name) + suggestion);
  }
}

// White space, controls, format characters and combining marks cannot stand for a letter;
// digits and punctuation can.
TEST(Alphabet, LettersOfOnesOwnAreCharactersThatCanBeLetters) {
  const std::array<std::pair<const char*, const char*>, 6> kLetters = {{
      {"a b", "U+0020 is white space"},
      {"a\tb", "U+0009 is a control character"},
      {"ab\u00A0", "U+00A0 is white space"},
      {"a\u202Eb", "U+202E is a format character"},
      {"a\u20DD", "U+20DD is a combining mark"},
      {"0123456789.,", nullptr},
  }};
  for (const auto& [letters, problem] : kLetters) {
    std::string error;
    const Alphabet alphabet = LettersAlphabet(letters, error);
    if (problem == nullptr) {
      EXPECT_EQ(error, "");
      EXPECT_GT(alphabet.Size(), 0);
    } else {
      EXPECT_NE(error.find(std::string(": ") + problem + ", which cannot stand for a letter"),
                std::string::npos)
          << error;
    }
  }
}

TEST(Cipher, DemonstrationShowsNormalisedShiftAndRoundTrip) {
  EXPECT_EQ(CaptureDemo(SimpleEncryption(3)), kDemoWithShift3);
  const SimpleEncryption minusOne(-1);
  EXPECT_EQ(CaptureDemo(minusOne) + CaptureDemo(minusOne), kDemoWithShift25 + kDemoWithShift25);
  EXPECT_EQ(minusOne.GetShiftValue(), 25);
}

// Not from the text the letter statistics were counted from.
TEST(ShiftGuess, FindsEveryShiftOfAnEnglishParagraphSurely) {
  const std::string paragraph =
      "Julius Caesar wrote to his generals in a cipher that moved every letter three places on "
      "in the alphabet. Anyone who knew the trick could read the orders at once.";
  for (int shift = 0; shift < 26; ++shift) {
    const std::string encrypted = SimpleEncryption(shift).EncryptString(paragraph);
    ShiftGuesser guesser;
    guesser.Add(encrypted.data(), encrypted.size());
    const ShiftGuesser::Ranking ranking = guesser.Rank();
    EXPECT_EQ(ranking.shifts[0], shift);
    EXPECT_GT(ranking.probabilities[0], 0.99) << "shift " << shift;
    EXPECT_FALSE(ranking.refused) << "shift " << shift;
  }
  // Long enough that every other shift is as unlikely as a double can say: those tie, and are
  // ranked in shift order.
  std::string longer;
  for (int i = 0; i < 40; ++i) longer += paragraph;
  ShiftGuesser guesser;
  guesser.Add(longer.data(), longer.size());
  const ShiftGuesser::Ranking ranking = guesser.Rank();
  EXPECT_EQ(ranking.probabilities[1], 0.0);
  for (std::size_t i = 2; i < 26; ++i) {
    EXPECT_LT(ranking.shifts[i - 1], ranking.shifts[i]) << "at " << i;
  }
}

// What scoring by kept words must come to: every trigram decrypted, from two gaps on.
std::int64_t TrigramSum(const LanguageModel& model, const std::string& text, int shift) {
  const int gap = model.letters;
  std::vector<int> symbols = {gap, gap};
  for (const char c : text) {
    const bool letter = c >= 'a' && c <= 'z';
    if (letter || symbols.back() != gap) {
      symbols.push_back(letter ? (c - 'a' - shift + 26) % 26 : gap);
    }
  }
  std::int64_t sum = 0;
  for (std::size_t i = 2; i < symbols.size(); ++i) {
    sum += model.Cost(symbols[i - 2], symbols[i - 1], symbols[i]);
  }
  return sum;
}

// One guesser, so that words are kept from other shifts; words too long to keep; a last word open.
TEST(ShiftGuess, ScoresEveryShiftOfEveryLanguageAsTheWholeTextsTrigrams) {
  ShiftGuesser guesser;
  for (const std::string plain :
       {"a cat saw a cat, a dog saw it: pneumonoultramicroscopicsilicovolcanoconiosis too\n",
        "  the dog and the cat"}) {
    for (int shift = 0; shift < 26; ++shift) {
      const std::string text = SimpleEncryption(shift).EncryptString(plain);
      guesser.Clear();
      guesser.Add(text.data(), text.size());
      const ShiftGuesser::Costs costs = guesser.Score();
      std::vector<std::int64_t> sums;
      for (const std::size_t row : costs.models) {
        for (int s = 0; s < 26; ++s) sums.push_back(TrigramSum(kLanguageModels[row], text, s));
      }
      ASSERT_EQ(costs.languages, sums) << plain << ", shift " << shift;
    }
  }
}

std::size_t Row(const char* name) {
  std::size_t row = 0;
  while (std::string(kAlphabetModels[row].name) != name) ++row;
  return row;
}

// The bound of bytes is counted from the first letter, in a reading that decodes UTF-8 as in one
// that does not: what comes before, ASCII or not, may be any length.
TEST(ShiftGuess, TakesItsBoundOfBytesFromTheFirstLetter) {
  for (const char* name : {"latin", "ru"}) {
    const std::string letter = std::string(name) == "ru" ? "\u0436" : "j";
    std::string text(50, '-');
    for (int i = 0; i < 25; ++i) text += "\u00E9";
    for (int i = 0; i < 20; ++i) text += letter;
    // A letter that would end past the bound is not taken.
    ShiftGuesser guesser({4096, 17}, Row(name));
    guesser.Add(text.data(), text.size());
    EXPECT_EQ(guesser.Letters(), 17 / letter.size()) << name;
    EXPECT_TRUE(guesser.Full()) << name;
  }
}

// Where two scripts hold as many letters, the text is read as the default alphabet's; where one
// holds more, as that one's.
TEST(ShiftGuess, ReadsATextInTheScriptOfMostOfItsLetters) {
  const std::array<std::pair<const char*, const char*>, 3> kTexts = {{
      {"Wkh hqhpb \u0436\u0436\u0436 \u0436\u0436\u0436\u0436\u0436", "latin"},
      {"Wkh hqhpb \u0436\u0436\u0436 \u0436\u0436\u0436\u0436\u0436\u0436", "ru"},
      {"Wkh \u03b1\u03b2\u03b3", "latin"},
  }};
  for (const auto& [text, script] : kTexts) {
    Sample sample({}, GuessedAlphabets());
    sample.Add(text, std::string(text).size());
    EXPECT_EQ(kAlphabetModels[sample.Rank().alphabet].script,
              std::string(kAlphabetModels[Row(script)].script))
        << text;
  }
}

// A crib is found in the letters and word gaps decrypted by a shift, however many characters
// part its words and stand around it.
TEST(ShiftGuess, FindsACribInTheDecryption) {
  const std::string text = "Wkh hqhpb dwwdfnv dw gdzq";
  ShiftGuesser guesser;
  guesser.Add(text.data(), text.size());
  for (const char* crib : {"at dawn", "AT  DAWN", " the", "enemy,", "ATTACK"}) {
    EXPECT_TRUE(guesser.Holds(crib, 3)) << crib;
    EXPECT_FALSE(guesser.Holds(crib, 4)) << crib;
  }
  EXPECT_TRUE(
      guesser.Holds("at\xFF"
                    "dawn",
                    3));  // a byte that is no character parts words
  EXPECT_FALSE(guesser.Holds("atdawn", 3));
  EXPECT_FALSE(guesser.Holds("--", 3));
}

// The preview's line is the first that holds a letter of the alphabet, not merely a character
// beyond ASCII.
TEST(Guess, PreviewsTheFirstLineThatHoldsALetter) {
  for (const char* name : {"latin", "ru"}) {
    Sample::FirstLine line(PresetAlphabet(Row(name)));
    const std::string text =
        std::string("\u00E9 \u2014\n") + (std::string(name) == "ru" ? "\u0436\n" : "Wkh\n");
    line.Add(text.data(), text.size());
    EXPECT_EQ(line.Text(64), std::string(name) == "ru" ? "\u0436" : "Wkh") << name;
  }
}

// A ranking of shift 3 first at `best`, then shift 25 at `second`, and the rest of shift order.
ShiftGuesser::Ranking RankingWith(double best, double second, bool refused = false) {
  ShiftGuesser::Ranking ranking{};
  ranking.shifts = {3, 25};
  ranking.shifts.resize(26);
  ranking.probabilities.resize(26);
  for (int i = 2, shift = 0; i < 26; ++shift) {
    if (shift != 3 && shift != 25) ranking.shifts[static_cast<std::size_t>(i++)] = shift;
  }
  ranking.probabilities[0] = best;
  ranking.probabilities[1] = second;
  ranking.noLanguage = 1 - best - second;
  ranking.refused = refused;
  for (std::size_t row = 0; row < kLanguageModels.size(); ++row) {
    if (kLanguageModels[row].alphabet == kDefaultAlphabet) ranking.languages.push_back(row);
  }
  return ranking;
}

// The note is given below 99%, and what it shows is rounded down, so that it never reads 99.0%.
TEST(Guess, NotesWhatItIsNotSureOfAndNeverRoundsUp) {
  EXPECT_EQ(Judge(RankingWith(0.99, 0.005)).message, "");
  EXPECT_EQ(Judge(RankingWith(0.98999, 0.01)).message,
            "uncertain guess: shift 3 at 98.9%, then shift 25 at 1.0%");
  EXPECT_FALSE(Judge(RankingWith(0.5, 0.4)).refused);
  const Judgement refused = Judge(RankingWith(0.999, 0, true));
  EXPECT_TRUE(refused.refused);
  EXPECT_EQ(refused.message, "no shift makes the text read as " + Languages("or", "Latin"));
  // No language is named where it leads, and only there.
  EXPECT_EQ(Judge(RankingWith(0.25, 0.125)).message,
            "uncertain guess: shift 3 at 25.0%, then shift 25 at 12.5%, and no language at 62.5%");
  EXPECT_EQ(Judge(RankingWith(0.5, 0.125)).message,
            "uncertain guess: shift 3 at 50.0%, then shift 25 at 12.5%");
  // Cribs may leave two shifts, and both are named. (Fractions of two, which every target's
  // arithmetic holds exactly.)
  ShiftGuesser::Ranking two = RankingWith(0.5, 0.25);
  two.shifts.resize(2);
  two.probabilities.resize(2);
  EXPECT_EQ(Judge(two).message, "uncertain guess: shift 3 at 50.0%, then shift 25 at 25.0%");
  EXPECT_EQ(Percent(0.99995), "99.9%");
  EXPECT_EQ(Percent(1), "99.9%");  // no guess is certain
  EXPECT_EQ(Percent(0.0004), "0.0%");
}

// Each shift once, with the preview decrypted by it; a tab, an escape and a high byte shown,
// not sent to the terminal, and a long line cut to 64 columns.
TEST(Guess, ListsEveryShiftWithAPreviewThatCannotActOnTheTerminal) {
  const std::string listing =
      Listing(RankingWith(0.75, 0.25), "Wkh\tvhd\x1B[0m \xE9" + std::string(80, 'd'));
  std::istringstream lines(listing);
  std::string line;
  std::getline(lines, line);
  EXPECT_EQ(line, "3\t75.0%\tThe^Isea^[[0j M-i" + std::string(64 - 17, 'a'));
  std::getline(lines, line);
  EXPECT_EQ(line.substr(0, 17), "25\t25.0%\tXli^Iwie");
  int count = 2;
  while (std::getline(lines, line)) ++count;
  EXPECT_EQ(count, 26);
  // Cut by the columns a terminal gives: two for each ideograph, none for a combining mark, and a
  // bidirectional control, which would reverse what follows, shown as its code point.
  std::string ideographs;
  for (int i = 0; i < 40; ++i) ideographs += "\u6F22";
  const std::string wide = Listing(RankingWith(0.75, 0.25), "Wkh\u202E e\u0301" + ideographs);
  EXPECT_EQ(
      wide.substr(0, wide.find('\n')),
      "3\t75.0%\tThe<U+202E> b\u0301" + ideographs.substr(0, std::size_t{3} * ((64 - 13) / 2)));
}

// Quoted as cat quotes a name in the C locale: only where a shell would read it otherwise, # and
// ~ only where they begin a word, and bytes that do not print as escapes.
TEST(Diagnostics, QuotesANameOnlyWhereAShellWouldReadItOtherwise) {
  const std::array<std::pair<const char*, const char*>, 14> kNames = {{
      {"#it's", "\"#it's\""},
      {"it's#x", "'it'\\''s#x'"},
      {"x#", "x#"},
      {"#x", "'#x'"},
      {"x~", "x~"},
      {"~x", "'~x'"},
      {"a{b", "a{b"},
      {"}", "'}'"},
      {"%x,@+", "%x,@+"},
      {"a=b", "'a=b'"},
      {"x!", "'x!'"},
      {"a\x01"
       "b",
       "'a'$'\\001''b'"},
      {"it's", "\"it's\""},
      {"", "''"},
  }};
  for (const auto& [name, quoted] : kNames) EXPECT_EQ(QuoteName(name), quoted) << name;
#ifndef _WIN32
  // A byte that the C locale does not print is never put between double quotes raw. Windows'
  // C locale prints every byte, as its code page's character.
  EXPECT_EQ(QuoteName("it's\xFF"), "'it'\\''s'$'\\377'");
#endif
}

// A JSON string of any bytes: quotes, controls and bytes that are not UTF-8 escaped, the last as
// Python's surrogateescape reads them back; UTF-8 as it is.
TEST(Json, WritesAnyBytesAsAStringThatGivesThemBack) {
  EXPECT_EQ(JsonString("a\"b\\c\n\x7F\xC3\xA9\xFF\xC3"), R"("a\"b\\c\u000a\u007fé\udcff\udcc3")");
  EXPECT_EQ(JsonString(""), R"("")");
}

// A name is quoted in the same call that reports errno's reason, and the compiler may work out
// either argument first: decoding the name must leave errno as it was.
TEST(Diagnostics, QuotingANameKeepsErrno) {
  for (const std::string name : {"caf\xC3\xA9", "\xFF\xFE", "a b"}) {
    errno = ENOENT;
    static_cast<void>(QuoteName(name));
    EXPECT_EQ(errno, ENOENT) << name;
  }
}

}  // namespace
