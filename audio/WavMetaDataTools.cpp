#include "audio/WavMetaDataTools.h"

#include "audio/MetaDataFile.h"
#include "audio/ID3v2Tag.h"
#include "audio/Mp3EndBlock.h"
#include "audio/SampleDiskMP3.h"

#include "framework/FileUtilities.h"
#include "framework/StringException.h"
#include "framework/Support.h"
#include "platform/FileSystem.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <vector>

namespace {

constexpr const char* mergeCaption = "Cannot Merge";
constexpr const char* splitCaption = "Cannot Strip / Split";

std::uint32_t loadUint32(const std::uint8_t* bytes) {
    return static_cast<std::uint32_t>(bytes[0]) | static_cast<std::uint32_t>(bytes[1]) << 8 |
           static_cast<std::uint32_t>(bytes[2]) << 16 | static_cast<std::uint32_t>(bytes[3]) << 24;
}

void storeUint32(std::uint8_t* bytes, std::uint32_t value) {
    for (int i = 0; i < 4; ++i) bytes[i] = static_cast<std::uint8_t>(value >> (8 * i));
}

struct SourceChunk {
    char id[4];
    std::uint32_t bytes;  // the body present in the file (a size past the end is clipped)
    std::int64_t body;

    bool is(const char* name) const { return std::memcmp(id, name, 4) == 0; }
};

// The chunks of a RIFF/WAVE file in their order, walking 8-byte headers
// with a pad byte after every odd chunk.
std::vector<SourceChunk> listChunks(MetaDataInput& input) {
    std::uint8_t head[12];
    if (!input.readAt(0, head, 12) || std::memcmp(head, "RIFF", 4) != 0)
        throw StringException("The .WAV file is not a RIFF file.");
    if (std::memcmp(head + 8, "WAVE", 4) != 0) throw StringException("The .WAV file is not a WAVE file.");
    const std::int64_t size = input.size();
    std::vector<SourceChunk> chunks;
    for (std::int64_t position = 12; position + 8 <= size;) {
        std::uint8_t header[8];
        if (!input.readAt(position, header, 8)) break;
        SourceChunk chunk;
        std::memcpy(chunk.id, header, 4);
        const std::uint32_t stored = loadUint32(header + 4);
        chunk.body = position + 8;
        chunk.bytes = static_cast<std::uint32_t>(std::min<std::int64_t>(stored, size - chunk.body));
        chunks.push_back(chunk);
        position = chunk.body + stored + (stored & 1u);
    }
    return chunks;
}

// The "fmt " and "data" chunks a merge needs.
void checkAudioChunks(MetaDataInput& input, const std::vector<SourceChunk>& chunks) {
    auto fmt = std::find_if(chunks.begin(), chunks.end(), [](const SourceChunk& c) { return c.is("fmt ") && c.bytes >= 16; });
    if (fmt == chunks.end()) throw StringException("The .WAV file does not contain a FMT chunk.");
    std::uint8_t tag[2];
    input.mustReadAt(fmt->body, tag, 2);
    if ((tag[0] != 1 && tag[0] != 85) || tag[1] != 0) throw StringException("The .WAV audio format is neither PCM, nor MP3.");
    if (std::none_of(chunks.begin(), chunks.end(), [](const SourceChunk& c) { return c.is("data"); }))
        throw StringException("The .WAV file does not have a DATA chunk.");
}

// Chunk writing on top of the tools' output file.
void writeChunkHeader(MetaDataOutput& output, const char* id, std::uint32_t size) {
    std::uint8_t header[8];
    std::memcpy(header, id, 4);
    storeUint32(header + 4, size);
    output.write(header, 8);
}

void pad(MetaDataOutput& output, std::uint32_t size) {
    if ((size & 1u) != 0) output.write("", 1);
}

void writeChunk(MetaDataOutput& output, const char* id, const void* body, std::uint32_t size) {
    writeChunkHeader(output, id, size);
    output.write(body, size);
    pad(output, size);
}

void copyChunk(MetaDataOutput& output, MetaDataInput& input, const SourceChunk& chunk) {
    writeChunkHeader(output, chunk.id, chunk.bytes);
    output.copy(input, chunk.body, chunk.bytes);
    pad(output, chunk.bytes);
}

// Writes the RIFF size (everything after its first 8 bytes) and closes.
void finishRiff(MetaDataOutput& output) {
    std::uint8_t size[4];
    storeUint32(size, static_cast<std::uint32_t>(output.written() - 8));
    output.patch(4, size, 4);
    output.close();
}

// The MPEG Layer III "fmt " body for MP3 data in a WAV file, from the first
// frame of the song's data: the first 0xFF followed by a byte of 0xE0 or
// more, after a leading ID3v2 tag.
std::string mp3FormatChunk(MetaDataInput& input, std::int64_t dataEnd) {
    std::int64_t from = 0;
    std::uint8_t id3[10];
    if (dataEnd >= 10 && input.readAt(0, id3, 10) && std::memcmp(id3, "ID3", 3) == 0)
        from = 10 + decodeSyncsafe(id3 + 6) + ((id3[5] & 0x10) != 0 ? 10 : 0);
    std::int64_t sync = -1;
    std::vector<std::uint8_t> piece(64 * 1024 + 1);
    for (std::int64_t at = from; sync < 0 && at + 1 < dataEnd; at += static_cast<std::int64_t>(piece.size()) - 1) {
        const auto bytes = static_cast<std::size_t>(std::min<std::int64_t>(static_cast<std::int64_t>(piece.size()), dataEnd - at));
        input.mustReadAt(at, piece.data(), bytes);
        for (std::size_t k = 0; k + 1 < bytes; ++k) {
            if (piece[k] == 0xFF && piece[k + 1] >= 0xE0) {
                sync = at + static_cast<std::int64_t>(k);
                break;
            }
        }
    }
    if (sync < 0) throw StringException("Cannot find syncword.");
    std::uint8_t bytes[8] = {};
    if (sync + 4 > dataEnd || !input.readAt(sync, bytes, 4)) throw StringException("Corrupt MP3 file.");
    if (sync + 6 <= dataEnd) input.readAt(sync + 4, bytes + 4, 2);
    MP3FrameHeader header{};
    const std::uint8_t* cursor = bytes;
    if (zaviUnpackFrameHeader_MP3(&cursor, &header) != 0) throw StringException("Corrupt MP3 file.");
    const SampleDiskMP3::HeaderCheck check = SampleDiskMP3::checkHeader(header);
    if (check.failure != nullptr) throw StringException(check.failure);

    std::uint8_t body[30] = {};
    auto put16 = [&body](int at, unsigned value) {
        body[at] = static_cast<std::uint8_t>(value);
        body[at + 1] = static_cast<std::uint8_t>(value >> 8);
    };
    put16(0, 85);                                   // MPEG Layer III
    put16(2, 2);                                    // channels
    storeUint32(body + 4, 44100);                   // sample rate
    storeUint32(body + 8, static_cast<std::uint32_t>(check.bitrate / 8));  // bytes per second
    put16(12, 1);                                   // block alignment
    put16(14, 0);                                   // bits per sample
    put16(16, 12);                                  // extra bytes
    put16(18, 1);                                   // ID
    storeUint32(body + 20, 2);                      // flags
    put16(24, 415);                                 // block size
    put16(26, 1);                                   // frames per block
    put16(28, 1393);                                // codec delay
    return std::string(reinterpret_cast<const char*>(body), sizeof body);
}

void startRiff(MetaDataOutput& output) { output.write("RIFF\0\0\0\0WAVE", 12); }

}  // namespace

