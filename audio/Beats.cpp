#include "audio/Beats.h"

#include "audio/ID3v2Tag.h"
#include "framework/Crc32.h"
#include "framework/File.h"
#include "framework/GUIMarkerMap.h"
#include "framework/Log.h"
#include "framework/StringException.h"
#include "platform/FileSystem.h"
#include "primitives.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstring>
#include <memory>
#include <unistd.h>

namespace {

constexpr std::uint8_t signature[8] = {0x89, 'Q', 'R', 'T', 0x0D, 0x0A, 0x1A, 0x0A};
constexpr int nameSize = 32;

const char* const corruptText = "The QRT meta-data is corrupt.";

[[noreturn]] void corrupt() { throw StringException(corruptText); }

std::int32_t loadInt32(const std::uint8_t* bytes) {
    return static_cast<std::int32_t>(static_cast<std::uint32_t>(bytes[0]) | static_cast<std::uint32_t>(bytes[1]) << 8 |
                                     static_cast<std::uint32_t>(bytes[2]) << 16 |
                                     static_cast<std::uint32_t>(bytes[3]) << 24);
}

float loadFloat(const std::uint8_t* bytes) {
    std::uint32_t bits = static_cast<std::uint32_t>(loadInt32(bytes));
    float value;
    std::memcpy(&value, &bits, sizeof value);
    return value;
}

void appendInt32(std::string& out, std::int32_t value) {
    std::uint32_t bits = static_cast<std::uint32_t>(value);
    for (int i = 0; i < 4; ++i) out.push_back(static_cast<char>((bits >> (8 * i)) & 0xFFu));
}

void appendFloat(std::string& out, float value) {
    std::uint32_t bits;
    std::memcpy(&bits, &value, sizeof bits);
    appendInt32(out, static_cast<std::int32_t>(bits));
}

// A text field of 128 bytes: the text up to its NUL, zero-filled.
void appendText(std::string& out, const char* text) {
    char field[songTextSize] = {};
    std::size_t length = strnlen(text, songTextSize - 1);
    std::memcpy(field, text, length);
    out.append(field, songTextSize);
}

// Copies a stored 128-byte text; one without a NUL is cut at 127.
void copyText(char* target, const std::uint8_t* field) {
    std::size_t length = strnlen(reinterpret_cast<const char*>(field), songTextSize - 1);
    std::memcpy(target, field, length);
    target[length] = '\0';
}

// Appends one whole chunk: length, 32-byte name, data, CRC.
void appendChunk(std::string& out, const char* name, const std::string& data) {
    std::uint8_t nameField[nameSize] = {};
    std::memcpy(nameField, name, std::strlen(name));
    appendInt32(out, static_cast<std::int32_t>(data.size()));
    out.append(reinterpret_cast<const char*>(nameField), nameSize);
    out += data;
    appendInt32(out, static_cast<std::int32_t>(computeCrc32(nameField, nameSize,
                                                            reinterpret_cast<const std::uint8_t*>(data.data()),
                                                            static_cast<int>(data.size()))));
}

enum class ChunkKind {
    Unknown, MarkersBeat, TempoFixed, TempoFixed2, Strip, Strip2, Strip3, Id, Id2, Key, Points, Mp3Frames, End
};

struct KnownName {
    const char* name;
    ChunkKind kind;
};

constexpr KnownName knownNames[] = {
    {"Markers Beat", ChunkKind::MarkersBeat}, {"BT Tempo Fixed", ChunkKind::TempoFixed},
    {"BT Tempo Fixed 2", ChunkKind::TempoFixed2}, {"BT Strip", ChunkKind::Strip},
    {"BT Strip 2", ChunkKind::Strip2}, {"BT Strip 3", ChunkKind::Strip3},
    {"ID", ChunkKind::Id}, {"ID 2", ChunkKind::Id2},
    {"Key", ChunkKind::Key}, {"Points", ChunkKind::Points},
    {"MP3 Frames", ChunkKind::Mp3Frames}, {"End", ChunkKind::End},
};

// A name matches up to and including its NUL; what follows is ignored.
ChunkKind classify(const std::uint8_t* name) {
    const char* text = reinterpret_cast<const char*>(name);
    if (strnlen(text, nameSize) == nameSize) return ChunkKind::Unknown;
    for (const KnownName& known : knownNames)
        if (std::strcmp(text, known.name) == 0) return known.kind;
    return ChunkKind::Unknown;
}

// The smallest data length that holds a known chunk's fixed fields.
std::int64_t fieldBytes(ChunkKind kind) {
    switch (kind) {
        case ChunkKind::MarkersBeat: return 8;
        case ChunkKind::TempoFixed:
        case ChunkKind::TempoFixed2:
        case ChunkKind::Strip3: return 4;
        case ChunkKind::Strip: return 16;
        case ChunkKind::Strip2: return 8;
        case ChunkKind::Id: return 5 * songTextSize + 4;
        case ChunkKind::Id2: return songTextSize;
        case ChunkKind::Key: return 8;
        case ChunkKind::Points: return 12;
        case ChunkKind::Mp3Frames: return 8;
        default: return 0;
    }
}

}  // namespace

