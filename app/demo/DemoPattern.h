// The demo window's picture, shared with the test that compares screenshots.
#ifndef VELKARN_APP_DEMO_DEMOPATTERN_H
#define VELKARN_APP_DEMO_DEMOPATTERN_H

#include <cstdint>

namespace demo {

inline constexpr int windowWidth = 640;
inline constexpr int windowHeight = 480;
inline constexpr int squareSize = 16;  // a click paints this square, centred on the point

struct Rgb {
    std::uint8_t red;
    std::uint8_t green;
    std::uint8_t blue;
    friend bool operator==(const Rgb&, const Rgb&) = default;
};

// Every pixel differs from its neighbours in some channel, so a shifted or
// stale area shows.
constexpr Rgb patternAt(int x, int y) {
    return {static_cast<std::uint8_t>((x * 7 + y * 3) & 0xFF), static_cast<std::uint8_t>(y & 0xFF),
            static_cast<std::uint8_t>(x & 0xFF)};
}

inline constexpr Rgb squareColor{255, 32, 0};

// The area of the square painted for a click at (x, y), within the window.
struct Area {
    int x;
    int y;
    int width;
    int height;
};
constexpr Area squareAround(int x, int y) {
    int left = x - squareSize / 2 < 0 ? 0 : x - squareSize / 2;
    int top = y - squareSize / 2 < 0 ? 0 : y - squareSize / 2;
    int right = x + squareSize / 2 > windowWidth ? windowWidth : x + squareSize / 2;
    int bottom = y + squareSize / 2 > windowHeight ? windowHeight : y + squareSize / 2;
    return {left, top, right - left, bottom - top};
}

}  // namespace demo

#endif
