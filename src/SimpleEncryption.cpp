#include "SimpleEncryption.h"

#include <cstddef>
#include <iostream>
#include <string>

// Moves `byte` forward by `amount` (0..25) if it is an ASCII letter. Written as byte arithmetic
// and selects, with no branches or tables, so that the loop in RotateLetters compiles to SIMD
// code. Setting bit 5 folds 'A'..'Z' onto 'a'..'z'; no byte other than a letter lands there,
// so after the subtraction exactly the letters have an index below 26.
static unsigned char RotateByte(unsigned char byte, unsigned char amount) {
  const auto index = static_cast<unsigned char>((byte | 0x20U) - 'a');
  const bool isLetter = index < 26;
  // Past the end of the alphabet the step is amount - 26, taken modulo 256 like the sum.
  const auto step = static_cast<unsigned char>(index >= 26 - amount ? amount - 26 : amount);
  return isLetter ? static_cast<unsigned char>(byte + step) : byte;
}

static char RotateChar(char c, unsigned char amount) {
  // Read as a byte: with a signed char, 0x80..0xFF would otherwise be negative.
  return static_cast<char>(RotateByte(static_cast<unsigned char>(c), amount));
}

// Rewrites `size` bytes at `data` in place. The fixed-length inner loop is there so that the
// compiler vectorises it at -O2 as well as -O3: its whole trip count is known and no scalar
// remainder is needed inside it.
static void RotateLetters(char* data, std::size_t size, unsigned char amount) {
  constexpr std::size_t kBlock = 64;
  std::size_t i = 0;
  for (; size - i >= kBlock; i += kBlock) {
    char* const block = data + i;
    for (std::size_t j = 0; j < kBlock; ++j) block[j] = RotateChar(block[j], amount);
  }
  for (; i < size; ++i) data[i] = RotateChar(data[i], amount);
}

// Any int is safe here: the first remainder lies in -25..25, so adding 26 cannot overflow,
// even for INT_MIN.
static int NormaliseShift(int shift) { return ((shift % 26) + 26) % 26; }

SimpleEncryption::SimpleEncryption(int shift) : shiftValue(NormaliseShift(shift)) {}

SimpleEncryption::~SimpleEncryption() = default;

void SimpleEncryption::SetShiftValue(int shift) { shiftValue = NormaliseShift(shift); }

int SimpleEncryption::GetShiftValue() const { return shiftValue; }

bool SimpleEncryption::IsAlpha(char c) const {
  const auto byte = static_cast<unsigned char>(c);
  return (byte >= 'A' && byte <= 'Z') || (byte >= 'a' && byte <= 'z');
}

bool SimpleEncryption::IsUpper(char c) const {
  const auto byte = static_cast<unsigned char>(c);
  return byte >= 'A' && byte <= 'Z';
}

// Moving back by the shift is moving forward by its complement, so one rule serves both
// directions and decryption inverts encryption by construction.
static unsigned char ForwardAmount(int shiftValue) {
  return static_cast<unsigned char>(shiftValue);
}
static unsigned char BackwardAmount(int shiftValue) {
  return static_cast<unsigned char>((26 - shiftValue) % 26);
}

char SimpleEncryption::EncryptChar(char c) const {
  return RotateChar(c, ForwardAmount(shiftValue));
}

char SimpleEncryption::DecryptChar(char c) const {
  return RotateChar(c, BackwardAmount(shiftValue));
}

std::string SimpleEncryption::EncryptString(const std::string& text) const {
  std::string result = text;
  RotateLetters(result.data(), result.size(), ForwardAmount(shiftValue));
  return result;
}

std::string SimpleEncryption::DecryptString(const std::string& text) const {
  std::string result = text;
  RotateLetters(result.data(), result.size(), BackwardAmount(shiftValue));
  return result;
}

void SimpleEncryption::DemoEncryption() const {
  std::cout << "=== Simple Encryption Demo ===" << std::endl;
  std::cout << "Shift Value: " << GetShiftValue() << std::endl;
  const std::string original = "Hello World! This is a test message.";
  std::cout << "Original:  " << original << std::endl;
  const std::string encrypted = EncryptString(original);
  std::cout << "Encrypted: " << encrypted << std::endl;
  const std::string decrypted = DecryptString(encrypted);
  std::cout << "Decrypted: " << decrypted << std::endl;
  std::cout << "Match: " << (decrypted == original ? "YES" : "NO") << std::endl;
  std::cout << "==============================" << std::endl;
}