// ---- Side records -----------------------------------------------------------

void trimBlanks(char* text) {
    std::size_t length = std::strlen(text);
    std::size_t first = 0;
    while (first < length && text[first] == ' ') ++first;
    std::size_t last = length;
    while (last > first && text[last - 1] == ' ') --last;
    std::memmove(text, text + first, last - first);
    text[last - first] = '\0';
}

void SongTags::fromId3v1(const std::uint8_t* block) {
    auto take = [block](char* target, int offset, int length) {
        std::memcpy(target, block + offset, static_cast<std::size_t>(length));
        target[length] = '\0';
        target[strnlen(target, static_cast<std::size_t>(length))] = '\0';
        trimBlanks(target);
    };
    take(title, 3, 30);
    take(artist, 33, 30);
    take(album, 63, 30);
    take(year, 93, 4);
    take(comment, 97, 30);
}

void SongTags::fromId3v2(const ID3v2Tag& tag) {
    auto take = [](char* target, const char* text) {
        if (text == nullptr) text = "";
        std::size_t length = strnlen(text, songTextSize - 1);
        std::memcpy(target, text, length);
        target[length] = '\0';
        trimBlanks(target);
    };
    take(title, tag.title());
    take(artist, tag.artist());
    take(album, tag.album());
    take(comment, tag.comment());
    take(year, tag.year());
}

void PointsRecord::release() {
    zoveZiva(levels);
    zoveZiva(values);
    levels = nullptr;
    values = nullptr;
}

void PointsRecord::fromValues(std::int32_t newSamplesPerLevel, std::int32_t newLevelCount, const float* newLevels,
                              std::int32_t newValueCount, const std::int32_t* newValues) {
    float* levelCopy = newLevelCount > 0 ? revoRovara_32z(newLevelCount) : nullptr;
    std::int32_t* valueCopy = newValueCount > 0 ? zaviMalloc_32s(newValueCount) : nullptr;
    if ((newLevelCount > 0 && levelCopy == nullptr) || (newValueCount > 0 && valueCopy == nullptr)) {
        zoveZiva(levelCopy);
        zoveZiva(valueCopy);
        throw std::bad_alloc();
    }
    if (newLevelCount > 0) std::memcpy(levelCopy, newLevels, sizeof(float) * static_cast<std::size_t>(newLevelCount));
    if (newValueCount > 0)
        std::memcpy(valueCopy, newValues, sizeof(std::int32_t) * static_cast<std::size_t>(newValueCount));
    release();
    samplesPerLevel = newSamplesPerLevel;
    levelCount = std::max(newLevelCount, 0);
    levels = levelCopy;
    valueCount = std::max(newValueCount, 0);
    values = valueCopy;
}

