#include "Alphabet.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <locale>
#include <set>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "Diagnostics.h"
#include "LanguageModels.h"
#include "Unicode.h"

namespace {

char* Encode(char32_t c, char* out) {
  if (c < 0x80) {
    *out++ = static_cast<char>(c);
  } else if (c < 0x800) {
    *out++ = static_cast<char>(0xC0 | (c >> 6));
    *out++ = static_cast<char>(0x80 | (c & 0x3F));
  } else if (c < 0x10000) {
    *out++ = static_cast<char>(0xE0 | (c >> 12));
    *out++ = static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    *out++ = static_cast<char>(0x80 | (c & 0x3F));
  } else {
    *out++ = static_cast<char>(0xF0 | (c >> 18));
    *out++ = static_cast<char>(0x80 | ((c >> 12) & 0x3F));
    *out++ = static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    *out++ = static_cast<char>(0x80 | (c & 0x3F));
  }
  return out;
}

// Whether `alphabet` is the 52 ASCII letters, in their order: a to z, whose capitals Unicode's
// mapping makes A to Z.
bool AsciiLetters(const Alphabet& alphabet) {
  const std::u32string_view lower = U"abcdefghijklmnopqrstuvwxyz";
  return std::equal(alphabet.Lower().begin(), alphabet.Lower().end(), lower.begin(), lower.end());
}

std::string Encoded(char32_t c) {
  std::string text(4, '\0');
  text.resize(static_cast<std::size_t>(Encode(c, text.data()) - text.data()));
  return text;
}

}  // namespace

Alphabet::Alphabet(std::string called, std::vector<char32_t> letters, std::size_t tableRow)
    : name(std::move(called)), lower(std::move(letters)), row(tableRow) {
  const std::set<char32_t> all(lower.begin(), lower.end());
  std::set<char32_t> capitals;
  for (const char32_t letter : lower) {
    // A letter without a capital maps to itself, which is among the letters.
    const char32_t capital = SimpleUppercase(letter);
    if (all.count(capital) > 0 || !capitals.insert(capital).second) {
      upper.clear();
      break;
    }
    upper.push_back(capital);
  }
  for (std::size_t i = 0; i < lower.size(); ++i) {
    places.emplace_back(lower[i], static_cast<int>(i));
    if (!upper.empty()) places.emplace_back(upper[i], static_cast<int>(i));
  }
  std::sort(places.begin(), places.end());
}

int Alphabet::Index(char32_t c) const {
  const auto found = std::lower_bound(places.begin(), places.end(), std::make_pair(c, 0));
  return found != places.end() && found->first == c ? found->second : -1;
}

bool Alphabet::Ascii() const {
  return std::all_of(places.begin(), places.end(),
                     [](const std::pair<char32_t, int>& place) { return place.first < 0x80; });
}

Alphabet PresetAlphabet(std::size_t row) {
  const AlphabetModel& model = kAlphabetModels[row];
  return {model.name, {model.letters, model.letters + model.size}, row};
}

