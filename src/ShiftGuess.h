#ifndef SIMPLE_ENCRYPTION_SHIFT_GUESS_H
#define SIMPLE_ENCRYPTION_SHIFT_GUESS_H

#include <array>
#include <cstddef>
#include <cstdint>

// Guesses which shift encrypted a piece of English text. Each of the 26 candidate shifts is scored
// by how likely the pairs of adjacent letters it decrypts to are in English, word starts and ends
// included, and the best one wins. Letters are counted with case folded; bytes that are not
// ASCII letters only separate words.
//
//   ShiftGuesser guesser;
//   guesser.Add(text.data(), text.size());
//   if (guesser.Letters() > 0) shift = guesser.Guess().shift;
class ShiftGuesser {
 public:
  // A few thousand letters settle any English text; the bound keeps the cost of a guess the same
  // however long the input is. The fuzz build makes it small, so that short inputs reach it.
#ifdef SIMPLE_ENCRYPTION_FUZZ_SIZES
  static constexpr std::size_t kMaxLetters = 64;
#else
  static constexpr std::size_t kMaxLetters = 4096;
#endif

  // Takes in up to `size` bytes of ciphertext and returns how many it took: all of them, unless
  // the letter that brings the count to kMaxLetters comes first, in which case it stops after it.
  std::size_t Add(const char* data, std::size_t size);

  // Returns the number of letters taken in.
  [[nodiscard]] std::size_t Letters() const { return letters; }

  struct Result {
    int shift;     // 0..25, the best-scoring shift
    int runnerUp;  // 0..25, the second best
    bool sure;     // whether the best is clearly ahead of the runner-up
  };
  // Ranks the shifts on what has been taken in; ties go to the smaller shift. Needs a letter.
  [[nodiscard]] Result Guess() const;

 private:
  static constexpr int kOther = 26;  // the symbol for any run of non-letters

  // pairs[earlier][later]: how often each symbol of the ciphertext followed each other.
  std::array<std::array<std::uint32_t, 27>, 27> pairs{};
  int previous = kOther;  // the text starts as if after a non-letter
  std::size_t letters = 0;
};

#endif  // SIMPLE_ENCRYPTION_SHIFT_GUESS_H
