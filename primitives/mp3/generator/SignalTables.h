// The computed tables of requantisation, the inverse MDCT and the synthesis
// (declared in primitives/mp3/Mp3SignalTables.h), as the text of a C++
// source, for the table generator that the build runs.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace primitives::mp3gen {

// The synthesis window D_0..D_511 in Q30 as the decoder holds it, from the
// standard's printed window in `path`. Checks D_1 and D_256; derives the
// second half by the mirror D_(512-i) = -D_i, and holds the printed values
// of all 512 taps when that mirror does not reproduce them.
std::vector<int32_t> heldSynthesisWindow(const std::string& path);

// Throws std::runtime_error on a malformed data file or a failed check.
std::string generateSignalTables(const std::string& dataDirectory);

}  // namespace primitives::mp3gen
