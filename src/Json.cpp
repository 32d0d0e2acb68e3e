#include "Json.h"

#include <array>
#include <cstddef>
#include <cstdio>
#include <string>

#include "Alphabet.h"

namespace {

std::string Escape(unsigned code) {
  std::array<char, 8> text{};
  static_cast<void>(std::snprintf(text.data(), text.size(), "\\u%04x", code));
  return text.data();
}

}  // namespace

std::string JsonString(const std::string& bytes) {
  std::string json = "\"";
  const auto* const data = reinterpret_cast<const unsigned char*>(bytes.data());
  for (std::size_t i = 0; i < bytes.size();) {
    char32_t c = 0;
    const int length = DecodeUtf8(data + i, bytes.size() - i, c);
    if (length <= 0) {
      json += Escape(0xDC00U + data[i++]);
    } else if (c == '"' || c == '\\') {
      json += {'\\', static_cast<char>(c)};
      ++i;
    } else if (c < 0x20 || c == 0x7F) {
      json += Escape(static_cast<unsigned>(c));
      ++i;
    } else {
      json.append(bytes, i, static_cast<std::size_t>(length));
      i += static_cast<std::size_t>(length);
    }
  }
  return json + '"';
}
