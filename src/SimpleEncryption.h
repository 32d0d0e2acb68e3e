#ifndef SIMPLE_ENCRYPTION_H
#define SIMPLE_ENCRYPTION_H

#include <cstddef>
#include <string>

// A Caesar (shift) cipher over the 52 ASCII letters.
//
// Each letter moves by the shift within its own case and wraps around ('z' forward by 1 is 'a').
// Every other byte, NUL and 0x80..0xFF included, passes through unchanged, and the locale is
// never consulted, so results are the same in every environment. Any `int` is accepted as a
// shift and taken modulo 26. Strings are handled by length, so they may hold any bytes.
//
//   const SimpleEncryption cipher(3);
//   cipher.EncryptString("Zebra-123 xyz");  // "Cheud-123 abc"
class SimpleEncryption {
 public:
  // Creates a cipher that moves letters forward by `shift` modulo 26.
  explicit SimpleEncryption(int shift);
  ~SimpleEncryption();

  // Replaces the shift with `shift` modulo 26.
  void SetShiftValue(int shift);
  // Returns the shift in use, always 0..25.
  [[nodiscard]] int GetShiftValue() const;

  // Returns true exactly for 'A'..'Z' and 'a'..'z'.
  [[nodiscard]] bool IsAlpha(char c) const;
  // Returns true exactly for 'A'..'Z'.
  [[nodiscard]] bool IsUpper(char c) const;

  // Returns `c` moved forward by the shift if it is a letter, otherwise `c` itself.
  [[nodiscard]] char EncryptChar(char c) const;
  // Returns `c` moved back by the shift if it is a letter, otherwise `c` itself.
  [[nodiscard]] char DecryptChar(char c) const;

  // Returns a copy of `text` with every letter moved forward by the shift.
  [[nodiscard]] std::string EncryptString(const std::string& text) const;
  // Returns a copy of `text` with every letter moved back by the shift.
  [[nodiscard]] std::string DecryptString(const std::string& text) const;

  // Rewrites the `size` bytes at `data` as EncryptString and DecryptString would return them, so
  // that a stream can be rotated block by block in one buffer, with no copy.
  void EncryptInPlace(char* data, std::size_t size) const;
  void DecryptInPlace(char* data, std::size_t size) const;

  // Returns the place of a letter in the alphabet, 0..25 for 'a'..'z' and for 'A'..'Z', and 26 or
  // more for every other byte. Setting bit 5 folds 'A'..'Z' onto 'a'..'z', and no other byte
  // lands there. Branch-free 8-bit arithmetic, so that loops of it vectorise.
  static constexpr unsigned char LetterIndex(unsigned char byte) {
    return static_cast<unsigned char>((byte | 0x20U) - 'a');
  }

  // Writes a seven-line demonstration to standard output: the shift, a fixed sentence, its
  // encryption, the decryption of that, and whether the round trip restored the sentence.
  void DemoEncryption() const;

 private:
  // Always 0..25: every writer normalises first, so the letter rule never sees a negative or
  // oversized shift.
  int shiftValue;
};

#endif  // SIMPLE_ENCRYPTION_H