namespace {

// The number of single-character edits that turn `a` into `b`.
std::size_t EditDistance(const std::string& a, const std::string& b) {
  std::vector<std::size_t> row(b.size() + 1);
  for (std::size_t j = 0; j <= b.size(); ++j) row[j] = j;
  for (std::size_t i = 1; i <= a.size(); ++i) {
    std::size_t diagonal = row[0];
    row[0] = i;
    for (std::size_t j = 1; j <= b.size(); ++j) {
      const std::size_t above = row[j];
      row[j] = std::min({above + 1, row[j - 1] + 1, diagonal + (a[i - 1] == b[j - 1] ? 0 : 1)});
      diagonal = above;
    }
  }
  return row[b.size()];
}

// `text` with its ASCII capitals in lower case, whatever the locale.
std::string Lowered(std::string text) {
  const auto& classic = std::use_facet<std::ctype<char>>(std::locale::classic());
  classic.tolower(text.data(), text.data() + text.size());
  return text;
}

// The alphabet of the language that `folded` is the code of, or begins the name of, or nullptr.
const char* LanguageAlphabet(const std::string& folded) {
  for (const LanguageModel& model : kLanguageModels) {
    const std::string language = Lowered(model.name);
    const bool begins = folded.size() >= 2 && language.compare(0, folded.size(), folded) == 0;
    if (folded == model.code || begins) return kAlphabetModels[model.alphabet].name;
  }
  return nullptr;
}

// The one preset a single typing slip away from `folded`, or nullptr.
const char* OneSlipAway(const std::string& folded) {
  const char* near = nullptr;
  for (const AlphabetModel& model : kAlphabetModels) {
    if (EditDistance(folded, model.name) != 1) continue;
    if (near != nullptr) return nullptr;
    near = model.name;
  }
  return near;
}

// The preset that `name` most likely meant, or nullptr: the one it names when spaces, case and
// a region (ru_RU) are left aside; the alphabet of the language it names or begins the name of
// (de, English, gr); or the one preset a single typing slip away (ua), from a name of two letters
// or more: one letter is a slip away from every two-letter name that holds it, which would make
// the suggestion whichever of those happens to be alone.
const char* Nearest(const std::string& name) {
  std::string folded;
  for (const char c : name.substr(0, name.find_first_of("_-."))) {
    if (c != ' ' && c != '\t') folded += c;
  }
  folded = Lowered(folded);
  const auto* const named =
      std::find_if(kAlphabetModels.begin(), kAlphabetModels.end(),
                   [&folded](const AlphabetModel& model) { return folded == model.name; });
  if (named != kAlphabetModels.end()) return named->name;
  const char* const alphabet = LanguageAlphabet(folded);
  if (alphabet != nullptr) return alphabet;
  return folded.size() >= 2 ? OneSlipAway(folded) : nullptr;
}

}  // namespace

Alphabet FindPreset(const std::string& name, std::string& error) {
  std::string presets;
  for (std::size_t row = 0; row < kAlphabetModels.size(); ++row) {
    if (name == kAlphabetModels[row].name) return PresetAlphabet(row);
    presets += std::string(row == 0 ? "" : ", ") + kAlphabetModels[row].name;
  }
  const char* const nearest = Nearest(name);
  error = "unknown alphabet " + Quote(name) +
          (nearest != nullptr ? std::string("; did you mean ") + Quote(nearest) + "?" : "") +
          "\nThe alphabets are " + presets + "; --letters takes letters of your own.";
  return {};
}

Alphabet LettersAlphabet(const std::string& letters, std::string& error) {
  std::vector<char32_t> found;
  const auto* const data = reinterpret_cast<const unsigned char*>(letters.data());
  const std::string invalid = "invalid alphabet " + Quote(letters) + ": ";
  for (std::size_t i = 0; i < letters.size();) {
    char32_t c = 0;
    const int length = DecodeUtf8(data + i, letters.size() - i, c);
    if (length <= 0) {
      error = invalid + "not UTF-8";
      return {};
    }
    static constexpr std::array<const char*, 6> kWhat = {"",
                                                         "white space",
                                                         "a control character",
                                                         "a format character",
                                                         "a combining mark",
                                                         "a combining mark"};
    const auto kind = static_cast<std::size_t>(KindOf(c));
    if (kind != 0) {
      std::array<char, 16> point{};
      static_cast<void>(
          std::snprintf(point.data(), point.size(), "U+%04X", static_cast<unsigned>(c)));
      // A mark is most often half of a letter typed decomposed, as e and U+0301 for é.
      error = invalid + point.data() + " is " + kWhat[kind] + ", which cannot stand for a letter" +
              (kind >= 4 ? "; write the letter it marks precomposed" : "");
      return {};
    }
    if (std::find(found.begin(), found.end(), c) != found.end()) {
      error = invalid + Quote(Encoded(c)) + " more than once";
      return {};
    }
    found.push_back(c);
    i += static_cast<std::size_t>(length);
  }
  if (found.size() < 2) {
    error = invalid + "fewer than two letters";
    return {};
  }
  return {letters, found};
}