BeatsReadTargets SongRecords::targets() {
    BeatsReadTargets t;
    t.settings = &settings;
    t.tags = &tags;
    t.hasTags = &hasTags;
    t.label = label;
    t.hasLabel = &hasLabel;
    t.key = &key;
    t.hasKey = &hasKey;
    t.points = &points;
    t.hasPoints = &hasPoints;
    t.frames = &frames;
    t.frameCount = &frameCount;
    return t;
}

void SongRecords::handOver(const BeatsReadTargets& caller) {
    if (caller.settings != nullptr) *caller.settings = settings;
    if (caller.tags != nullptr && hasTags) *caller.tags = tags;
    if (caller.hasTags != nullptr) *caller.hasTags = hasTags;
    if (caller.label != nullptr && hasLabel) std::memcpy(caller.label, label, songTextSize);
    if (caller.hasLabel != nullptr) *caller.hasLabel = hasLabel;
    if (caller.key != nullptr && hasKey) *caller.key = key;
    if (caller.hasKey != nullptr) *caller.hasKey = hasKey;
    if (caller.points != nullptr && hasPoints) {
        caller.points->release();
        *caller.points = points;
        points = PointsRecord{};
    }
    if (caller.hasPoints != nullptr) *caller.hasPoints = hasPoints;
    if (caller.frames != nullptr) *caller.frames = frames;
    if (caller.frameCount != nullptr) *caller.frameCount = frameCount;
}

BeatsWriteSources SongRecords::sources() const {
    BeatsWriteSources s;
    s.settings = &settings;
    s.tags = hasTags ? &tags : nullptr;
    s.label = hasLabel ? label : nullptr;
    s.key = hasKey ? &key : nullptr;
    s.points = hasPoints ? &points : nullptr;
    return s;
}

// ---- Reading ------------------------------------------------------------------

Beats::Beats(std::int32_t sampleRate) : sampleRate_(sampleRate), beats_(capacity) {}

