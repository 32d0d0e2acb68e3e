#include "Alphabet.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "Diagnostics.h"
#include "LanguageModels.h"

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

std::string Encoded(char32_t c) {
  std::string text(4, '\0');
  text.resize(static_cast<std::size_t>(Encode(c, text.data()) - text.data()));
  return text;
}

}  // namespace

Alphabet::Alphabet(std::string called, std::vector<char32_t> letters)
    : name(std::move(called)), lower(std::move(letters)) {
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

std::size_t PresetIndex(const std::string& name) {
  const auto* const found =
      std::find_if(kAlphabetModels.begin(), kAlphabetModels.end(),
                   [&name](const AlphabetModel& model) { return name == model.name; });
  return static_cast<std::size_t>(found - kAlphabetModels.begin());
}

Alphabet Preset(std::size_t index) {
  const AlphabetModel& model = kAlphabetModels[index];
  return {model.name, {model.letters, model.letters + model.size}};
}

Alphabet MakeAlphabet(const std::string& name, std::string& error) {
  const std::size_t preset = PresetIndex(name);
  if (preset < kAlphabets) return Preset(preset);
  std::vector<char32_t> letters;
  const auto* const data = reinterpret_cast<const unsigned char*>(name.data());
  for (std::size_t i = 0; i < name.size();) {
    char32_t c = 0;
    const int length = DecodeUtf8(data + i, name.size() - i, c);
    if (length <= 0) {
      error = "invalid alphabet " + Quote(name) + ": not UTF-8";
      return {};
    }
    if (std::find(letters.begin(), letters.end(), c) != letters.end()) {
      error = "invalid alphabet " + Quote(name) + ": " + Quote(Encoded(c)) + " more than once";
      return {};
    }
    letters.push_back(c);
    i += static_cast<std::size_t>(length);
  }
  if (letters.size() < 2) {
    error = "invalid alphabet " + Quote(name) + ": fewer than two letters";
    return {};
  }
  return {name, letters};
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

AlphabetRotation::AlphabetRotation(const Alphabet& alphabet, int shift, bool forward) {
  std::vector<char32_t> moved(0x800);
  for (std::size_t i = 0; i < moved.size(); ++i) moved[i] = static_cast<char32_t>(i);
  const int size = alphabet.Size();
  const int forth = (shift % size + size) % size;
  const int places = forward ? forth : (size - forth) % size;
  for (const auto* letters : {&alphabet.Lower(), &alphabet.Upper()}) {
    for (std::size_t i = 0; i < letters->size(); ++i) {
      const char32_t from = (*letters)[i];
      const char32_t to = (*letters)[(i + static_cast<std::size_t>(places)) % letters->size()];
      if (from < moved.size()) {
        moved[from] = to;
      } else {
        high.emplace_back(from, to);
      }
    }
  }
  std::sort(high.begin(), high.end());
  for (const char32_t c : moved) {
    Code code{};
    code.length = static_cast<unsigned char>(Encode(c, code.bytes.data()) - code.bytes.data());
    low.push_back(code);
  }
  const auto twoBytes = [](char32_t c) { return c >= 0x80 && c < 0x800; };
  if (std::all_of(alphabet.Lower().begin(), alphabet.Lower().end(), twoBytes) &&
      std::all_of(alphabet.Upper().begin(), alphabet.Upper().end(), twoBytes)) {
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

char* AlphabetRotation::Rotate(const unsigned char* data, std::size_t size, char* out,
                               std::size_t& used) {
  std::size_t i = 0;
  if (!inPlace.empty() && size > kMostHeld) {
    // Every letter is two bytes and becomes two bytes, so that text keeps its length and each
    // byte's fate is decided by it and its neighbours: a byte from C2 to DF followed by a
    // continuation byte begins a letter or other character wherever it stands, since no
    // character takes it as a continuation. No byte waits to learn where the character before
    // it ended, so the processor works on many at once: Russian prose goes three times as fast
    // as by the loop below. The last few bytes, from where a character may begin, are left to
    // that loop, which holds back one cut short.
    std::size_t end = size - kMostHeld;
    while (end > 0 && (data[end] & 0xC0U) == 0x80U) --end;
    const Change* const changes = inPlace.data();
    unsigned carried = 0;  // the change to this byte, if the one before began a character
    for (; i < end; ++i) {
      std::uint16_t key = 0;
      std::memcpy(&key, data + i, sizeof key);
      const Change change = changes[key];
      out[i] = static_cast<char>(data[i] ^ change.first ^ carried);
      carried = change.second;
    }
    out += end;
  }
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