int DecodeUtf8(const unsigned char* data, std::size_t available, char32_t& c) {
  const unsigned char first = data[0];
  if (first < 0x80) {
    c = first;
    return 1;
  }
  // The second byte's range shuts out overlong forms, surrogates and what lies past U+10FFFF.
  int length = 0;
  unsigned char least = 0x80;
  unsigned char most = 0xBF;
  if (first < 0xC2) return 0;
  if (first < 0xE0) {
    length = 2;
    c = first & 0x1FU;
  } else if (first < 0xF0) {
    length = 3;
    c = first & 0x0FU;
    least = first == 0xE0 ? 0xA0 : least;
    most = first == 0xED ? 0x9F : most;
  } else if (first < 0xF5) {
    length = 4;
    c = first & 0x07U;
    least = first == 0xF0 ? 0x90 : least;
    most = first == 0xF4 ? 0x8F : most;
  } else {
    return 0;
  }
  for (std::size_t i = 1; i < static_cast<std::size_t>(length); ++i) {
    if (i == available) return kCutShort;
    const unsigned char next = data[i];
    if (next < least || next > most) return 0;
    c = c << 6 | (next & 0x3FU);
    least = 0x80;
    most = 0xBF;
  }
  return length;
}

std::size_t CutShortTail(const char* data, std::size_t size) {
  const auto* const bytes = reinterpret_cast<const unsigned char*>(data);
  for (std::size_t back = 1; back <= AlphabetRotation::kMostHeld && back <= size; ++back) {
    const std::size_t at = size - back;
    if ((bytes[at] & 0xC0U) == 0x80U) continue;
    char32_t c = 0;
    return DecodeUtf8(bytes + at, back, c) == kCutShort ? back : 0;
  }
  return 0;
}

void Utf8Decoder::Decode(const char* data, std::size_t size, std::vector<Character>& out) {
  const auto* const bytes = reinterpret_cast<const unsigned char*>(data);
  const auto emit = [&out](int length, char32_t c) {
    out.push_back(length == 0 ? Character{Character::kNone, 1}
                              : Character{c, static_cast<std::uint8_t>(length)});
    return length == 0 ? std::size_t{1} : static_cast<std::size_t>(length);
  };
  std::size_t i = 0;
  // A character that the last piece cut short, completed a byte at a time, or found to be none,
  // the bytes after its first then looked at again.
  for (; heldSize > 0 && i < size; ++i) {
    held[heldSize++] = bytes[i];
    while (heldSize > 0) {
      char32_t c = 0;
      const int length = DecodeUtf8(held.data(), heldSize, c);
      if (length == kCutShort) break;
      const std::size_t used = emit(length, c);
      std::copy(held.begin() + static_cast<std::ptrdiff_t>(used),
                held.begin() + static_cast<std::ptrdiff_t>(heldSize), held.begin());
      heldSize -= used;
    }
  }
  while (i < size) {
    if (bytes[i] < 0x80) {
      out.push_back({bytes[i++], 1});
      continue;
    }
    char32_t c = 0;
    const int length = DecodeUtf8(bytes + i, size - i, c);
    if (length == kCutShort) {
      std::copy(bytes + i, bytes + size, held.begin());
      heldSize = size - i;
      return;
    }
    i += emit(length, c);
  }
}

AlphabetRotation::Code AlphabetRotation::CodeOf(char32_t c) {
  Code code{};
  code.length = static_cast<unsigned char>(Encode(c, code.bytes.data()) - code.bytes.data());
  return code;
}

