#include "tools/BeatMapperEdit.h"
#include "tools/BeatMapper.h"

#include "audio/AlignedFloats.h"
#include "audio/AudioFileReader.h"
#include "audio/Mp3MetaDataTools.h"
#include "audio/MusicalKey.h"
#include "audio/SampleDisk.h"
#include "audio/SampleDiskMP3.h"
#include "audio/WavMetaDataTools.h"
#include "audio/WmaMetaDataTools.h"
#include "framework/Color.h"
#include "framework/FileUtilities.h"
#include "framework/Font.h"
#include "framework/GUIButton.h"
#include "framework/GUIButtonManager.h"
#include "framework/GUIMarkerMap.h"
#include "framework/GUINumberSlider.h"
#include "framework/GUISliderVertical.h"
#include "framework/GUITextHorizontal.h"
#include "framework/Image.h"
#include "framework/StringException.h"
#include "framework/Support.h"
#include "framework/Window.h"
#include "tools/Browser.h"
#include "tools/BrowserData.h"
#include "tools/GUIBeatMap.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdio>
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

void BeatMapperEdit::addFrameTable(const AudioFileReader& song, BeatsWriteSources& sources) {
    if (const auto* mp3 = dynamic_cast<const SampleDiskMP3*>(&song); mp3 != nullptr) {
        sources.frames = mp3->frameIndex().data();
        sources.frameCount = mp3->frameCount();
    }
}

void BeatMapperEdit::placeMetaData(const std::string& songPath, bool merge) {
    if (hasWavExtension(songPath)) {
        if (merge) mergeWavMetaData(songPath);
        else stripWavMetaData(songPath);
    } else if (hasMp3Extension(songPath)) {
        if (merge) mergeMp3MetaData(songPath);
        else stripMp3MetaData(songPath);
    } else if (hasWmaExtension(songPath)) {
        if (merge) mergeWmaMetaData(songPath);
        else stripWmaMetaData(songPath);
    }
}

// ---- The beat mapper's editing and saving ------------------------------------

namespace {

constexpr const char* cannotSave = "Cannot Save";

std::string withTempo(const char* format, float bpm) {
    char text[96];
    std::snprintf(text, sizeof text, format, static_cast<double>(bpm));
    return text;
}

}  // namespace

void BeatMapper::rebuildBeats() {
    if (song_ == nullptr) return;
    {
        PlaybackLock hold;
        beats_->fromMarkerMap(*markerMap_);
        beats_->regrid(song_->length(), tempo());
        beats_->interpolateGenerated();
    }
    beats_->fillMarkerMap(*markerMap_);
}

void BeatMapper::estimateTempo() {
    if (song_ == nullptr) return;
    std::int32_t count = 0;
    beatMap_->findTempoCandidates(beatsPerBar(), candidates_, &count, maximumCandidates);
    candidateIndex_ = 0;
    half_ = false;
    if (count <= 0) {
        // No peak (silence, a flat or too short envelope): the standard
        // tempo alone, so that refining and cycling have a real candidate.
        candidates_[0] = standardTempo_;
        refined_[0] = true;
        candidateCount_ = 1;
    } else {
        candidateCount_ = count;
        beatMap_->refineTempo(&candidates_[0], beatsPerBar());
        refined_[0] = true;
        for (int i = 1; i < candidateCount_; ++i) refined_[i] = false;
    }
    bpm_->setValue(candidates_[0]);
}

void BeatMapper::cycleTempo() {
    if (song_ == nullptr || candidateCount_ <= 0) return;
    if (!half_) {
        half_ = true;
        bpm_->setValue(candidates_[candidateIndex_] * 0.5f);
        return;
    }
    half_ = false;
    candidateIndex_ = (candidateIndex_ + 1) % candidateCount_;
    if (!refined_[candidateIndex_]) {
        beatMap_->refineTempo(&candidates_[candidateIndex_], beatsPerBar());
        refined_[candidateIndex_] = true;
    }
    bpm_->setValue(candidates_[candidateIndex_]);
}

void BeatMapper::clearMarkers() {
    markerMap_->clear();
    rebuildBeats();
    PlaybackLock hold;
    beats_->clear();
}