std::string withExtension(const std::string& name, const char* extension) {
    return name.substr(0, name.size() >= 3 ? name.size() - 3 : 0) + extension;
}

bool mergeWavMetaData(const std::string& path) {
    const bool fromMp3 = hasMp3Extension(path);
    if (!hasWavExtension(path) && !fromMp3) return false;
    SideFiles sides;
    if (!sides.load(path, mergeCaption) || !sides.any()) return true;
    auto appendSides = [&sides](MetaDataOutput& output) {
        if (sides.hasQrt) writeChunk(output, "qrt ", sides.qrt.data(), static_cast<std::uint32_t>(sides.qrt.size()));
        if (sides.hasPng) writeChunk(output, "png ", sides.png.data(), static_cast<std::uint32_t>(sides.png.size()));
        finishRiff(output);
    };

    if (fromMp3) {
        // The MP3 song stays; a new WAV file of the same name wraps its data.
        const std::string wav = withExtension(path, "wav");
        if (platform::pathExists(wav)) {
            showMessage(mergeCaption, "please delete or rename " + wav + ".");
            return true;
        }
        try {
            MetaDataInput input(path);
            const Mp3EndBlock layout = Mp3EndBlock::find(
                input.size(), [&input](std::int64_t at, void* buffer, std::size_t count) { return input.readAt(at, buffer, count); });
            const std::string fmt = mp3FormatChunk(input, layout.dataEnd);
            MetaDataOutput output(wav);
            startRiff(output);
            writeChunk(output, "fmt ", fmt.data(), static_cast<std::uint32_t>(fmt.size()));
            copyChunk(output, input, SourceChunk{{'d', 'a', 't', 'a'}, static_cast<std::uint32_t>(layout.dataEnd), 0});
            appendSides(output);
            output.commit();
        } catch (const StringException& error) {
            showMessage(mergeCaption, error.what());
            return true;
        }
        sides.remove();
        return true;
    }

    const std::string temporary = withExtension(path, "tmp");
    if (!moveAside(path, temporary, mergeCaption)) return true;
    try {
        MetaDataInput input(temporary);
        std::vector<SourceChunk> chunks = listChunks(input);
        checkAudioChunks(input, chunks);
        MetaDataOutput output(path);
        startRiff(output);
        for (const SourceChunk& chunk : chunks)
            if (!chunk.is("qrt ") && !chunk.is("png ")) copyChunk(output, input, chunk);
        appendSides(output);
        output.commit();
    } catch (const StringException& error) {
        platform::renameFile(temporary, path);
        showMessage(mergeCaption, error.what());
        return true;
    }
    platform::removeFile(temporary);
    sides.remove();
    return true;
}

