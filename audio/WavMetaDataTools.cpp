#include "audio/WavMetaDataTools.h"

#include "framework/FileUtilities.h"
#include "framework/StringException.h"
#include "framework/Support.h"
#include "platform/FileSystem.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <unistd.h>
#include <vector>

namespace {

constexpr const char* mergeCaption = "Cannot Merge";
constexpr const char* splitCaption = "Cannot Strip / Split";
constexpr std::size_t copyPiece = 64 * 1024;

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

// An input file read through the file layer.
class Input {
public:
    explicit Input(const std::string& path)
        : file_(platform::DiskFile::open(path, platform::DiskFile::Mode::Read)), path_(path) {
        if (!file_) throw StringException("Cannot open file " + path + ".");
    }
    bool readAt(std::int64_t position, void* buffer, std::size_t count) {
        return file_->seek(position, SEEK_SET) && file_->read(buffer, count);
    }
    void mustReadAt(std::int64_t position, void* buffer, std::size_t count) {
        if (!readAt(position, buffer, count)) throw StringException("Cannot read file " + path_ + ".");
    }
    std::int64_t size() { return file_->size(); }

private:
    std::unique_ptr<platform::DiskFile> file_;
    std::string path_;
};

// The chunks of a RIFF/WAVE file in their order, walking 8-byte headers
// with a pad byte after every odd chunk.
std::vector<SourceChunk> listChunks(Input& input) {
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
void checkAudioChunks(Input& input, const std::vector<SourceChunk>& chunks) {
    auto fmt = std::find_if(chunks.begin(), chunks.end(), [](const SourceChunk& c) { return c.is("fmt ") && c.bytes >= 16; });
    if (fmt == chunks.end()) throw StringException("The .WAV file does not contain a FMT chunk.");
    std::uint8_t tag[2];
    input.mustReadAt(fmt->body, tag, 2);
    if ((tag[0] != 1 && tag[0] != 85) || tag[1] != 0) throw StringException("The .WAV audio format is neither PCM, nor MP3.");
    if (std::none_of(chunks.begin(), chunks.end(), [](const SourceChunk& c) { return c.is("data"); }))
        throw StringException("The .WAV file does not have a DATA chunk.");
}

// A new file written through the file layer; every write and the close
// are checked. Removed on destruction unless committed.
class Output {
public:
    explicit Output(std::string path)
        : file_(platform::DiskFile::open(path, platform::DiskFile::Mode::Write)), path_(std::move(path)) {
        if (!file_) throw StringException("Cannot open file " + path_ + ".");
    }
    ~Output() {
        if (file_) file_->close();
        if (!committed_) platform::removeFile(path_);
    }
    void write(const void* bytes, std::size_t count) {
        if (count > 0 && !file_->write(bytes, count)) throw StringException("Cannot write file " + path_ + ".");
        written_ += static_cast<std::int64_t>(count);
    }
    void writeChunk(const char* id, const void* body, std::uint32_t size) {
        writeChunkHeader(id, size);
        write(body, size);
        pad(size);
    }
    void writeChunkHeader(const char* id, std::uint32_t size) {
        std::uint8_t header[8];
        std::memcpy(header, id, 4);
        storeUint32(header + 4, size);
        write(header, 8);
    }
    void pad(std::uint32_t size) {
        if ((size & 1u) != 0) write("", 1);
    }
    void copyChunk(Input& input, const SourceChunk& chunk) {
        writeChunkHeader(chunk.id, chunk.bytes);
        std::vector<std::uint8_t> piece(std::min<std::size_t>(copyPiece, std::max<std::uint32_t>(chunk.bytes, 1)));
        for (std::uint32_t done = 0; done < chunk.bytes;) {
            std::size_t count = std::min<std::size_t>(piece.size(), chunk.bytes - done);
            input.mustReadAt(chunk.body + done, piece.data(), count);
            write(piece.data(), count);
            done += static_cast<std::uint32_t>(count);
        }
        pad(chunk.bytes);
    }
    // Writes the RIFF size (everything after its first 8 bytes) and closes.
    void finishRiff() {
        std::uint8_t size[4];
        storeUint32(size, static_cast<std::uint32_t>(written_ - 8));
        if (!file_->seek(4, SEEK_SET) || !file_->write(size, 4)) throw StringException("Cannot write file " + path_ + ".");
        close();
    }
    void close() {
        bool closed = file_->close();
        file_.reset();
        if (!closed) throw StringException("Cannot write file " + path_ + ".");
    }
    void commit() { committed_ = true; }

private:
    std::unique_ptr<platform::DiskFile> file_;
    std::string path_;
    std::int64_t written_ = 0;
    bool committed_ = false;
};

void startRiff(Output& output) { output.write("RIFF\0\0\0\0WAVE", 12); }

// Renames the song to its "tmp" name; false (with the box shown) when the
// name is taken or the rename fails.
bool moveAside(const std::string& path, const std::string& temporary, const char* caption) {
    if (platform::pathExists(temporary)) {
        showMessage(caption, "please delete or rename " + temporary + ".");
        return false;
    }
    if (!platform::renameFile(path, temporary)) {
        showMessage(caption, "Cannot rename file (file might be playing).");
        return false;
    }
    return true;
}

std::string uniqueBeside(const std::string& path) {
    static unsigned serial = 0;
    return path + ".part" + std::to_string(::getpid()) + "-" + std::to_string(serial++);
}

}  // namespace

std::string withExtension(const std::string& name, const char* extension) {
    return name.substr(0, name.size() >= 3 ? name.size() - 3 : 0) + extension;
}

bool mergeWavMetaData(const std::string& path) {
    if (!hasWavExtension(path)) return false;
    const std::string qrtPath = withExtension(path, "qrt");
    const std::string pngPath = withExtension(path, "png");
    std::string qrt, png;
    const bool hasQrt = platform::pathExists(qrtPath);
    const bool hasPng = platform::pathExists(pngPath);
    if (!hasQrt && !hasPng) return true;
    if ((hasQrt && !platform::readWholeFile(qrtPath, qrt)) || (hasPng && !platform::readWholeFile(pngPath, png))) {
        showMessage(mergeCaption, "Cannot open file " + (hasQrt && qrt.empty() ? qrtPath : pngPath) + ".");
        return true;
    }

    const std::string temporary = withExtension(path, "tmp");
    if (!moveAside(path, temporary, mergeCaption)) return true;
    try {
        Input input(temporary);
        std::vector<SourceChunk> chunks = listChunks(input);
        checkAudioChunks(input, chunks);
        Output output(path);
        startRiff(output);
        for (const SourceChunk& chunk : chunks)
            if (!chunk.is("qrt ") && !chunk.is("png ")) output.copyChunk(input, chunk);
        if (hasQrt) output.writeChunk("qrt ", qrt.data(), static_cast<std::uint32_t>(qrt.size()));
        if (hasPng) output.writeChunk("png ", png.data(), static_cast<std::uint32_t>(png.size()));
        output.finishRiff();
        output.commit();
    } catch (const StringException& error) {
        platform::renameFile(temporary, path);
        showMessage(mergeCaption, error.what());
        return true;
    }
    platform::removeFile(temporary);
    if (hasQrt) platform::removeFile(qrtPath);
    if (hasPng) platform::removeFile(pngPath);
    return true;
}

bool splitWavMetaData(const std::string& path, bool stripOnly) {
    if (!hasWavExtension(path)) return false;
    const std::string temporary = withExtension(path, "tmp");
    if (!moveAside(path, temporary, splitCaption)) return true;
    try {
        Input input(temporary);
        std::vector<SourceChunk> chunks = listChunks(input);
        Output output(path);
        startRiff(output);
        const SourceChunk* embedded[2] = {nullptr, nullptr};  // the first "qrt " and "png "
        for (const SourceChunk& chunk : chunks) {
            if (chunk.is("qrt ") || chunk.is("png ")) {
                const SourceChunk*& first = embedded[chunk.is("qrt ") ? 0 : 1];
                if (first == nullptr) first = &chunk;
            } else {
                output.copyChunk(input, chunk);
            }
        }
        output.finishRiff();

        // The side files are written whole beside their names first, so a
        // failure leaves the earlier side files as they were.
        std::vector<std::unique_ptr<Output>> sides;
        std::vector<std::pair<std::string, std::string>> renames;
        const char* extensions[2] = {"qrt", "png"};
        for (int i = 0; i < 2 && !stripOnly; ++i) {
            if (embedded[i] == nullptr) continue;
            std::string side = withExtension(path, extensions[i]);
            std::string part = uniqueBeside(side);
            sides.push_back(std::make_unique<Output>(part));
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
