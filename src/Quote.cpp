#include "Quote.h"

#include <algorithm>
#include <string>

namespace {

bool IsControl(char c) {
  const auto byte = static_cast<unsigned char>(c);
  return byte < 0x20 || byte == 0x7F;
}

std::string Escaped(char c) {
  const auto byte = static_cast<unsigned char>(c);
  // \a is 7, and the others follow it in this order.
  if (byte >= 7 && byte <= 13) return std::string("\\") + "abtnvfr"[byte - 7];
  return {'\\', static_cast<char>('0' + (byte >> 6)), static_cast<char>('0' + ((byte >> 3) & 7)),
          static_cast<char>('0' + (byte & 7))};
}

// Runs of ordinary bytes go in '...', with a quote in them written '\'', and runs of control
// characters in $'...'.
std::string ShellQuoted(const std::string& text) {
  std::string quoted;
  bool plain = false;
  bool escapes = false;
  for (const char c : text) {
    const bool control = IsControl(c);
    if ((control && plain) || (!control && escapes)) {
      quoted += '\'';
      plain = escapes = false;
    }
    if (control) {
      if (!escapes) quoted += "$'";
      escapes = true;
      quoted += Escaped(c);
    } else {
      if (!plain) quoted += '\'';
      plain = true;
      quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    }
  }
  if (plain || escapes) quoted += '\'';
  return quoted;
}

}  // namespace

std::string QuoteName(const std::string& name) {
  return std::any_of(name.begin(), name.end(), IsControl) ? ShellQuoted(name) : name;
}

std::string Quote(const std::string& text) {
  return std::any_of(text.begin(), text.end(), IsControl) ? ShellQuoted(text) : "'" + text + "'";
}
