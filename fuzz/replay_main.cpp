// Runs the fuzz target's checks on each file named on the command line, without libFuzzer, so
// that every build, whatever its compiler or target, replays the corpus in its tests.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);

int main(int argc, char* argv[]) {
  for (int i = 1; i < argc; ++i) {
    std::ifstream file(argv[i], std::ios::binary);
    if (!file) {
      static_cast<void>(std::fprintf(stderr, "cannot read %s\n", argv[i]));
      return 1;
    }
    const std::string input{std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
    static_cast<void>(
        LLVMFuzzerTestOneInput(reinterpret_cast<const std::uint8_t*>(input.data()), input.size()));
  }
  static_cast<void>(std::printf("%d inputs replayed\n", argc - 1));
  return argc > 1 ? 0 : 1;
}