Beats::Beats(File& file, std::int32_t sampleRate, const BeatsReadTargets& targets)
    : sampleRate_(sampleRate), beats_(capacity) {
    for (bool* flag : {targets.hasTags, targets.hasLabel, targets.hasKey, targets.hasPoints})
        if (flag != nullptr) *flag = false;

    // Everything is read into these first and handed over only after "End",
    // so a refused file changes no record and leaks nothing.
    BTSettings settings = targets.settings != nullptr ? *targets.settings : BTSettings();
    SongTags tags;
    SongTag2 label;
    MusicalKey key;
    OwnedPoints points;  // freed unless handed over
    std::vector<std::int32_t> frames;
    std::int32_t frameCount = 0;
    bool foundTags = false, foundLabel = false, foundKey = false, foundPoints = false, foundFrames = false;

    std::uint8_t head[8];
    if (!file.read(head, 8) || std::memcmp(head, signature, 8) != 0) corrupt();

    std::vector<std::uint8_t> data;
    for (;;) {
        std::uint8_t header[4 + nameSize];
        if (!file.read(header, sizeof header)) corrupt();
        std::int32_t length = loadInt32(header);
        const std::uint8_t* name = header + 4;
        ChunkKind kind = classify(name);
        if (kind == ChunkKind::End) break;

        std::int64_t left = static_cast<std::int64_t>(file.size()) - file.position();
        if (length < 0 || static_cast<std::int64_t>(length) + 4 > left) corrupt();
        if (kind == ChunkKind::Unknown) {
            if (!file.skip(length + 4)) corrupt();
            continue;
        }
        data.resize(static_cast<std::size_t>(length));
        std::uint8_t stored[4];
        if ((length > 0 && !file.read(data.data(), length)) || !file.read(stored, 4)) corrupt();
        if (computeCrc32(name, nameSize, data.data(), length) != static_cast<std::uint32_t>(loadInt32(stored)))
            corrupt();
        if (length < fieldBytes(kind)) corrupt();
        const std::uint8_t* d = data.data();

        switch (kind) {
            case ChunkKind::MarkersBeat: {
                if (loadInt32(d) != sampleRate_)
                    throw StringException("The QRT meta-data refers to an unsupported sample rate.");
                std::int32_t n = loadInt32(d + 4);
                if (n > capacity) throw StringException("The QRT meta-data counts too many beats.");
                if (n < 0 || 8 + 8 * static_cast<std::int64_t>(n) > length) corrupt();
                for (std::int32_t i = 0; i < n; ++i) {
                    std::int32_t position = loadInt32(d + 8 + 8 * i);
                    if (i > 0 && position <= beats_[i - 1].position) corrupt();
                    beats_[i].position = position;
                    beats_[i].generated = loadInt32(d + 12 + 8 * i) == 1;
                }
                count_ = n;
                break;
            }
            case ChunkKind::TempoFixed: settings.bpm = loadFloat(d); break;
            case ChunkKind::TempoFixed2: settings.tempoFixed2 = loadInt32(d); break;
            case ChunkKind::Strip:
                for (int i = 0; i < 4; ++i) settings.strip[i] = loadInt32(d + 4 * i);
                break;
            case ChunkKind::Strip2:
                for (int i = 0; i < 2; ++i) settings.strip2[i] = loadInt32(d + 4 * i);
                break;
            case ChunkKind::Strip3: settings.strip3 = loadInt32(d); break;
            case ChunkKind::Id: {
                char* texts[5] = {tags.title, tags.artist, tags.album, tags.comment, tags.year};
                for (int i = 0; i < 5; ++i) copyText(texts[i], d + songTextSize * i);
                tags.bpm = loadFloat(d + 5 * songTextSize);
                foundTags = true;
                break;
            }
            case ChunkKind::Id2:
                copyText(label.label, d);
                foundLabel = true;
                break;
            case ChunkKind::Key: {
                std::int32_t tonic = loadInt32(d);
                std::int32_t mode = loadInt32(d + 4);
                key = (tonic >= 0 && tonic < 12 && (mode == 0 || mode == 1)) ? MusicalKey::fromIndex(mode * 12 + tonic)
                                                                              : undefinedKey();
                foundKey = true;
                break;
            }
            case ChunkKind::Points: {
                std::int32_t samplesPerLevel = loadInt32(d);
                std::int32_t m = loadInt32(d + 4);
                if (m < 0) corrupt();
                std::int64_t valuesAt = 8 + 4 * ((static_cast<std::int64_t>(m) + 3) / 4);
                if (valuesAt + 4 > length) corrupt();
                std::int32_t v = loadInt32(d + valuesAt);
                if (v < 0 || valuesAt + 4 + 4 * static_cast<std::int64_t>(v) > length) corrupt();
                // A repeated chunk replaces the earlier one.
                points.record.release();
                points.record.samplesPerLevel = samplesPerLevel;
                points.record.levelCount = m;
                points.record.valueCount = v;
                if (m > 0) {
                    points.record.levels = revoRovara_32z(m);
                    if (points.record.levels == nullptr) throw std::bad_alloc();
                    for (std::int32_t i = 0; i < m; ++i) points.record.levels[i] = d[8 + i] * 0.003921569f;
                }
                if (v > 0) {
                    points.record.values = zaviMalloc_32s(v);
                    if (points.record.values == nullptr) throw std::bad_alloc();
                    for (std::int32_t i = 0; i < v; ++i) points.record.values[i] = loadInt32(d + valuesAt + 4 + 4 * i);
                }
                foundPoints = true;
                break;
            }
            case ChunkKind::Mp3Frames: {
                std::int32_t k = loadInt32(d);
                if (k < 0 || 4 + 4 * (static_cast<std::int64_t>(k) + 1) > length) corrupt();
                if (targets.frames != nullptr) {
                    frames.resize(static_cast<std::size_t>(k) + 1);
                    for (std::int32_t i = 0; i <= k; ++i) frames[i] = loadInt32(d + 4 + 4 * i);
                }
                frameCount = k;
                foundFrames = true;
                break;
            }
            default: break;
        }
    }

    // A list without a single set beat was generated whole: take it as set.
    bool anySet = false;
    for (std::int32_t i = 0; i < count_; ++i) anySet = anySet || !beats_[i].generated;
    if (!anySet)
        for (std::int32_t i = 0; i < count_; ++i) beats_[i].generated = false;

    if (targets.settings != nullptr) *targets.settings = settings;
    if (foundTags && targets.tags != nullptr) *targets.tags = tags;
    if (targets.hasTags != nullptr) *targets.hasTags = foundTags;
    if (foundLabel && targets.label != nullptr) std::memcpy(targets.label, label.label, songTextSize);
    if (targets.hasLabel != nullptr) *targets.hasLabel = foundLabel;
    if (foundKey && targets.key != nullptr) *targets.key = key;
    if (targets.hasKey != nullptr) *targets.hasKey = foundKey;
    if (foundPoints && targets.points != nullptr) {
        targets.points->release();
        *targets.points = points.record;
        points.record = PointsRecord();
    }
    if (targets.hasPoints != nullptr) *targets.hasPoints = foundPoints;
    if (foundFrames && targets.frames != nullptr) *targets.frames = std::move(frames);
    if (foundFrames && targets.frameCount != nullptr) *targets.frameCount = frameCount;
}

