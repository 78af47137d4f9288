#include "audio/SampleDisk.h"

#include "audio/ID3v2Tag.h"
#include "audio/Mp3EndBlock.h"
#include "audio/SampleDiskMP3.h"
#include "audio/SampleDiskPCM.h"
#include "audio/SampleDiskWMA.h"
#include "audio/WavMetaDataTools.h"
#include "framework/AudioEngineServices.h"
#include "framework/File.h"
#include "framework/FileMemory.h"
#include "framework/FileUtilities.h"
#include "framework/Image.h"
#include "framework/Log.h"
#include "framework/ResourceArchive.h"
#include "framework/StringException.h"
#include "framework/Support.h"

#include <algorithm>
#include <cstring>
#include <vector>

namespace {

constexpr int kId3v1Bytes = 128;

// Where embedded meta-data lies in the song file.
struct Embedded {
    bool present = false;
    std::int32_t offset = 0;
    std::int32_t bytes = 0;  // stuffed bytes of an MP3 block; unused for WAV chunks
    bool stuffed = false;
};

enum class SongKind { Wav, Mp3, Wma };

bool readAt(File& file, std::int64_t offset, void* buffer, int count) {
    return offset >= 0 && offset <= 2147483647 && file.seek(static_cast<int>(offset)) && file.read(buffer, count);
}

std::uint32_t littleEndian32(const std::uint8_t* bytes) {
    return std::uint32_t{bytes[0]} | std::uint32_t{bytes[1]} << 8 | std::uint32_t{bytes[2]} << 16 |
           std::uint32_t{bytes[3]} << 24;
}

// A fresh File positioned at the embedded data: the song itself for a WAV
// chunk (read in place), else a memory file with the stuffing undone.
File* positionEmbedded(File& song, const Embedded& where, std::unique_ptr<FileMemory>& memory) {
    if (!where.stuffed) {
        if (!song.seek(where.offset)) throw StringException("Unexpected end of file.");
        return &song;
    }
    memory = std::make_unique<FileMemory>(where.bytes);
    if (!song.seek(where.offset)) throw StringException("Unexpected end of file.");
    memory->readFrom(song, where.bytes, true);
    memory->seek(0);
    return memory.get();
}

// A WMA attribute copied into a memory file positioned at 0; null when the
// song does not carry it.
std::unique_ptr<FileMemory> wmaAttribute(SampleDiskWMA& song, bool qrt) {
    std::int32_t size = 0;
    if (!(qrt ? song.qrtSize(size) : song.pngSize(size))) return nullptr;
    auto memory = std::make_unique<FileMemory>(size);
    song.readAttributes(qrt ? memory.get() : nullptr, qrt ? nullptr : memory.get());
    memory->seek(0);
    return memory;
}

}  // namespace

WavLayout SampleDisk::parseWav(File& file) {
    WavLayout layout;
    std::uint8_t head[12];
    if (!file.seek(0) || !file.read(head, 12) || std::memcmp(head, "RIFF", 4) != 0) {
        throw StringException("The .WAV file is not a RIFF file.");
    }
    if (std::memcmp(head + 8, "WAVE", 4) != 0) throw StringException("The .WAV file is not a WAVE file.");

    const std::int64_t fileSize = file.size();
    std::int64_t position = 12;
    char id[5] = {};
    std::uint32_t size = 0;
    // The next chunk header at `position`; false at the end of the file.
    auto nextHeader = [&]() {
        std::uint8_t header[8];
        if (!readAt(file, position, header, 8)) return false;
        std::memcpy(id, header, 4);
        size = littleEndian32(header + 4);
        const auto body = static_cast<std::int32_t>(position + 8);
        if (std::strcmp(id, "qrt ") == 0 && !layout.hasQrt) {
            layout.hasQrt = true;
            layout.qrtOffset = body;
        } else if (std::strcmp(id, "png ") == 0 && !layout.hasPng) {
            layout.hasPng = true;
            layout.pngOffset = body;
        }
        return true;
    };
    // Past the body and its pad byte; false when the body passes the end. A
    // missing pad at the very end is no fault.
    auto skipBody = [&]() {
        const std::int64_t bodyEnd = position + 8 + size;
        if (bodyEnd > fileSize) return false;
        position = std::min<std::int64_t>(bodyEnd + (size & 1u), fileSize);
        return true;
    };

    for (;;) {
        if (!nextHeader()) throw StringException("The .WAV file does not contain a FMT chunk");
        if (std::strcmp(id, "fmt ") == 0 && size >= 16) break;
        if (!skipBody()) throw StringException("The .WAV file does not contain a FMT chunk");
    }
    std::uint8_t fields[16];
    if (!readAt(file, position + 8, fields, 16)) throw StringException("The .WAV file does not contain a FMT chunk");
    const int tag = fields[0] | fields[1] << 8;
    if (tag != 1 && tag != 85) throw StringException("The .WAV audio format is neither PCM, nor MP3.");
    layout.isMp3 = tag == 85;
    layout.format.channels = fields[2] | fields[3] << 8;
    layout.format.sampleRate = static_cast<std::int32_t>(littleEndian32(fields + 4));
    layout.format.bitsPerSample = fields[14] | fields[15] << 8;
    if (!skipBody()) throw StringException("The .WAV file does not contain a DATA chunk");

    for (;;) {
        if (!nextHeader()) throw StringException("The .WAV file does not contain a DATA chunk");
        if (std::strcmp(id, "data") == 0) break;
        if (!skipBody()) throw StringException("The .WAV file does not contain a DATA chunk");
    }
    layout.dataStart = static_cast<std::int32_t>(position + 8);
    layout.dataBytes = static_cast<std::int32_t>(std::min<std::int64_t>(size, fileSize - layout.dataStart));
    // The chunks after the data only for the meta-data.
    while (!(layout.hasQrt && layout.hasPng) && skipBody() && nextHeader()) {
    }
    return layout;
}

