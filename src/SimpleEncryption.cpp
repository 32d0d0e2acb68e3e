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
// handles a whole vector of bytes per step. Setting bit 5 folds 'A'..'Z' onto 'a'..'z', and no
// byte other than a letter lands there, so after the subtraction exactly the letters have an
// index below 26.
inline unsigned char RotateByte(unsigned char byte, Rotation rotation) {
  const auto index = static_cast<unsigned char>((byte | 0x20U) - 'a');
  const unsigned char step = index >= rotation.wrapAt ? rotation.wrapStep : rotation.amount;
  return index < 26 ? static_cast<unsigned char>(byte + step) : byte;
}

inline char RotateChar(char c, Rotation rotation) {
  // Read as a byte: with a signed char, 0x80..0xFF would otherwise be negative.
  return static_cast<char>(RotateByte(static_cast<unsigned char>(c), rotation));
}

// Rewrites `size` bytes at `data` in place. The fixed-length inner loop is there so that the
// compiler vectorises it at -O2 as well as -O3: its trip count is known and needs no remainder.
// Always inlined, so that each caller below gets its own copy compiled for its own vector width.
[[gnu::always_inline]] inline void RotateBlocks(char* data, std::size_t size, Rotation rotation) {
  constexpr std::size_t kBlock = 64;
  std::size_t i = 0;
  for (; size - i >= kBlock; i += kBlock) {
    char* const block = data + i;
    for (std::size_t j = 0; j < kBlock; ++j) block[j] = RotateChar(block[j], rotation);
  }
  for (; i < size; ++i) data[i] = RotateChar(data[i], rotation);
}

void RotateLettersPortable(char* data, std::size_t size, Rotation rotation) {
  RotateBlocks(data, size, rotation);
}

// The baseline x86-64 target has only 16-byte vectors, which leave the rewrite several times
// slower than the copy before it. Wider clones are chosen at run time from what the processor
// reports, so the one binary still runs anywhere. SIMPLE_ENCRYPTION_WIDEST_CLONE caps the choice
// (0 portable, 1 AVX2, 2 AVX-512) so that the tests can run every clone on one machine.
#if !defined(SIMPLE_ENCRYPTION_WIDEST_CLONE)
#define SIMPLE_ENCRYPTION_WIDEST_CLONE 2
#endif
#if defined(__x86_64__) && defined(__GNUC__)
#define SIMPLE_ENCRYPTION_X86_CLONES 1

__attribute__((target("avx2"))) void RotateLettersAvx2(char* data, std::size_t size,
                                                       Rotation rotation) {
  RotateBlocks(data, size, rotation);
}

__attribute__((target("avx512bw"))) void RotateLettersAvx512(char* data, std::size_t size,
                                                             Rotation rotation) {
  RotateBlocks(data, size, rotation);
}
#endif

void RotateLetters(char* data, std::size_t size, unsigned char amount) {
  const Rotation rotation(amount);
#if defined(SIMPLE_ENCRYPTION_X86_CLONES)
  if (SIMPLE_ENCRYPTION_WIDEST_CLONE >= 2 && __builtin_cpu_supports("avx512bw")) {
    RotateLettersAvx512(data, size, rotation);
    return;
  }
  if (SIMPLE_ENCRYPTION_WIDEST_CLONE >= 1 && __builtin_cpu_supports("avx2")) {
    RotateLettersAvx2(data, size, rotation);
    return;
  }
#endif
  RotateLettersPortable(data, size, rotation);
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