// ---- Writing ------------------------------------------------------------------

std::string Beats::metaDataBytes(const BeatsWriteSources& sources) const {
    std::string out(reinterpret_cast<const char*>(signature), sizeof signature);
    std::string data;
    appendInt32(data, sampleRate_);
    appendInt32(data, count_);
    for (std::int32_t i = 0; i < count_; ++i) {
        appendInt32(data, beats_[i].position);
        appendInt32(data, beats_[i].generated ? 1 : 0);
    }
    appendChunk(out, "Markers Beat", data);

    if (const BTSettings* settings = sources.settings) {
        data.clear();
        appendFloat(data, settings->bpm);
        appendChunk(out, "BT Tempo Fixed", data);
        data.clear();
        appendInt32(data, settings->tempoFixed2);
        appendChunk(out, "BT Tempo Fixed 2", data);
        data.clear();
        for (std::int32_t value : settings->strip) appendInt32(data, value);
        appendChunk(out, "BT Strip", data);
        data.clear();
        for (std::int32_t value : settings->strip2) appendInt32(data, value);
        appendChunk(out, "BT Strip 2", data);
        data.clear();
        appendInt32(data, settings->strip3);
        appendChunk(out, "BT Strip 3", data);
    }
    if (const SongTags* tags = sources.tags) {
        data.clear();
        for (const char* text : {tags->title, tags->artist, tags->album, tags->comment, tags->year})
            appendText(data, text);
        appendFloat(data, tags->bpm);
        appendChunk(out, "ID", data);
    }
    if (sources.label != nullptr) {
        data.clear();
        appendText(data, sources.label);
        appendChunk(out, "ID 2", data);
    }
    if (sources.key != nullptr && sources.key->isDefined()) {
        data.clear();
        appendInt32(data, sources.key->tonic());
        appendInt32(data, sources.key->mode());
        appendChunk(out, "Key", data);
    }
    if (const PointsRecord* points = sources.points) {
        data.clear();
        appendInt32(data, points->samplesPerLevel);
        appendInt32(data, points->levelCount);
        for (std::int32_t i = 0; i < points->levelCount; ++i)
            data.push_back(static_cast<char>(
                static_cast<std::uint8_t>(std::clamp(std::trunc(points->levels[i] * 255.0f + 0.5f), 0.0f, 255.0f))));
        data.append(static_cast<std::size_t>((4 - points->levelCount % 4) % 4), '\0');
        appendInt32(data, points->valueCount);
        for (std::int32_t i = 0; i < points->valueCount; ++i) appendInt32(data, points->values[i]);
        appendChunk(out, "Points", data);
    }
    if (sources.frames != nullptr) {
        data.clear();
        appendInt32(data, sources.frameCount);
        for (std::int32_t i = 0; i <= sources.frameCount; ++i) appendInt32(data, sources.frames[i]);
        appendChunk(out, "MP3 Frames", data);
    }
    appendChunk(out, "End", std::string());
    return out;
}

