// Prints what the shift guesser weighs for each text, so that tools/fit_guess.py fits the
// constants on the program's own scores rather than on a copy of them.
//
//   printf 'Wkh hqhpb\0Khoor\0' | guess_costs
//
// Reads texts separated by NUL bytes from standard input, each taken in as the program takes a
// message (up to its first 4096 letters), and writes one line for each text that has a letter:
// 1 if it was read as letters without word gaps and 0 if not, the number of letters, the cost of
// no language, and the cost of each language and shift, language by language, in thousandths of
// a nat. A text without letters gets an empty line.
#include <cstddef>
#include <cstdint>
#include <iostream>
#include <iterator>
#include <string>

#include "ShiftGuess.h"

int main() {
  std::ios::sync_with_stdio(false);
  std::string text;
  while (std::getline(std::cin, text, '\0')) {
    ShiftGuesser guesser;
    guesser.Add(text.data(), text.size());
    if (guesser.Letters() > 0) {
      const ShiftGuesser::Costs costs = guesser.Score();
      std::cout << (costs.lettersOnly ? 1 : 0) << ' ' << guesser.Letters() << ' '
                << costs.noLanguage;
      for (const std::int64_t cost : costs.languages) std::cout << ' ' << cost;
    }
    std::cout << '\n';
  }
  return std::cout.flush() ? 0 : 1;
}
