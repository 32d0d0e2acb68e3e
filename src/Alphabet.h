#ifndef SIMPLE_ENCRYPTION_ALPHABET_H
#define SIMPLE_ENCRYPTION_ALPHABET_H

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "LanguageModels.h"
#include "SimpleEncryption.h"

// The alphabets a shift can move letters within, beyond the 52 ASCII letters of SimpleEncryption,
// and their text as UTF-8.

// The letters a shift moves within: each lower-case letter to the one `shift` places on, each
// capital to the capital of that one, round the end. Every other character stays as it is.
class Alphabet {
 public:
  // The row of an alphabet of letters given on the command line, which no table has.
  static constexpr std::size_t kOwnLetters = SIZE_MAX;

  Alphabet() = default;
  // The letters `letters`, with their capitals by Unicode's simple mapping where every letter has
  // one of its own that is not a letter too; otherwise the letters alone, so that a shift and the
  // shift back are always one another's inverse.
  Alphabet(std::string called, std::vector<char32_t> letters, std::size_t tableRow = kOwnLetters);

  [[nodiscard]] const std::string& Name() const { return name; }
  [[nodiscard]] const std::vector<char32_t>& Lower() const { return lower; }
  [[nodiscard]] const std::vector<char32_t>& Upper() const { return upper; }
  [[nodiscard]] int Size() const { return static_cast<int>(lower.size()); }
  // Its row in kAlphabetModels, or kOwnLetters.
  [[nodiscard]] std::size_t Row() const { return row; }
  // Whether every letter is ASCII, so that no byte from 0x80 up is part of one.
  [[nodiscard]] bool Ascii() const;
  // Returns the place of `c` in the alphabet, in either case, or -1 if it is not a letter of it.
  [[nodiscard]] int Index(char32_t c) const;

 private:
  std::string name;                              // a preset's name, or the letters given
  std::vector<char32_t> lower;                   // in order
  std::vector<char32_t> upper;                   // their capitals in the same order, or none
  std::vector<std::pair<char32_t, int>> places;  // every letter's place, sorted by letter
  std::size_t row = kOwnLetters;
};

// Returns the preset in row `row` of kAlphabetModels.
Alphabet PresetAlphabet(std::size_t row);

// Returns the preset called `name`. If there is none, returns an alphabet without letters and
// says so in `error`, with the presets, and the one most likely meant where one is.
Alphabet FindPreset(const std::string& name, std::string& error);

// Returns the alphabet whose lower-case letters `letters` gives in UTF-8, in order. On a problem,
// returns an alphabet without letters and says what is wrong in `error`: bytes that are not
// UTF-8, a letter twice, fewer than two, or a character that cannot stand for a letter (white
// space, a control or format character, a combining mark).
Alphabet LettersAlphabet(const std::string& letters, std::string& error);

// Reads the UTF-8 character at `data`, of which `available` bytes are there, into `c`. Returns its
// length; 0 if the bytes there begin no character, so that the first one is to pass on by itself;
// or kCutShort if they begin one that ends past `available`. Overlong forms, surrogates and code
// points past U+10FFFF are no characters.
inline constexpr int kCutShort = -1;
int DecodeUtf8(const unsigned char* data, std::size_t available, char32_t& c);

// Returns how many of the last bytes of the `size` at `data` begin a UTF-8 character that they
// cut short, 0 to 3: what must wait for the next block before the character can be moved.
std::size_t CutShortTail(const char* data, std::size_t size);

// A character of UTF-8 text: its code point and length, or for a byte that begins none, kNone
// and 1.
struct Character {
  static constexpr char32_t kNone = 0x110000;  // past every code point
  char32_t c;
  std::uint8_t length;
};

