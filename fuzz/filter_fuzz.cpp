// Feeds arbitrary bytes to the cipher. The first four bytes, when present, choose the shift (any
// int, INT_MIN included); the rest is the text. Every result is checked against a plain per-byte
// reference and both round trips, and any difference aborts so that libFuzzer keeps the input.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "SimpleEncryption.h"

namespace {

void Check(bool holds, const char* what) {
  if (!holds) {
    static_cast<void>(std::fprintf(stderr, "property broken: %s\n", what));
    std::abort();
  }
}

// The shift the cipher should store: the one value 0..25 that differs from `shift` by a
// multiple of 26, found by trying each, in 64-bit arithmetic.
int ExpectedShift(int shift) {
  for (int stored = 0; stored < 26; ++stored) {
    if ((static_cast<long long>(shift) - stored) % 26 == 0) return stored;
  }
  std::abort();
}

// Letters looked up in their alphabet and moved `steps` places on; everything else unchanged.
char Expected(char c, int steps) {
  for (const char* alphabet : {"ABCDEFGHIJKLMNOPQRSTUVWXYZ", "abcdefghijklmnopqrstuvwxyz"}) {
    const char* const at = c == '\0' ? nullptr : std::strchr(alphabet, c);
    if (at != nullptr) return alphabet[(at - alphabet + steps) % 26];
  }
  return c;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  int shift = 0;
  if (size >= sizeof shift) {
    std::memcpy(&shift, data, sizeof shift);
    data += sizeof shift;
    size -= sizeof shift;
  }
  const std::string text(reinterpret_cast<const char*>(data), size);
  const SimpleEncryption cipher(shift);
  const int stored = ExpectedShift(shift);
  Check(cipher.GetShiftValue() == stored, "stored shift is the argument modulo 26");

  const std::string encrypted = cipher.EncryptString(text);
  const std::string decrypted = cipher.DecryptString(text);
  Check(encrypted.size() == text.size() && decrypted.size() == text.size(), "length kept");
  for (std::size_t i = 0; i < text.size(); ++i) {
    Check(encrypted[i] == Expected(text[i], stored), "encryption matches the reference");
    Check(decrypted[i] == Expected(text[i], 26 - stored), "decryption matches the reference");
  }
  Check(cipher.DecryptString(encrypted) == text, "decrypting the encryption restores the text");
  Check(cipher.EncryptString(decrypted) == text, "encrypting the decryption restores the text");
  return 0;
}
