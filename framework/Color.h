// A four-byte colour: red, green, blue, alpha (255 opaque), in that order in
// memory, so as one 32-bit value red is the lowest byte.
#ifndef VELKARN_FRAMEWORK_COLOR_H
#define VELKARN_FRAMEWORK_COLOR_H

#include <cstdint>

struct Color {
    std::uint8_t red = 0;
    std::uint8_t green = 0;
    std::uint8_t blue = 0;
    std::uint8_t alpha = 0;

    constexpr Color() = default;
    constexpr Color(std::uint8_t r, std::uint8_t g, std::uint8_t b, std::uint8_t a) : red(r), green(g), blue(b), alpha(a) {}

    constexpr bool differs(const Color& other) const {
        return red != other.red || green != other.green || blue != other.blue || alpha != other.alpha;
    }

    // The four bytes as one value, red in the lowest byte.
    constexpr std::uint32_t packed() const {
        return static_cast<std::uint32_t>(red) | (static_cast<std::uint32_t>(green) << 8) |
               (static_cast<std::uint32_t>(blue) << 16) | (static_cast<std::uint32_t>(alpha) << 24);
    }
    static constexpr Color fromPacked(std::uint32_t value) {
        return Color(static_cast<std::uint8_t>(value), static_cast<std::uint8_t>(value >> 8),
                     static_cast<std::uint8_t>(value >> 16), static_cast<std::uint8_t>(value >> 24));
    }
};

static_assert(sizeof(Color) == 4);

// The deck cursor: before the play position reaches it, and after.
inline constexpr Color deckCursorAheadColor{100, 100, 255, 255};
inline constexpr Color deckCursorReachedColor{255, 255, 255, 255};

#endif
