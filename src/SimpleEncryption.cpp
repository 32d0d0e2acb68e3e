#include "SimpleEncryption.h"

#include <cstddef>
#include <iostream>
#include <string>

namespace {

// The per-call constants of one rotation, worked out once so that the loop body is nothing but
// byte arithmetic.
struct Rotation {
  explicit Rotation(unsigned char forward)
      : amount(forward),
        wrapAt(static_cast<unsigned char>(26 - forward)),
        wrapStep(static_cast<unsigned char>(forward - 26)) {}
  unsigned char amount;    // 0..25
  unsigned char wrapAt;    // letters at or past this index wrap round to the alphabet's start
  unsigned char wrapStep;  // amount - 26, taken modulo 256 like the sum it is added to
};

// Moves `byte` forward if it is an ASCII letter. Written as 8-bit arithmetic and selects, with
// no branches, no tables and no widening to int, so that a loop of it compiles to SIMD code that
// handles a whole vector of bytes per step.
inline unsigned char RotateByte(unsigned char byte, Rotation rotation) {
  const unsigned char index = SimpleEncryption::LetterIndex(byte);
  const unsigned char step = index >= rotation.wrapAt ? rotation.wrapStep : rotation.amount;
  return index < 26 ? static_cast<unsigned char>(byte + step) : byte;
}

inline char RotateChar(char c, Rotation rotation) {
  // Read as a byte: with a signed char, 0x80..0xFF would otherwise be negative.
  return static_cast<char>(RotateByte(static_cast<unsigned char>(c), rotation));
}

// Rewrites `size` bytes at `data` in place. The compiler vectorises this at the width the build
// targets: 16-byte vectors on baseline x86-64 and arm64, wider with -march. The fixed-length inner
// loop is there so that it does so at -O2 as well as -O3: its trip count is known and needs no
// remainder.
void RotateLetters(char* data, std::size_t size, unsigned char amount) {
  const Rotation rotation(amount);
  constexpr std::size_t kBlock = 64;
  std::size_t i = 0;
  for (; size - i >= kBlock; i += kBlock) {
    char* const block = data + i;
    for (std::size_t j = 0; j < kBlock; ++j) block[j] = RotateChar(block[j], rotation);
  }
  for (; i < size; ++i) data[i] = RotateChar(data[i], rotation);
}

// Any int is safe here: the first remainder lies in -25..25, so adding 26 cannot overflow,
// even for INT_MIN.
int NormaliseShift(int shift) { return ((shift % 26) + 26) % 26; }

// Moving back by the shift is moving forward by its complement, so one rule serves both
// directions and decryption inverts encryption by construction.
unsigned char ForwardAmount(int shiftValue) { return static_cast<unsigned char>(shiftValue); }
unsigned char BackwardAmount(int shiftValue) {
  return static_cast<unsigned char>((26 - shiftValue) % 26);
}

}  // namespace

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

char SimpleEncryption::EncryptChar(char c) const {
  return RotateChar(c, Rotation(ForwardAmount(shiftValue)));
}

char SimpleEncryption::DecryptChar(char c) const {
  return RotateChar(c, Rotation(BackwardAmount(shiftValue)));
}

std::string SimpleEncryption::EncryptString(const std::string& text) const {
  std::string encrypted = text;
  EncryptInPlace(encrypted.data(), encrypted.size());
  return encrypted;
}

std::string SimpleEncryption::DecryptString(const std::string& text) const {
  std::string decrypted = text;
  DecryptInPlace(decrypted.data(), decrypted.size());
  return decrypted;
}

void SimpleEncryption::EncryptInPlace(char* data, std::size_t size) const {
  RotateLetters(data, size, ForwardAmount(shiftValue));
}

void SimpleEncryption::DecryptInPlace(char* data, std::size_t size) const {
  RotateLetters(data, size, BackwardAmount(shiftValue));
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
