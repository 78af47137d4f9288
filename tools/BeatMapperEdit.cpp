#include "tools/BeatMapperEdit.h"
#include "tools/BeatMapper.h"

#include "audio/AlignedFloats.h"
#include "audio/WavMetaDataTools.h"
#include "framework/Color.h"
#include "framework/Font.h"
#include "framework/GUIMarkerMap.h"
#include "framework/Image.h"
#include "framework/StringException.h"
#include "framework/Support.h"
#include "tools/GUIBeatMap.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstring>
#include <vector>

// ---- Phrase alignment -------------------------------------------------------

BeatMapperEdit::PhraseAlignment BeatMapperEdit::phraseAlignment(std::int32_t firstSetBeat, std::int32_t beatInBar,
                                                                std::int32_t barInPhrase, std::int32_t beatsPerBar) {
    PhraseAlignment result;
    if (beatsPerBar <= 0) return result;
    std::int64_t offset = static_cast<std::int64_t>(beatInBar) + static_cast<std::int64_t>(beatsPerBar) * barInPhrase -
                          firstSetBeat;
    // Whole bars moved into 0..beatsPerBar - 1; only the bar within the
    // four-bar phrase matters, so the count is taken modulo 4 (-1 is 3).
    std::int64_t bars = 0;
    if (offset < 0) {
        const std::int64_t add = (-offset + beatsPerBar - 1) / beatsPerBar;
        offset += add * beatsPerBar;
        bars -= add;
    } else if (offset >= beatsPerBar) {
        const std::int64_t subtract = offset / beatsPerBar;
        offset -= subtract * beatsPerBar;
        bars += subtract;
    }
    result.offset = static_cast<std::int32_t>(offset);
    result.bars = static_cast<std::int32_t>(bars & 3);
    result.prepended = result.offset + result.bars * beatsPerBar;
    return result;
}

void BeatMapperEdit::prependBeats(Beats& beats, std::int32_t count) {
    if (beats.count() < 2) return;
    const std::int32_t gap = beats[1].position - beats[0].position;
    if (gap <= 0) return;
    for (std::int32_t i = 0; i < count; ++i) {
        const std::int64_t position = static_cast<std::int64_t>(beats[0].position) - gap;
        // Positions far before the song cannot be held; the list then keeps
        // what it has (a save at a sane tempo never gets near).
        if (position < INT32_MIN) return;
        const std::int32_t before = beats.count();
        beats.prependBeat(static_cast<std::int32_t>(position), true);
        if (beats.count() == before) return;  // full
    }
}

// ---- Records ----------------------------------------------------------------

BTSettings BeatMapperEdit::tempoSettings(float bpm, const PhraseAlignment& alignment, std::int32_t beatsPerBar,
                                         bool usePng) {
    BTSettings settings;
    settings.bpm = bpm;
    settings.tempoFixed2 = 1;
    settings.strip[0] = alignment.offset + 1;
    settings.strip[1] = beatsPerBar;
    settings.strip[2] = 1;
    settings.strip[3] = 0;
    settings.strip2[0] = alignment.bars + 1;
    settings.strip2[1] = 0;
    settings.strip3 = usePng ? 1 : 0;
    return settings;
}

void BeatMapperEdit::copyText(char (&field)[songTextSize], const std::string& text) {
    const std::size_t length = std::min<std::size_t>(text.size(), songTextSize - 1);
    std::memset(field, 0, songTextSize);
    std::memcpy(field, text.data(), length);
}

void BeatMapperEdit::identificationRecords(const Identification& texts, const Beats& beats, SongTags& tags,
                                           SongTag2& label) {
    tags = SongTags();
    copyText(tags.title, texts.track);
    copyText(tags.artist, texts.artist);
    copyText(tags.album, texts.album);
    copyText(tags.comment, texts.comments);
    copyText(tags.year, texts.year);
    tags.bpm = beats.medianBpm();
    label = SongTag2();
    copyText(label.label, texts.label);
}

PointsRecord BeatMapperEdit::pointsRecord(GUIBeatMap& map, float bpm, std::int32_t beatsPerBar,
                                          std::int32_t firstPosition) {
    std::int32_t levelCount = 0;
    const float* levels = map.envelope(&levelCount);
    std::int32_t columns = 0;
    float* profile = map.foldedProfile(bpm, beatsPerBar, firstPosition, &columns);
    // The record's values are int32: each holds the float's bits, the one
    // reading that keeps the profile whole.
    std::vector<std::int32_t> values(static_cast<std::size_t>(columns));
    for (std::int32_t i = 0; i < columns; ++i) values[static_cast<std::size_t>(i)] = std::bit_cast<std::int32_t>(profile[i]);
    releaseAligned(profile);
    PointsRecord record;
    record.fromValues(map.samplesPerValue(), levelCount, levels, columns, values.data());
    return record;
}