bool BeatMapper::save() {
    if (song_ == nullptr) return false;
    // Render reads the beat list while playing; a save never plays.
    stopPlayback();
    Beats& beats = *beats_;
    if (beats.count() < 2) {
        showMessage(cannotSave, "At least two beats (one opening, one closing) have to be identified.");
        return false;
    }
    if (beats.minimumBpm() < minimumTempo_) {
        showMessage(cannotSave, withTempo("The minimum BPM (locally also) is %.0f.", minimumTempo_));
        return false;
    }
    if (beats.maximumBpm() > maximumTempo_ + 0.5f) {
        showMessage(cannotSave, withTempo("The maximum BPM (locally also) is %.0f.", maximumTempo_));
        return false;
    }

    // Beats in front of the first so that beat 0 starts a four-bar phrase.
    const std::int32_t barLength = beatsPerBar();
    const BeatMapperEdit::PhraseAlignment alignment = BeatMapperEdit::phraseAlignment(
        beats.firstSetBeat(), beatGroup_->selectedIndex(), barGroup_->selectedIndex(), barLength);
    {
        PlaybackLock hold;
        BeatMapperEdit::prependBeats(beats, alignment.prepended);
    }
    auto dropPrepended = [&] {
        {
            PlaybackLock hold;
            beats.dropNegativeBeats();
        }
        beats.fillMarkerMap(*markerMap_);
    };

    const float bpm = tempo();
    const bool usePng = usePng_->isDown();
    const BTSettings settings = BeatMapperEdit::tempoSettings(bpm, alignment, barLength, usePng);
    BeatMapperEdit::Identification texts;
    texts.track = track_->text();
    texts.artist = artist_->text();
    texts.album = album_->text();
    texts.label = label_->text();
    texts.comments = comments_->text();
    texts.year = year_->text();
    SongTags tags;
    SongTag2 label;
    BeatMapperEdit::identificationRecords(texts, beats, tags, label);
    MusicalKey key;
    try {
        key = MusicalKey(keyText_->text());
    } catch (const StringException&) {
        // Only the key dialog's names reach the field; anything else is
        // saved as no key.
        key = MusicalKey();
    }
    {
        const OwnedPoints points(BeatMapperEdit::pointsRecord(*beatMap_, bpm, barLength, beats[0].position));
        BeatsWriteSources sources;
        sources.settings = &settings;
        sources.tags = &tags;
        sources.label = label.label;
        sources.key = &key;
        sources.points = &points.record;
        BeatMapperEdit::addFrameTable(*song_, sources);
        try {
            beats.writeMetaData(withExtension(songPath_, "qrt"), sources);
        } catch (const StringException& error) {
            showMessage("Could not save .qrt file.", error.message());
            dropPrepended();
            return false;
        }
    }
    writeOverviewImage(beats, barLength, !usePng, songPath_);
    dropPrepended();
    {
        // Playback is off, so render no longer reads the song.
        PlaybackLock hold;
        song_.reset();
    }

    BeatMapperEdit::placeMetaData(songPath_, fileGroup_->selectedIndex() == 0);

    reopenSong();
    window_->setModified(false);
    if (application_ != nullptr) {
        if (BrowserData* data = application_->browserData(); data != nullptr) data->updateFromTags(songPath_, tags);
        if (Browser* browser = application_->browser(); browser != nullptr) browser->refreshRows();
    }
    return true;
}

void BeatMapper::reopenSong() {
    std::unique_ptr<AudioFileReader> reader;
    try {
        reader = openSongFile(songPath_, SongFileOutputs());
    } catch (const StringException& error) {
        // The files are written; the mix goes on, and the mapper is left
        // without a song rather than stopping the program.
        showMessage("Could not load song.", error.message());
        return;
    }
    PlaybackLock hold;
    song_ = std::move(reader);
}

void BeatMapper::usePngPressed() {
    if (askYesNo("Using the .png File",
                 "If you select this option, Velkarn will use the .png file to graphically represent this song "
                 "when dropped. You will have to edit the .png file with a bitmap editor to turn it into something "
                 "meaningful. Do you want to turn on this option?")) {
        window_->setModified(true);
    } else {
        usePng_->setUp();
    }
}

void BeatMapper::dumpImage() {
    const std::int32_t length = song_ != nullptr ? song_->length() : 0;
    const BeatMapperEdit::ExportLayout layout =
        BeatMapperEdit::exportLayout(beatsPerBar(), tempo(), length, zoom_->value(), samplesPerValue);
    std::string path;
    std::string title;
    if (layout.width > 0 && layout.height > 0 &&
        chooseFileToSave("PNG file", "png", window_->handle(), path, title)) {
        const std::unique_ptr<Image> image = BeatMapperEdit::exportImage(*beatMap_, *markerMap_, layout);
        try {
            image->writePng(path);
        } catch (const StringException& error) {
            showMessage("Could not save .png file.", error.message());
        }
    }
    dumpImage_->setUp();
}

void BeatMapper::writeOverviewImage(const Beats& beats, int barStep, bool notice, const std::string& songPath) {
    BeatMapperEdit::writeOverviewImage(beats, barStep, notice, songPath);
}
