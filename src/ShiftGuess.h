#ifndef SIMPLE_ENCRYPTION_SHIFT_GUESS_H
#define SIMPLE_ENCRYPTION_SHIFT_GUESS_H

#include <array>
#include <cstddef>
#include <cstdint>

// Guesses which shift encrypted a piece of English text. Each of the 26 candidate shifts is scored
// by how likely the pairs of adjacent letters it decrypts to are in English, word starts and ends
// included. Letters are counted with case folded; bytes that are not ASCII letters only separate
// words.
//
//   ShiftGuesser guesser;
//   guesser.Add(text.data(), text.size());
//   if (guesser.Letters() > 0) shift = guesser.Rank().shifts[0];
class ShiftGuesser {
 public:
  // A few thousand letters settle any English text, and a text that spreads them thinner than
  // this over its bytes is hardly English; the bounds keep the cost of a guess, and what a caller
  // must hold to decrypt with it, the same however long the input is. The fuzz build makes them
  // small, so that short inputs reach them.
#ifdef SIMPLE_ENCRYPTION_FUZZ_SIZES
  static constexpr std::size_t kMaxLetters = 64;
  static constexpr std::size_t kMaxSpan = 1024;
#else
  static constexpr std::size_t kMaxLetters = 4096;
  static constexpr std::size_t kMaxSpan = std::size_t{1} << 20;  // bytes from the first letter on
#endif

  // Takes in up to `size` bytes of ciphertext and returns how many it took: all of them, unless
  // it becomes Full() first.
  std::size_t Add(const char* data, std::size_t size);

  // Returns the number of letters taken in.
  [[nodiscard]] std::size_t Letters() const { return letters; }
  // Returns whether it has taken in kMaxLetters letters, or kMaxSpan bytes from the first letter.
  [[nodiscard]] bool Full() const { return letters == kMaxLetters || span == kMaxSpan; }

  struct Ranking {
    std::array<int, 26> shifts;            // most likely first; equal scores in shift order
    std::array<double, 26> probabilities;  // of each of `shifts`, summing to 1
    bool readsAsEnglish;  // false when even the best shift leaves the text far from English
  };
  // Ranks the shifts on what has been taken in. Needs a letter.
  [[nodiscard]] Ranking Rank() const;

 private:
  static constexpr int kOther = 26;  // the symbol for any run of non-letters

  // pairs[earlier][later]: how often each symbol of the ciphertext followed each other.
  std::array<std::array<std::uint32_t, 27>, 27> pairs{};
  std::uint32_t pairCount = 0;
  int previous = kOther;  // the text starts as if after a non-letter
  std::size_t letters = 0;
  std::size_t span = 0;
};

#endif  // SIMPLE_ENCRYPTION_SHIFT_GUESS_H
