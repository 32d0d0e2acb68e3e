#include "Filter.h"

#include <cstddef>
#include <cstdint>
#include <vector>

#include "SimpleEncryption.h"

bool RotateStream(const SimpleEncryption& cipher, bool encrypt, const Reader& read,
                  const Writer& write, std::size_t blockSize) {
  // Each block is read to a page boundary, because the kernel copies file pages several times
  // more slowly to 16 bytes past one, where malloc puts a buffer of this size.
  constexpr std::size_t kPage = 4096;
  std::vector<char> buffer(kPage + blockSize);
  char* const block =
      buffer.data() + (kPage - reinterpret_cast<std::uintptr_t>(buffer.data()) % kPage) % kPage;
  for (;;) {
    const std::size_t got = read(block, blockSize);
    if (got == 0) return true;
    // Rotated where it was read: rotating a copy would cost a copy of every block, which on
    // some processors takes longer than the rotation.
    if (encrypt) {
      cipher.EncryptInPlace(block, got);
    } else {
      cipher.DecryptInPlace(block, got);
    }
    if (!write(block, got)) return false;
  }
}
