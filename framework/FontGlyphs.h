// The glyph tables of the two fonts (FontGlyphs.cpp, made by
// framework/fontgen/FontGenerator.cpp): per font the 256 glyph widths and
// the column words of all glyphs, glyph 0's first.
#ifndef VELKARN_FRAMEWORK_FONTGLYPHS_H
#define VELKARN_FRAMEWORK_FONTGLYPHS_H

#include <cstdint>

namespace font_glyphs {

inline constexpr int wideColumnCount = 1703;
inline constexpr int narrowColumnCount = 1303;

extern const std::int32_t wideWidths[256];
extern const std::uint16_t wideColumns[wideColumnCount];
extern const std::int32_t narrowWidths[256];
extern const std::uint16_t narrowColumns[narrowColumnCount];

}  // namespace font_glyphs

#endif
