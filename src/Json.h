#ifndef SIMPLE_ENCRYPTION_JSON_H
#define SIMPLE_ENCRYPTION_JSON_H

#include <string>

// Returns `bytes` as a JSON string, quotes included. Bytes that are not UTF-8 are written as the
// lone surrogates U+DC80 to U+DCFF, as Python's surrogateescape reads them, so that a name that
// is not UTF-8 can be told from one that is, and turned back into its bytes.
std::string JsonString(const std::string& bytes);

#endif  // SIMPLE_ENCRYPTION_JSON_H
