#include "Diagnostics.h"

#include <unistd.h>

#include <cerrno>
#include <clocale>
#include <cstddef>
#include <cstring>
#include <cwchar>
#include <cwctype>
#include <string>
#include <string_view>
#include <vector>

#include "WriteAll.h"

namespace {

// A character of the name: `size` bytes from `begin`, which the locale prints or not.
struct Character {
  std::size_t begin;
  std::size_t size;
  bool printable;
};

// Splits `text` into the locale's characters. A byte that starts no valid character is a
// character of its own that does not print, as is every byte of one the locale cannot show.
std::vector<Character> Characters(const std::string& text) {
  std::vector<Character> characters;
  std::mbstate_t state{};
  for (std::size_t at = 0; at < text.size();) {
    wchar_t wide = 0;
    const std::size_t size = std::mbrtowc(&wide, text.data() + at, text.size() - at, &state);
    if (size == 0 || size > text.size() - at) {  // an invalid or incomplete sequence, or NUL
      characters.push_back({at, 1, false});
      state = std::mbstate_t{};
      ++at;
    } else if (std::iswprint(static_cast<std::wint_t>(wide)) != 0 &&
               (size == 1 ||
                std::string_view(text).substr(at, size).find('\'') == std::string_view::npos)) {
      // A quote inside a character of several bytes would end a quoted name early.
      characters.push_back({at, size, true});
      at += size;
    } else {
      for (std::size_t i = 0; i < size; ++i) characters.push_back({at + i, 1, false});
      at += size;
    }
  }
  return characters;
}

bool IsAsciiAlnum(char c) {
  return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}

// Whether a shell would read the printable character `c` at `at` in `name` as something else
// than itself. ':' too, so that a name cannot be mistaken for the end of the message's prefix.
bool IsSpecial(const std::string& name, char c, std::size_t at) {
  if (c == '#' || c == '~') return at == 0;  // a comment, or a home folder, only at the start
  if (c == '{' || c == '}') return name.size() == 1;
  return std::strchr(" !\"$&'()*;<=>?[\\^`|:", c) != nullptr;
}

// Whether a shell reads `c` as itself: each of its bytes, since in some character sets, such as
// GB18030 and Big5, the second byte of a character can be an ASCII one, such as '\' or '|', that
// a shell which reads bytes takes for itself.
bool Special(const std::string& name, const Character& c) {
  if (!c.printable) return true;
  for (std::size_t at = c.begin; at < c.begin + c.size; ++at) {
    if (IsSpecial(name, name[at], at)) return true;
  }
  return false;
}

// Whether `c` reads as itself between double quotes, in a shell as in C, byte by byte.
bool SafeInDoubleQuotes(const std::string& name, const Character& c) {
  if (!c.printable) return false;
  for (std::size_t at = c.begin; at < c.begin + c.size; ++at) {
    const char byte = name[at];
    const bool safe = (byte == '#' || byte == '~')
                          ? at == 0
                          : static_cast<unsigned char>(byte) >= 0x80 || IsAsciiAlnum(byte) ||
                                std::strchr("%+,-./:@]_ '", byte) != nullptr;
    if (!safe) return false;
  }
  return true;
}

std::string Escaped(unsigned char byte) {
  // \a is 7, and the others follow it in this order.
  if (byte >= 7 && byte <= 13) return std::string("\\") + "abtnvfr"[byte - 7];
  return {'\\', static_cast<char>('0' + (byte >> 6)), static_cast<char>('0' + ((byte >> 3) & 7)),
          static_cast<char>('0' + (byte & 7))};
}

// errno is kept, so that a name can be quoted in the same call that reports errno's reason: the
// order in which a call's arguments are worked out is the compiler's choice, and mbrtowc may set
// errno.
std::string ShellQuoted(const std::string& name, bool always) {
  const int saved = errno;
  const std::vector<Character> characters = Characters(name);
  errno = saved;
  bool special = name.empty();
  bool allSafeInDoubleQuotes = true;
  for (const Character& c : characters) {
    special = special || Special(name, c);
    allSafeInDoubleQuotes = allSafeInDoubleQuotes && SafeInDoubleQuotes(name, c);
  }
  if (!always && !special) return name;
  // "it's" reads better than 'it'\''s'.
  if (allSafeInDoubleQuotes && name.find('\'') != std::string::npos) return '"' + name + '"';
  // Printable runs in '...', with each quote as '\'', and runs of the rest in $'...'.
  std::string quoted = "'";
  bool escaping = false;
  for (const Character& c : characters) {
    if (!c.printable) {
      if (!escaping) quoted += "'$'";
      escaping = true;
      quoted += Escaped(static_cast<unsigned char>(name[c.begin]));
    } else if (name[c.begin] == '\'') {
      quoted += "'\\''";
      escaping = false;
    } else {
      if (escaping) quoted += "''";
      escaping = false;
      quoted.append(name, c.begin, c.size);
    }
  }
  return quoted + '\'';
}

}  // namespace

void Report(const std::string& what, int errnum) {
  std::string line = "simple_encryption: " + what;
  if (errnum != 0) line += std::string(": ") + std::strerror(errnum);
  line += '\n';
  // One write, so that the line is not interleaved with another process's message. There is
  // nowhere left to report a failure of it.
  static_cast<void>(WriteAll(STDERR_FILENO, line.data(), line.size()));
}

std::string QuoteName(const std::string& name) { return ShellQuoted(name, false); }

std::string Quote(const std::string& text) { return ShellQuoted(text, true); }

void UseLocaleForMessages() {
  static_cast<void>(std::setlocale(LC_CTYPE, ""));
#ifdef LC_MESSAGES
  static_cast<void>(std::setlocale(LC_MESSAGES, ""));
#endif
}