AlphabetRotation::AlphabetRotation(const Alphabet& alphabet, int shift, bool forward) {
  const int size = alphabet.Size();
  const int forth = (shift % size + size) % size;
  const int places = forward ? forth : (size - forth) % size;
  if (AsciiLetters(alphabet)) {
    ascii.emplace(places);
    return;
  }
  // Every code point below U+0800 as it is, made once: a rotation changes only its letters', and
  // making all of them again would cost a short line's decryption more than its guess.
  static const std::vector<Code> kUnchanged = [] {
    std::vector<Code> codes(0x800);
    for (char32_t c = 0; c < codes.size(); ++c) codes[c] = CodeOf(c);
    return codes;
  }();
  low = kUnchanged;
  for (const auto* letters : {&alphabet.Lower(), &alphabet.Upper()}) {
    for (std::size_t i = 0; i < letters->size(); ++i) {
      const char32_t from = (*letters)[i];
      const char32_t to = (*letters)[(i + static_cast<std::size_t>(places)) % letters->size()];
      if (from < low.size()) {
        low[from] = CodeOf(to);
      } else {
        high.emplace_back(from, to);
      }
    }
  }
  std::sort(high.begin(), high.end());
  const auto twoBytes = [](char32_t c) { return c >= 0x80 && c < 0x800; };
  twoByteLetters = std::all_of(alphabet.Lower().begin(), alphabet.Lower().end(), twoBytes) &&
                   std::all_of(alphabet.Upper().begin(), alphabet.Upper().end(), twoBytes);
}

void AlphabetRotation::BuildTwoByteChanges() {
  // By two bytes as they lie in memory, how a character of two bytes there changes: its first
  // byte, and its second, by exclusive or. Nothing for two bytes that are not such a character.
  inPlace.resize(0x10000);
  for (unsigned first = 0xC2; first <= 0xDF; ++first) {
    for (unsigned second = 0x80; second <= 0xBF; ++second) {
      const Code& code = low[(first & 0x1FU) << 6 | (second & 0x3FU)];
      const std::array<unsigned char, 2> bytes{static_cast<unsigned char>(first),
                                               static_cast<unsigned char>(second)};
      std::uint16_t key = 0;
      std::memcpy(&key, bytes.data(), bytes.size());
      inPlace[key] = {
          static_cast<unsigned char>(first ^ static_cast<unsigned char>(code.bytes[0])),
          static_cast<unsigned char>(second ^ static_cast<unsigned char>(code.bytes[1]))};
    }
  }
}

char* AlphabetRotation::Put(char32_t c, char* out) const {
  if (c < low.size()) {
    // Four bytes are copied whatever the length, which the output's room allows for.
    const Code& code = low[c];
    std::memcpy(out, code.bytes.data(), code.bytes.size());
    return out + code.length;
  }
  const auto found = std::lower_bound(high.begin(), high.end(), std::make_pair(c, char32_t{0}));
  return Encode(found != high.end() && found->first == c ? found->second : c, out);
}

char* AlphabetRotation::Rotate(const char* data, std::size_t size, char* out) {
  if (ascii) {
    std::copy_n(data, size, out);
    ascii->EncryptInPlace(out, size);
    return out + size;
  }
  const auto* input = reinterpret_cast<const unsigned char*>(data);
  // A character begun in the last block: completed by the first bytes of this one, or not.
  while (heldSize > 0) {
    std::array<unsigned char, 2 * kMostHeld> joined{};
    std::copy_n(held.begin(), heldSize, joined.begin());
    const std::size_t taken = std::min(size, kMostHeld);
    std::copy_n(input, taken, joined.begin() + static_cast<std::ptrdiff_t>(heldSize));
    char32_t c = 0;
    const int length = DecodeUtf8(joined.data(), heldSize + taken, c);
    if (length == kCutShort) {
      std::copy_n(input, size, held.begin() + static_cast<std::ptrdiff_t>(heldSize));
      heldSize += size;
      return out;
    }
    if (length == 0) {
      // Its first byte begins nothing: passed on, and the rest looked at again.
      *out++ = static_cast<char>(held[0]);
      std::copy(held.begin() + 1, held.begin() + static_cast<std::ptrdiff_t>(heldSize),
                held.begin());
      --heldSize;
      continue;
    }
    out = Put(c, out);
    const std::size_t fromInput = static_cast<std::size_t>(length) - heldSize;
    input += fromInput;
    size -= fromInput;
    heldSize = 0;
  }
  std::size_t used = 0;
  out = Rotate(input, size, out, used);
  std::copy(input + used, input + size, held.begin());
  heldSize = size - used;
  return out;
}

