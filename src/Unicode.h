#ifndef SIMPLE_ENCRYPTION_UNICODE_H
#define SIMPLE_ENCRYPTION_UNICODE_H

// What the program knows of a character beyond ASCII, from Unicode's data as
// tools/unicode_tables.py writes it, whatever the locale.

// Unicode's simple uppercase mapping: the capital of `c`, one character, or `c` if it has none.
char32_t SimpleUppercase(char32_t c);

// The kinds of character that cannot stand for a letter, and the rest.
enum class CharacterKind {
  kOther,
  kSpace,        // white space: Zs, Zl, Zp
  kControl,      // Cc
  kFormat,       // Cf, the bidirectional controls among them
  kMark,         // a combining mark that takes no column: Mn, Me
  kSpacingMark,  // Mc
};
CharacterKind KindOf(char32_t c);

// The columns a terminal gives `c`: 2 for East Asian wide and fullwidth characters, 0 for a
// combining mark that takes none, 1 for the rest.
int Columns(char32_t c);

#endif  // SIMPLE_ENCRYPTION_UNICODE_H
