#ifndef SIMPLE_ENCRYPTION_DIAGNOSTICS_H
#define SIMPLE_ENCRYPTION_DIAGNOSTICS_H

#include <string>

// What the program says on standard error, and how names stand in it: quoted in the style the
// core utilities use for file names, which a shell reads back as the same bytes, and which keeps
// every message on one line whatever bytes the name holds.

// Writes one line to standard error: the program's name, `what`, and the reason `errnum` stands
// for when it is not 0.
void Report(const std::string& what, int errnum = 0);

// Returns `name` as it may stand in a message: as it is when a shell would read it so and it
// holds nothing that a terminal could act on, and otherwise in quotes: 'a b', "it's",
// 'no'$'\n''such', ''. Bytes that the locale's character set does not print are written as
// escapes in $'...'.
std::string QuoteName(const std::string& name);

// The same, always in quotes: "3x" becomes '3x'.
std::string Quote(const std::string& text);

// Takes the character set that QuoteName prints in, and the language of the reasons, from the
// environment, as the core utilities do. Nothing else follows the locale.
void UseLocaleForMessages();

#endif  // SIMPLE_ENCRYPTION_DIAGNOSTICS_H
