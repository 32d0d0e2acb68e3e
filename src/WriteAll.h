#ifndef SIMPLE_ENCRYPTION_WRITE_ALL_H
#define SIMPLE_ENCRYPTION_WRITE_ALL_H

#include <cstddef>

// The one raw write that the files and the messages both stand on.

// Windows counts the bytes of one read or write in an unsigned int; a smaller call is no slower.
constexpr std::size_t kMostPerCall = std::size_t{1} << 30;

// Writes all `size` bytes to `fd`. Returns false if it could not, with errno set to the reason.
// Allocates nothing, so that it can report that memory ran out.
bool WriteAll(int fd, const char* data, std::size_t size);

#endif  // SIMPLE_ENCRYPTION_WRITE_ALL_H
