#include "StripSongs.h"

#include "audio/Beats.h"
#include "framework/Image.h"

#include <vector>

namespace strip_test {

namespace {

std::string le32(std::uint32_t v) {
    return std::string{static_cast<char>(v), static_cast<char>(v >> 8), static_cast<char>(v >> 16),
                       static_cast<char>(v >> 24)};
}
std::string le16(std::uint16_t v) { return std::string{static_cast<char>(v), static_cast<char>(v >> 8)}; }

}  // namespace

Color overviewColour(int k) {
    return Color{static_cast<std::uint8_t>(30 + 13 * k), static_cast<std::uint8_t>(200 - 11 * k),
                 static_cast<std::uint8_t>(90 + 7 * k), 255};
}

std::string makeSong(const testing_support::TemporaryDirectory& dir, const std::string& name, int beats,
                     bool overview) {
    const std::string base = dir.file(name);
    const std::int32_t frames = songFirstMark + beats * songBeatFrames + 100;
    const std::string data(static_cast<std::size_t>(frames) * 4, '\0');
    const std::string fmt = le16(1) + le16(2) + le32(44100) + le32(44100 * 4) + le16(4) + le16(16);
    const std::string body =
        "WAVE" + std::string("fmt ") + le32(16) + fmt + "data" + le32(static_cast<std::uint32_t>(data.size())) + data;
    testing_support::writeFile(base + ".wav", "RIFF" + le32(static_cast<std::uint32_t>(body.size())) + body);

    Beats marks(44100);
    for (int k = 0; k <= beats; ++k) marks.appendBeat(songFirstMark + k * songBeatFrames, false);
    BTSettings settings;
    settings.strip3 = overview ? 1 : 0;
    settings.strip[1] = 4;
    std::vector<float> levels(static_cast<std::size_t>(frames / 100 + 1));
    for (std::size_t i = 0; i < levels.size(); ++i) levels[i] = 0.1f + 0.08f * static_cast<float>((i / 50) % 10);
    PointsRecord points;
    points.samplesPerLevel = 100;
    points.levelCount = static_cast<std::int32_t>(levels.size());
    points.levels = levels.data();
    BeatsWriteSources sources;
    sources.settings = &settings;
    if (!overview) sources.points = &points;
    marks.writeMetaData(base + ".qrt", sources);
    if (overview) {
        Image picture(4 * beats, 60, 0, 0, 0, 255);
        for (int k = 0; k < beats; ++k) {
            const Color c = overviewColour(k);
            picture.fillRect(c.red, c.green, c.blue, 255, 4 * k, 0, 4 * k + 3, 59);
        }
        picture.writePng(base + ".png");
    }
    return base + ".wav";
}

}  // namespace strip_test