bool splitWavMetaData(const std::string& path, bool stripOnly) {
    if (!hasWavExtension(path)) return false;
    const std::string temporary = withExtension(path, "tmp");
    if (!moveAside(path, temporary, splitCaption)) return true;
    try {
        MetaDataInput input(temporary);
        std::vector<SourceChunk> chunks = listChunks(input);
        MetaDataOutput output(path);
        startRiff(output);
        const SourceChunk* embedded[2] = {nullptr, nullptr};  // the first "qrt " and "png "
        for (const SourceChunk& chunk : chunks) {
            if (chunk.is("qrt ") || chunk.is("png ")) {
                const SourceChunk*& first = embedded[chunk.is("qrt ") ? 0 : 1];
                if (first == nullptr) first = &chunk;
            } else {
                copyChunk(output, input, chunk);
            }
        }
        finishRiff(output);

        // The side files are written whole beside their names first, so a
        // failure leaves the earlier side files as they were.
        std::vector<std::unique_ptr<MetaDataOutput>> sides;
        std::vector<std::pair<std::string, std::string>> renames;
        const char* extensions[2] = {"qrt", "png"};
        for (int i = 0; i < 2 && !stripOnly; ++i) {
            if (embedded[i] == nullptr) continue;
            std::string side = withExtension(path, extensions[i]);
            std::string part = uniqueBeside(side);
            sides.push_back(std::make_unique<MetaDataOutput>(part));
            std::vector<std::uint8_t> bytes(embedded[i]->bytes);
            if (!bytes.empty()) input.mustReadAt(embedded[i]->body, bytes.data(), bytes.size());
            sides.back()->write(bytes.data(), bytes.size());
            sides.back()->close();
            renames.emplace_back(part, side);
        }
        for (const auto& [part, side] : renames)
            if (!platform::renameFile(part, side)) throw StringException("Cannot write file " + side + ".");
        for (auto& side : sides) side->commit();
        output.commit();
    } catch (const StringException& error) {
        platform::renameFile(temporary, path);
        showMessage(splitCaption, error.what());
        return true;
    }
    if (!platform::removeFile(temporary)) showMessage("Cannot Remove", "Cannot remove " + temporary + ".");
    return true;
}

bool stripWavMetaData(const std::string& path) { return splitWavMetaData(path, true); }
