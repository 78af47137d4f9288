// The layout of the resource archive, shared by the packer (at build time)
// and the index builder (at start-up). All integers are 32-bit
// little-endian:
//   count
//   count entries: name bytes, NUL, offset (from the start of the data
//   area), length
//   data: the entries' bytes back to back, in index order
// Names use "/" as separator and are sorted by their bytes.
#ifndef VELKARN_FRAMEWORK_ARCHIVEFORMAT_H
#define VELKARN_FRAMEWORK_ARCHIVEFORMAT_H

#include <cstddef>

// A name with its NUL must fit this many bytes.
inline constexpr std::size_t archiveNameLimit = 500;

#endif