// ---- Overview image ---------------------------------------------------------

bool BeatMapperEdit::hasOverview(const Beats& beats) {
    if (beats.count() < 2) return false;
    const std::int64_t span =
        static_cast<std::int64_t>(beats[beats.count() - 1].position) - beats[0].position;
    return span >= framesPerOverviewPixel;
}

std::unique_ptr<Image> BeatMapperEdit::overviewImage(const Beats& beats, std::int32_t barStep, bool notice) {
    if (!hasOverview(beats)) return nullptr;
    static const Font font(0);
    const std::int32_t count = beats.count();
    const std::int64_t first = beats[0].position;
    const std::int64_t span = static_cast<std::int64_t>(beats[count - 1].position) - first;
    const int width = static_cast<int>(span / framesPerOverviewPixel);
    auto image = std::make_unique<Image>(width, overviewHeight, 150, 150, 255, 255);
    const float samplesPerPixel = static_cast<float>(span) / static_cast<float>(width);
    const Color white(255, 255, 255, 255);
    const std::int32_t step = std::max(barStep, 1);
    for (std::int32_t bar = 1;; ++bar) {
        const std::int64_t index = static_cast<std::int64_t>(bar - 1) * step;
        const float offset = static_cast<float>(beats[static_cast<std::int32_t>(index)].position - first);
        const int x = std::min(static_cast<int>(offset / samplesPerPixel), width - 1);
        image->fillRect(255, 255, 255, 255, x, 0, x, overviewHeight - 1);
        // A number that would start past the right edge is left out.
        if (x + 5 < width) image->drawText(std::to_string(bar), x + 5, 40, &font, white);
        if (index + step >= count - 1) break;
    }
    if (notice && width > 5) image->drawText(upgradeNotice, 5, 10, &font, Color(0, 0, 0, 255));
    return image;
}

bool BeatMapperEdit::writeOverviewImage(const Beats& beats, std::int32_t barStep, bool notice,
                                        const std::string& songPath) {
    std::unique_ptr<Image> image = overviewImage(beats, barStep, notice);
    if (image == nullptr) return false;
    try {
        image->writePng(withExtension(songPath, "png"));
    } catch (const StringException& error) {
        showMessage("Could not save .png file.", error.message());
        return false;
    }
    return true;
}

// ---- Beat-map export ------------------------------------------------------------

BeatMapperEdit::ExportLayout BeatMapperEdit::exportLayout(std::int32_t beatsPerBar, float bpm, std::int32_t songLength,
                                                          float zoom, std::int32_t samplesPerValue) {
    ExportLayout layout;
    // The row length of the map and the marker map, so that all three agree.
    const double perBeat = std::trunc(2646000.0 / bpm + 0.5);
    const double perRow = perBeat * beatsPerBar;
    if (!(perRow >= 1.0 && perRow <= 2147483647.0) || songLength <= 0 || samplesPerValue <= 0) return layout;
    layout.samplesPerRow = static_cast<std::int32_t>(perRow);
    layout.valuesPerRow = layout.samplesPerRow / samplesPerValue;
    layout.rows = songLength / layout.samplesPerRow + (songLength % layout.samplesPerRow != 0 ? 1 : 0);
    const float height = (1.0f - std::clamp(zoom, 0.0f, 1.0f)) * 19.0f + 1.0f;
    layout.rowHeight = static_cast<std::int32_t>(height);
    layout.width = layout.valuesPerRow + 1;
    const std::int64_t total = static_cast<std::int64_t>(layout.rowHeight) * layout.rows;
    // A picture too large for memory is not made.
    if (total > 1000000 || static_cast<std::int64_t>(layout.width) * total > 200000000) return ExportLayout();
    layout.height = static_cast<std::int32_t>(total);
    return layout;
}

std::unique_ptr<Image> BeatMapperEdit::exportImage(const GUIBeatMap& map, GUIMarkerMap& markers,
                                                   const ExportLayout& layout) {
    if (layout.width <= 0 || layout.height <= 0) return nullptr;
    auto image = std::make_unique<Image>(layout.width, layout.height, 0, 0, 0, 0);
    map.copyImageTo(*image);
    markers.renderTo(*image);
    return image;
}


void BeatMapper::rebuildBeats() {}
void BeatMapper::estimateTempo() {}
void BeatMapper::cycleTempo() {}
void BeatMapper::clearMarkers() {}
bool BeatMapper::save() { return false; }
void BeatMapper::usePngPressed() {}
void BeatMapper::dumpImage() {}
void BeatMapper::writeOverviewImage(const Beats& /*beats*/, int /*barStep*/, bool /*notice*/,
                                    const std::string& /*songPath*/) {}
