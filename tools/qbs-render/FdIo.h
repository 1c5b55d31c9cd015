#pragma once
// Whole reads and writes on a file descriptor, resumed after interruptions and partial
// transfers.

#include <cstddef>

// Reads until `bytes` bytes arrived or the file or pipe ended. Answers the bytes read (fewer
// only at the end), or -1 on an error.
long readFully(int fd, void* data, size_t bytes);

// Writes all `bytes` bytes; answers whether it could.
bool writeFully(int fd, const void* data, size_t bytes);
