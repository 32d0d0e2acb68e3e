// Runs the fuzz target's checks on each file named on the command line, and on inputs made here
// at the filters' real bounds, without libFuzzer, so that every build, whatever its compiler or
// target, replays them in its tests.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "Filter.h"
#include "ShiftGuess.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);

namespace {

// The fuzz input for `stream` with this shift and seed for the read sizes.
std::string Input(std::int32_t shift, std::uint64_t seed, const std::string& stream) {
  std::string input(sizeof shift + sizeof seed, '\0');
  std::memcpy(input.data(), &shift, sizeof shift);
  std::memcpy(input.data() + sizeof shift, &seed, sizeof seed);
  return input + stream;
}

std::string Repeat(const std::string& piece, std::size_t bytes) {
  std::string whole;
  while (whole.size() < bytes) whole += piece;
  whole.resize(bytes);
  return whole;
}

// Too large to keep as files, and made from the bounds, so that they stay at them.
std::vector<std::string> InputsAtTheBounds() {
  const std::string text = "Wkh hqhpb dwwdfnv dw gdzq, dqg wkh fdvwoh pxvw krog. ";
  const std::string letterless = std::string("0123456789 \n\0\xFF.,;-", 18);
  return {
      // One letter, then nothing but line feeds to the end of the guess's span, then text.
      Input(5, 0x5DD1'92ED'4A32'D1B5,
            "Q" + std::string(ShiftGuesser::Bounds{}.span - 1, '\n') + text),
      // A first block without letters, and one byte more, before the letters.
      Input(7, 0x9E37'79B9'7F4A'7C14, Repeat(letterless, kBlockSize) + text),
      Input(-7, 0x9E37'79B9'7F4A'7C15, Repeat(letterless, kBlockSize + 1) + text),
      // A sample that ends inside the first block, then more than a block after it.
      Input(3, 0x5851'F42D'4C95'7F2E, Repeat(text, 2 * kBlockSize + 1000)),
  };
}

// The target aborts on a broken property.
void Replay(const std::string& input) {
  static_cast<void>(
      LLVMFuzzerTestOneInput(reinterpret_cast<const std::uint8_t*>(input.data()), input.size()));
}

}  // namespace

int main(int argc, char* argv[]) {
  for (int i = 1; i < argc; ++i) {
    std::ifstream file(argv[i], std::ios::binary);
    if (!file) {
      static_cast<void>(std::fprintf(stderr, "cannot read %s\n", argv[i]));
      return 1;
    }
    Replay({std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()});
  }
  const std::vector<std::string> made = InputsAtTheBounds();
  for (const std::string& input : made) Replay(input);
  static_cast<void>(
      std::printf("%d files and %zu inputs at the bounds replayed\n", argc - 1, made.size()));
  return argc > 1 ? 0 : 1;
}