void Beats::writeMetaData(const std::string& path, const BeatsWriteSources& sources) const {
    std::string bytes = metaDataBytes(sources);
    // A unique name beside the target (never the song's "tmp" name, which
    // the merge and split tools use), renamed over it once complete.
    static std::atomic<unsigned> serial{0};
    std::string temporary =
        path + ".part" + std::to_string(::getpid()) + "-" + std::to_string(serial.fetch_add(1));
    std::unique_ptr<platform::DiskFile> file(platform::DiskFile::open(temporary, platform::DiskFile::Mode::Write));
    if (!file) throw StringException("Cannot open " + path + ".");
    bool written = file->write(bytes.data(), bytes.size());
    written = file->close() && written;
    file.reset();
    if (!written || !platform::renameFile(temporary, path)) {
        platform::removeFile(temporary);
        throw StringException("Cannot write " + path + ".");
    }
}

// ---- The beat list ---------------------------------------------------------------

bool Beats::appendBeat(std::int32_t position, bool generated) {
    if (count_ >= capacity) return false;
    beats_[count_++] = Beat{position, generated};
    return true;
}

std::vector<Beats::BeatLength> Beats::beatLengths() const {
    std::vector<BeatLength> lengths;
    for (std::int32_t i = 0; i + 1 < count_; ++i)
        lengths.push_back(BeatLength{beats_[i].position, beats_[i + 1].position - beats_[i].position});
    return lengths;
}

std::int32_t Beats::findBeat(std::int32_t position) const {
    if (count_ == 0 || position < beats_[0].position) return -1;
    std::int32_t lo = 0;
    std::int32_t hi = count_ - 1;
    while (hi - lo > 1) {
        std::int32_t mid = (lo + hi) / 2;
        if (position >= beats_[mid].position)
            lo = mid;
        else
            hi = mid;
    }
    return position >= beats_[hi].position ? hi : lo;
}

float Beats::minimumBpm() const {
    if (count_ < 2) return 0.0f;
    std::int32_t largest = beats_[1].position - beats_[0].position;
    for (std::int32_t i = 1; i + 1 < count_; ++i) largest = std::max(largest, beats_[i + 1].position - beats_[i].position);
    return static_cast<float>(sampleRate_) * 60.0f / static_cast<float>(largest);
}

float Beats::maximumBpm() const {
    if (count_ < 2) return 0.0f;
    std::int32_t smallest = beats_[1].position - beats_[0].position;
    for (std::int32_t i = 1; i + 1 < count_; ++i) smallest = std::min(smallest, beats_[i + 1].position - beats_[i].position);
    return static_cast<float>(sampleRate_) * 60.0f / static_cast<float>(smallest);
}

float Beats::medianBpm() const {
    if (count_ < 2) return 0.0f;
    std::vector<std::int32_t> distances;
    for (std::int32_t i = 0; i + 1 < count_; ++i) distances.push_back(beats_[i + 1].position - beats_[i].position);
    std::sort(distances.begin(), distances.end());
    return static_cast<float>(sampleRate_) * 60.0f / static_cast<float>(distances[(count_ - 2) / 2]);
}

std::int32_t Beats::firstSetBeat() const {
    for (std::int32_t i = 0; i < count_; ++i)
        if (!beats_[i].generated) return i;
    return 0;
}

void Beats::prependBeat(std::int32_t position, bool generated) {
    if (count_ > 0 && position >= beats_[0].position)
        fatalError("Cannot prepend a beat that does not precede in time.", __FILE__, __LINE__);
    if (count_ >= capacity) {
        logMessage("Too many beats in this song.", __FILE__, __LINE__);
        return;
    }
    std::copy_backward(beats_.begin(), beats_.begin() + count_, beats_.begin() + count_ + 1);
    beats_[0] = Beat{position, generated};
    ++count_;
}