// Decodes UTF-8 text that comes in pieces, once for every reading of it: a character that one
// piece cuts short is completed by the next.
class Utf8Decoder {
 public:
  // Appends to `out` the characters that the `size` bytes at `data` complete.
  void Decode(const char* data, std::size_t size, std::vector<Character>& out);
  // Forgets a character cut short, to decode another text.
  void Clear() { heldSize = 0; }

 private:
  std::array<unsigned char, 4> held{};  // a character cut short, and the byte that completes it
  std::size_t heldSize = 0;
};

// Moves the letters of an alphabet in UTF-8 text that comes in blocks, a character split between
// two blocks included. Bytes that are not UTF-8 pass through as they are, so that the shift back
// gives every byte again.
class AlphabetRotation {
 public:
  // The most bytes of output for a byte of input: an ASCII letter may become a four-byte one.
  static constexpr std::size_t kMostGrowth = 4;
  // The most bytes held back from one block for the next: a character cut short.
  static constexpr std::size_t kMostHeld = 3;
  // Where every letter takes two bytes, how many bytes it rotates by a loop over characters before
  // it builds a table of how two bytes change, which is faster on long text but takes as long to
  // build as a few kilobytes take that loop.
  static constexpr std::size_t kBytesBeforeTable = std::size_t{16} * 1024;

  // Moves letters `shift` places forward, or back if not `forward`.
  AlphabetRotation(const Alphabet& alphabet, int shift, bool forward = true);

  // Whether it keeps every byte where it is, as in the 52 ASCII letters, so that RotateInPlace
  // may be used instead of Rotate, and nothing is ever held back.
  [[nodiscard]] bool InPlace() const { return ascii.has_value(); }
  // Moves the letters of the `size` bytes at `data` where they are. Needs InPlace().
  void RotateInPlace(char* data, std::size_t size) const { ascii->EncryptInPlace(data, size); }

  // Writes the `size` bytes at `data` to `out` with their letters moved, and returns the end of
  // what it wrote, at most kMostGrowth * (size + kMostHeld) bytes. A character that the end of
  // `data` cuts short is held back for the next call, or for Finish.
  char* Rotate(const char* data, std::size_t size, char* out);
  // Writes what was held back, as it is, since nothing follows to complete it.
  char* Finish(char* out);
  // The same two for text in a string.
  std::string Rotate(const std::string& text);
  std::string Finish();

 private:
  // Writes what `c` becomes at `out`, and returns the end of it; may write four bytes.
  char* Put(char32_t c, char* out) const;
  char* Rotate(const unsigned char* data, std::size_t size, char* out, std::size_t& used);
  // Where every letter is two bytes: writes what the `size` bytes at `data` become at `out`, all
  // but the last few, and returns how many it wrote.
  std::size_t RotateTwoByteLetters(const unsigned char* data, std::size_t size, char* out) const;

  // What a character becomes, in UTF-8: its bytes, of which `length` count.
  struct Code {
    std::array<char, 4> bytes;
    unsigned char length;
  };
  static Code CodeOf(char32_t c);
  // For each code point below U+0800, which takes one or two bytes, what it becomes, looked up
  // without decoding a character further than its bytes' bits.
  std::vector<Code> low;
  std::vector<std::pair<char32_t, char32_t>> high;  // the letters from U+0800 on, sorted
  // How the two bytes of a character change, by exclusive or.
  struct Change {
    unsigned char first;
    unsigned char second;
  };
  // Where every letter is two bytes, the change of every two bytes that may be a character, once
  // it has rotated kBytesBeforeTable bytes; else empty.
  void BuildTwoByteChanges();
  bool twoByteLetters = false;
  std::size_t rotated = 0;
  std::vector<Change> inPlace;
  std::array<unsigned char, kMostHeld> held{};
  std::size_t heldSize = 0;
  // In the 52 ASCII letters, their own cipher, by far the fastest, which moves them forward by
  // its shift whichever way this one goes.
  std::optional<SimpleEncryption> ascii;
};

#endif  // SIMPLE_ENCRYPTION_ALPHABET_H