std::unique_ptr<AudioFileReader> SampleDisk::open(const std::string& name, bool absolute, bool metaOnly,
                                                  float cacheSeconds, const SongFileOutputs& outputs) {
    SongKind kind;
    if (hasWavExtension(name)) {
        kind = SongKind::Wav;
    } else if (hasMp3Extension(name)) {
        kind = SongKind::Mp3;
    } else if (hasWmaExtension(name)) {
        kind = SongKind::Wma;
    } else {
        throw StringException("The extension of the audio file must be .wav, .mp3 or .wma");
    }
    if (kind == SongKind::Wma) {
        if (!isWmaAvailable()) {
            throw StringException("For WMA support, please install the latest version of Windows Media Player. ");
        }
        if (!absolute) fatalError("Trying to open a WMA file that is not alien.", __FILE__, __LINE__);
    }

    const std::string path = absolute ? name : "samples/" + name;
    // A WMA song is read by its own reader, which also holds its format,
    // meta-data and texts.
    std::unique_ptr<File> song;
    std::unique_ptr<SampleDiskWMA> wma;
    std::unique_ptr<FileMemory> wmaQrt, wmaPng;
    ID3Text wmaText;
    if (kind == SongKind::Wma) {
        wma = std::make_unique<SampleDiskWMA>(path, FormatAudio(), cacheSeconds, !metaOnly);
        wmaQrt = wmaAttribute(*wma, true);
        wmaPng = wmaAttribute(*wma, false);
        wmaText = *wma->tags();
    } else {
        song.reset(openFile(path, absolute, false));
    }

    FormatAudio format;
    WavLayout layout;
    Embedded qrt;
    Embedded png;
    std::int32_t mp3Length = 0;
    std::uint8_t id3v1[kId3v1Bytes] = {};
    bool hasId3v1 = false;
    std::unique_ptr<ID3v2Tag> id3v2;

    if (kind == SongKind::Wav) {
        std::uint8_t head[12];
        if (!song->seek(0) || !song->read(head, 12) || std::memcmp(head, "RIFF", 4) != 0 ||
            std::memcmp(head + 8, "WAVE", 4) != 0) {
            throw StringException("Not a valid .wav file.");
        }
        layout = parseWav(*song);
        format = layout.format;
        if (layout.isMp3) format.bitsPerSample = 16;
        if (layout.hasQrt) qrt = {true, layout.qrtOffset, 0, false};
        if (layout.hasPng) png = {true, layout.pngOffset, 0, false};
    } else if (kind == SongKind::Wma) {
        format = *wma->format();
    } else {
        const Mp3EndBlock block = Mp3EndBlock::find(
            song->size(),
            [&song](std::int64_t at, void* buffer, std::size_t count) {
                return readAt(*song, at, buffer, static_cast<int>(count));
            },
            true);
        if (block.hasBlock) {
            const auto qrtAt = static_cast<std::int32_t>(block.blockStart + Mp3EndBlock::kMarkBytes);
            const auto qrtBytes = static_cast<std::int32_t>(block.qrtSize);
            const auto pngBytes = static_cast<std::int32_t>(block.pngSize);
            if (qrtBytes > 0) qrt = {true, qrtAt, qrtBytes, true};
            if (pngBytes > 0) png = {true, qrtAt + qrtBytes, pngBytes, true};
        }
        hasId3v1 = block.hasId3v1 && readAt(*song, song->size() - kId3v1Bytes, id3v1, kId3v1Bytes);
        try {
            if (song->seek(0)) id3v2 = std::make_unique<ID3v2Tag>(*song);
        } catch (const StringException&) {
            // A song without a tag, or with one this reader does not take,
            // still plays.
            id3v2.reset();
        }
        mp3Length = static_cast<std::int32_t>(block.dataEnd);
    }

    // Side files win over what the song carries. The records stay apart
    // from the caller's until the open has succeeded; fields without a
    // chunk keep the caller's settings.
    SongRecords records;
    if (outputs.records.settings != nullptr) records.settings = *outputs.records.settings;
    std::unique_ptr<Beats> beats;
    std::unique_ptr<Image> image;
    const std::string qrtSide = withExtension(path, "qrt");
    const std::string pngSide = withExtension(path, "png");
    if (fileExists(qrtSide, absolute)) {
        std::unique_ptr<File> side(openFile(qrtSide, absolute, false));
        beats = std::make_unique<Beats>(*side, 44100, records.targets());
    } else if (qrt.present) {
        std::unique_ptr<FileMemory> memory;
        beats = std::make_unique<Beats>(*positionEmbedded(*song, qrt, memory), 44100, records.targets());
    } else if (wmaQrt != nullptr) {
        beats = std::make_unique<Beats>(*wmaQrt, 44100, records.targets());
    }
    if (outputs.image != nullptr) {
        if (fileExists(pngSide, absolute)) {
            std::unique_ptr<File> side(openFile(pngSide, absolute, false));
            image = std::make_unique<Image>(*side);
        } else if (png.present) {
            std::unique_ptr<FileMemory> memory;
            image = std::make_unique<Image>(*positionEmbedded(*song, png, memory));
        } else if (wmaPng != nullptr) {
            image = std::make_unique<Image>(*wmaPng);
        }
    }

    std::unique_ptr<AudioFileReader> reader;
    if (!metaOnly) {
        const bool mp3Data = kind == SongKind::Mp3 || layout.isMp3;
        const std::int32_t* stored = records.frameCount > 0 ? records.frames.data() : nullptr;
        if (kind == SongKind::Wma) {
            reader = std::move(wma);
        } else if (mp3Data) {
            const std::int32_t start = kind == SongKind::Mp3 ? 0 : layout.dataStart;
            const std::int32_t bytes = kind == SongKind::Mp3 ? mp3Length : layout.dataBytes;
            reader = std::make_unique<SampleDiskMP3>(std::move(song), format, start, bytes, cacheSeconds, stored,
                                                     records.frameCount);
        } else {
            reader = std::make_unique<SampleDiskPCM>(std::move(song), format, layout.dataStart, layout.dataBytes,
                                                     cacheSeconds);
        }
        if (reader->length() > kMaxFrames) throw StringException("The length of the audio file exceeds 20 minutes.");
    }

    // Everything succeeded: hand the results over.
    if (outputs.beats != nullptr) *outputs.beats = std::move(beats);
    records.handOver(outputs.records);
    if (outputs.image != nullptr) *outputs.image = std::move(image);
    if (outputs.hasId3v1 != nullptr) *outputs.hasId3v1 = hasId3v1;
    if (outputs.id3v1 != nullptr && hasId3v1) std::memcpy(outputs.id3v1, id3v1, kId3v1Bytes);
    if (outputs.hasId3v2 != nullptr) *outputs.hasId3v2 = id3v2 != nullptr;
    if (outputs.id3v2 != nullptr) *outputs.id3v2 = std::move(id3v2);
    if (outputs.hasWmaTags != nullptr) *outputs.hasWmaTags = kind == SongKind::Wma;
    if (outputs.wmaTags != nullptr && kind == SongKind::Wma) *outputs.wmaTags = wmaText;
    return reader;
}

void SampleDisk::installSongPreview() {
    setSongPreviewReader([](const std::string& absolutePath) {
        std::unique_ptr<Beats> beats;
        SongTags tags;
        SongFileOutputs outputs;
        outputs.beats = &beats;
        outputs.records.tags = &tags;
        open(absolutePath, true, true, 0.0f, outputs);
        SongPreview preview;
        if (beats != nullptr) {
            preview.hasBeats = true;
            preview.tagBpm = tags.bpm;
            preview.medianBpm = beats->medianBpm();
        }
        return preview;
    });
}
