#ifndef SIMPLE_ENCRYPTION_QUOTE_H
#define SIMPLE_ENCRYPTION_QUOTE_H

#include <string>

// Returns `name` as it may stand in a one-line message: as it is when it holds no control
// character, and otherwise in the quotes a shell reads back, with each control character written
// in a $'...' of its own, as the core utilities write it: "no\nsuch" becomes 'no'$'\n''such'.
std::string QuoteName(const std::string& name);

// The same, always in quotes: "3x" becomes '3x'.
std::string Quote(const std::string& text);

#endif  // SIMPLE_ENCRYPTION_QUOTE_H
