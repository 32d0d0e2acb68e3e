// Feeds arbitrary streams to the filters, split into reads of arbitrary sizes, and checks that the
// result is what the whole stream gives at once: the rotation, the guess, the guessed
// decryption and the runs --find decrypts. Any difference aborts, so that libFuzzer keeps the
// input.
//
// The input, in order: 4 bytes for the shift (any int), 8 bytes that seed the read sizes, and the
// stream. Built for fuzzing, the filters' block holds 256 bytes and the guess takes 64 letters
// within 1 KiB, so that short streams cross every bound; replayed in the tests, the bounds are
// the program's own.
#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "Alphabet.h"
#include "Filter.h"
#include "Find.h"
#include "Guess.h"
#include "ShiftGuess.h"
#include "SimpleEncryption.h"

namespace {

const std::string kLetters = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz";

#ifdef SIMPLE_ENCRYPTION_FUZZ_SMALL_BOUNDS
constexpr ShiftGuesser::Bounds kBounds{64, 1024};
constexpr std::size_t kBlock = 256;
#else
constexpr ShiftGuesser::Bounds kBounds{};
constexpr std::size_t kBlock = kBlockSize;
#endif

void Check(bool holds, const char* what) {
  if (!holds) {
    static_cast<void>(std::fprintf(stderr, "property broken: %s\n", what));
    std::abort();
  }
}

template <typename T>
T Take(const std::uint8_t*& data, std::size_t& size) {
  T value{};
  if (size >= sizeof value) {
    std::memcpy(&value, data, sizeof value);
    data += sizeof value;
    size -= sizeof value;
  }
  return value;
}

// Hands out `stream` in reads whose sizes a seeded generator picks: often a few bytes, sometimes
// all the reader may take.
Reader SplitReader(const std::string& stream, std::uint64_t seed) {
  return [&stream, seed, at = std::size_t{0}](char* data, std::size_t capacity) mutable {
    seed = seed * 6364136223846793005U + 1442695040888963407U;
    const std::uint64_t pick = seed >> 33;
    std::size_t size = pick % 4 == 0 ? capacity : 1 + static_cast<std::size_t>(pick >> 2) % 300;
    size = std::min({size, capacity, stream.size() - at});
    std::memcpy(data, stream.data() + at, size);
    at += size;
    return size;
  };
}

Writer AppendTo(std::string& out) {
  return [&out](const char* data, std::size_t size) {
    out.append(data, size);
    return true;
  };
}

// Where the sample must end, and the letters it holds: after the letter that makes the bound of
// letters, or the bound of bytes from the first letter on, or at the end of the stream.
std::pair<std::size_t, std::size_t> SampleEnd(const std::string& stream) {
  std::size_t letters = 0;
  std::size_t first = std::string::npos;
  for (std::size_t i = 0; i < stream.size(); ++i) {
    if (kLetters.find(stream[i]) != std::string::npos) {
      if (first == std::string::npos) first = i;
      ++letters;
    }
    if (letters == kBounds.letters ||
        (first != std::string::npos && i + 1 - first == kBounds.span)) {
      return {i + 1, letters};
    }
  }
  return {stream.size(), letters};
}

bool Same(const ShiftGuesser::Ranking& a, const ShiftGuesser::Ranking& b) {
  return a.shifts == b.shifts && a.probabilities == b.probabilities &&
         a.noLanguage == b.noLanguage && a.refused == b.refused;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const auto shift = Take<int>(data, size);
  const auto seed = Take<std::uint64_t>(data, size);
  const std::string stream(reinterpret_cast<const char*>(data), size);

  const SimpleEncryption cipher(shift);
  for (const bool encrypt : {true, false}) {
    std::string out;
    AlphabetRotation rotation(PresetAlphabet(0), shift, encrypt);
    Check(RotateStream(rotation, SplitReader(stream, seed), AppendTo(out), kBlock),
          "a rotation whose writes succeed succeeds");
    Check(out == (encrypt ? cipher.EncryptString(stream) : cipher.DecryptString(stream)),
          "the rotated stream is the whole stream rotated at once");
  }

  // Another alphabet, whose letters take two bytes and more, and whose characters the reads may
  // split: the same output as in one piece, and the shift back gives every byte again.
  std::string error;
  const Alphabet alphabet =
      seed % 2 == 0 ? FindPreset("ru", error) : LettersAlphabet("a\u00E9\u20AC\U0001F600", error);
  std::string rotated;
  AlphabetRotation split(alphabet, shift);
  Check(RotateStream(split, SplitReader(stream, seed), AppendTo(rotated), kBlock),
        "a rotation whose writes succeed succeeds");
  AlphabetRotation atOnce(alphabet, shift);
  std::string once = atOnce.Rotate(stream);
  once += atOnce.Finish();
  Check(rotated == once, "the rotated stream is the whole stream rotated at once");
  // A rotation that has rotated enough builds a table of the changes of two-byte letters, which
  // must rotate as the loop does: this one is warmed up on characters it leaves as they are.
  AlphabetRotation warmed(alphabet, shift);
  static_cast<void>(warmed.Rotate(std::string(AlphabetRotation::kBytesBeforeTable, '-')));
  std::string viaTable;
  Check(RotateStream(warmed, SplitReader(stream, ~seed), AppendTo(viaTable), kBlock) &&
            viaTable == once,
        "the table of two-byte changes rotates as the loop does");
  std::string back;
  AlphabetRotation backwards(alphabet, shift, false);
  Check(RotateStream(backwards, SplitReader(rotated, ~seed), AppendTo(back), kBlock) &&
            back == stream,
        "the shift back gives the stream again");

  // The characters are the same however the reads split the stream.
  std::vector<Character> characters;
  std::vector<Character> inPieces;
  Utf8Decoder().Decode(stream.data(), stream.size(), characters);
  Utf8Decoder decoder;
  const Reader read = SplitReader(stream, seed);
  std::string piece(kBlock, '\0');
  for (std::size_t got = 0; (got = read(piece.data(), kBlock)) > 0;) {
    decoder.Decode(piece.data(), got, inPieces);
  }
  Check(std::equal(characters.begin(), characters.end(), inPieces.begin(), inPieces.end(),
                   [](Character a, Character b) { return a.c == b.c && a.length == b.length; }),
        "the characters decoded do not depend on how the reads split the stream");

  ShiftGuesser whole(kBounds);
  whole.Add(stream.data(), stream.size());
  const auto [end, sampleLetters] = SampleEnd(stream);
  Check(whole.Letters() == sampleLetters && (end == stream.size() || whole.Full()),
        "the guesser takes the sample and stops");
  const bool letters = whole.Letters() > 0;
  if (letters) {
    const ShiftGuesser::Ranking ranking = whole.Rank();
    std::vector<int> shifts = ranking.shifts;
    std::sort(shifts.begin(), shifts.end());
    double sum = ranking.noLanguage;
    bool falling = true;
    for (std::size_t i = 0; i < 26; ++i) {
      falling = falling && shifts[i] == static_cast<int>(i) &&
                (i == 0 || ranking.probabilities[i] <= ranking.probabilities[i - 1]);
      sum += ranking.probabilities[i];
    }
    Check(falling && sum > 0.999999 && sum < 1.000001,
          "each shift ranked once, with probabilities that fall with the rank and sum to 1 with "
          "no language's");
  }
  Sample sample(kBounds);
  Check(ReadSample(SplitReader(stream, seed), sample, nullptr, kBlock), "a sample is read");
  Check(sample.Letters() == whole.Letters(), "the sample's letters are the stream's");
  if (letters) {
    Check(Same(sample.Rank(), whole.Rank()),
          "the guess does not depend on how the reads split the stream");
  }

  // The runs that --find decrypts are the same however the reads split the stream, and each letter
  // stays one letter of as many bytes.
  std::string found;
  const Message pieces{SplitReader(stream, seed),
                       [] { return false; },
                       "-",
                       false,
                       true,
                       GuessedAlphabets(),
                       false,
                       "-",
                       {},
                       0,
                       false,
                       0,
                       kBlockSize};
  Check(FindInMessage(true, pieces, AppendTo(found)) == Outcome::kDone,
        "a search whose writes succeed succeeds");
  std::string foundAtOnce;
  Message atOnceMessage = pieces;
  atOnceMessage.read = [&stream, given = false](char* into, std::size_t capacity) mutable {
    const std::size_t all = given ? 0 : std::min(capacity, stream.size());
    std::copy_n(stream.data(), all, into);
    given = true;
    return all;
  };
  atOnceMessage.blockSize = stream.size() + 1;
  Check(FindInMessage(true, atOnceMessage, AppendTo(foundAtOnce)) == Outcome::kDone &&
            found == foundAtOnce && found.size() == stream.size(),
        "the runs found do not depend on how the reads split the stream");

  // Decrypted with the guess in every alphabet it reads a text in, where a letter that the reads
  // split may come before any other: only a start without letters, unchanged, is passed on
  // before the guess, and then the whole stream comes out decrypted.
  std::string guessed;
  const Reader again = SplitReader(stream, seed >> 1);
  const Writer keep = AppendTo(guessed);
  Sample anywhere(kBounds, GuessedAlphabets());
  Check(ReadSample(again, anywhere, &keep, kBlock), "a sample passed on is read");
  Check(stream.compare(0, guessed.size(), guessed) == 0 &&
            (guessed.empty() || anywhere.Letters() == 0 ||
             guessed.find_first_of(kLetters) == std::string::npos),
        "only a start without letters is passed on before the guess");
  if (anywhere.Letters() == 0) {
    guessed += anywhere.held;
    Check(guessed == stream, "a stream without letters is passed on whole");
    return 0;
  }
  const ShiftGuesser::Ranking ranking = anywhere.Rank();
  Check(DecryptRest(ranking.shifts[0], ranking.alphabet, anywhere, again, keep, kBlock),
        "a decryption whose writes succeed succeeds");
  AlphabetRotation decryption(PresetAlphabet(ranking.alphabet), ranking.shifts[0], false);
  std::string expected = decryption.Rotate(stream);
  expected += decryption.Finish();
  Check(guessed == expected, "the decrypted stream is the whole stream decrypted at once");
  return 0;
}