std::int32_t Beats::dropNegativeBeats() {
    std::int32_t negative = 0;
    while (negative < count_ && beats_[negative].position < 0) ++negative;
    std::copy(beats_.begin() + negative, beats_.begin() + count_, beats_.begin());
    count_ -= negative;
    return count_;
}

std::int32_t Beats::regrid(std::int32_t songLength, float bpm) {
    if (count_ == 0) return 0;
    float beatLength = static_cast<float>(sampleRate_) / bpm * 60.0f;
    std::vector<Beat> grid;
    auto emit = [&grid](std::int32_t position, bool generated) {
        if (grid.size() > static_cast<std::size_t>(capacity)) return false;
        grid.push_back(Beat{position, generated});
        return true;
    };
    bool fits = true;
    std::int32_t first = beats_[0].position;
    std::int64_t before = static_cast<std::int64_t>(std::trunc(static_cast<float>(first) / beatLength));
    for (std::int64_t i = 0; fits && i < before; ++i)
        fits = emit(static_cast<std::int32_t>(std::trunc(static_cast<float>(first) -
                                                         static_cast<float>(before - i) * beatLength)),
                    true);
    for (std::int32_t c = 1; fits && c < count_; ++c) {
        std::int32_t a = beats_[c - 1].position;
        std::int32_t b = beats_[c].position;
        float e = static_cast<float>(b - a) / beatLength;
        std::int64_t steps = static_cast<std::int64_t>(std::trunc(e));
        if (e - std::floor(e) > 0.5f) ++steps;
        fits = emit(a, false);
        for (std::int64_t j = 1; fits && j < steps; ++j)
            fits = emit(a + static_cast<std::int32_t>(std::trunc(static_cast<float>(j) * beatLength)), true);
    }
    std::int32_t last = beats_[count_ - 1].position;
    if (fits) fits = emit(last, false);
    std::int64_t after = static_cast<std::int64_t>(std::trunc(static_cast<float>(songLength - last) / beatLength));
    for (std::int64_t j = 1; fits && j <= after; ++j)
        fits = emit(static_cast<std::int32_t>(std::trunc(static_cast<float>(j) * beatLength)) + last, true);
    if (!fits || grid.size() > static_cast<std::size_t>(capacity)) return 0;
    std::copy(grid.begin(), grid.end(), beats_.begin());
    count_ = static_cast<std::int32_t>(grid.size());
    return count_;
}

void Beats::interpolateGenerated() {
    std::int32_t s = 0;
    while (s < count_ && beats_[s].generated) ++s;
    for (std::int32_t t = s + 1; t < count_; ++t) {
        if (beats_[t].generated) continue;
        float step = static_cast<float>(beats_[t].position - beats_[s].position) / static_cast<float>(t - s);
        for (std::int32_t c = 1; c < t - s; ++c)
            beats_[s + c].position = beats_[s].position + static_cast<std::int32_t>(std::trunc(static_cast<float>(c) * step));
        s = t;
    }
}

void Beats::sortAndMerge() {
    if (count_ == 0) return;
    std::sort(beats_.begin(), beats_.begin() + count_,
              [](const Beat& a, const Beat& b) { return a.position < b.position; });
    std::int32_t kept = 1;
    for (std::int32_t i = 1; i < count_; ++i)
        if (static_cast<std::int64_t>(beats_[i].position) - beats_[kept - 1].position > 1000) beats_[kept++] = beats_[i];
    count_ = kept;
}

void Beats::fillMarkerMap(GUIMarkerMap& map) const {
    map.clear();
    for (std::int32_t i = 0; i < count_; ++i) map.addMarker(!beats_[i].generated, beats_[i].position);
}

void Beats::fromMarkerMap(const GUIMarkerMap& map) {
    std::vector<std::int32_t> set;
    for (int i = 0; i < map.count(); ++i)
        if (map.marker(i).on) set.push_back(map.marker(i).position);
    // Sorted first, so that a list too short for them all keeps the earliest.
    std::sort(set.begin(), set.end());
    clear();
    for (const std::int32_t position : set)
        if (!appendBeat(position, false)) break;
    sortAndMerge();
}