std::size_t AlphabetRotation::RotateTwoByteLetters(const unsigned char* data, std::size_t size,
                                                   char* out) const {
  // Every letter is two bytes and becomes two bytes, so that text keeps its length and each
  // byte's fate is decided by it and its neighbours: a byte from C2 to DF followed by a
  // continuation byte begins a letter or other character wherever it stands, since no character
  // takes it as a continuation. No byte waits to learn where the character before it ended, so
  // the processor works on many at once: Russian prose goes three times as fast as by the loop
  // of Rotate. The last few bytes, from where a character may begin, are left to that loop,
  // which holds back one cut short.
  if (size <= kMostHeld) return 0;
  std::size_t end = size - kMostHeld;
  while (end > 0 && (data[end] & 0xC0U) == 0x80U) --end;
  const Change* const changes = inPlace.data();
  unsigned carried = 0;  // the change to this byte, if the one before began a character
  for (std::size_t i = 0; i < end; ++i) {
    std::uint16_t key = 0;
    std::memcpy(&key, data + i, sizeof key);
    const Change change = changes[key];
    out[i] = static_cast<char>(data[i] ^ change.first ^ carried);
    carried = change.second;
  }
  return end;
}

char* AlphabetRotation::Rotate(const unsigned char* data, std::size_t size, char* out,
                               std::size_t& used) {
  // The table of changes takes as long to build as the loop below takes for some kilobytes: a
  // short text, as a line of --lines is, is rotated without it.
  rotated += size;
  if (twoByteLetters && inPlace.empty() && rotated >= kBytesBeforeTable) BuildTwoByteChanges();
  std::size_t i = inPlace.empty() ? 0 : RotateTwoByteLetters(data, size, out);
  out += i;
  const Code* const table = low.data();
  // Most text is ASCII, or two-byte characters as accented, Cyrillic and Greek letters are:
  // these are looked up as they stand. Four to a round, so that each of the four tests of which
  // comes has a history of its own to be predicted from: a word's letters and the space after it
  // then mispredict less often, and Spanish prose in -a es takes half the time.
  const auto step = [table, data, &i, &out] {
    const unsigned first = data[i];
    const unsigned second = data[i + 1];
    const bool two = first - 0xC2U < 0x1EU && (second & 0xC0U) == 0x80U;
    if (first >= 0x80 && !two) return false;
    const Code& code = table[two ? (first & 0x1FU) << 6 | (second & 0x3FU) : first];
    // Four bytes are copied whatever the length, which the output's room allows for.
    std::memcpy(out, code.bytes.data(), code.bytes.size());
    out += code.length;
    i += two ? 2 : 1;
    return true;
  };
  for (;;) {
    while (i + 7 < size && step() && step() && step() && step()) {
    }
    while (i + 1 < size && step()) {
    }
    if (i == size) break;
    char32_t c = 0;
    const int length = DecodeUtf8(data + i, size - i, c);
    if (length == kCutShort) break;
    if (length == 0) {
      *out++ = static_cast<char>(data[i]);
      ++i;
      continue;
    }
    out = Put(c, out);
    i += static_cast<std::size_t>(length);
  }
  used = i;
  return out;
}

char* AlphabetRotation::Finish(char* out) {
  out = std::copy_n(reinterpret_cast<const char*>(held.data()), heldSize, out);
  heldSize = 0;
  return out;
}

std::string AlphabetRotation::Rotate(const std::string& text) {
  std::string out(kMostGrowth * (text.size() + kMostHeld), '\0');
  out.resize(static_cast<std::size_t>(Rotate(text.data(), text.size(), out.data()) - out.data()));
  return out;
}

std::string AlphabetRotation::Finish() {
  std::string out(kMostHeld, '\0');
  out.resize(static_cast<std::size_t>(Finish(out.data()) - out.data()));
  return out;
}
