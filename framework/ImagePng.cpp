// Image::readPng and Image::writePng: 8-bit truecolour PNG files with or
// without alpha, not interlaced, over zlib.
#include "framework/Image.h"

#include "framework/Crc32.h"
#include "framework/File.h"
#include "framework/Log.h"
#include "framework/Png.h"
#include "framework/StringException.h"
#include "platform/FileSystem.h"

#include <zlib.h>

#include <algorithm>
#include <cstring>
#include <new>

namespace {

constexpr std::uint8_t pngSignature[8] = {137, 80, 78, 71, 13, 10, 26, 10};

// deflate codes at most 258 bytes in two bits, so a stream of n bytes
// cannot inflate to more than this.
std::size_t inflateBound(std::size_t compressed) { return compressed * 1032 + 1024; }

[[noreturn]] void unexpectedEnd() { throw StringException("Unexpected end of file."); }

void readExactly(File& stream, void* buffer, int count) {
    if (!stream.read(buffer, count)) unexpectedEnd();
}

// Bytes left in the stream after its position.
std::int64_t remainingBytes(File& stream) {
    const int size = stream.size();
    const int position = stream.position();
    if (position < 0 || position > size) unexpectedEnd();
    return static_cast<std::int64_t>(size) - position;
}

// A chunk length read from the file must describe bytes the file holds.
void checkChunkLength(File& stream, std::int32_t length) {
    if (length < 0 || length > remainingBytes(stream)) unexpectedEnd();
}

struct ChunkHeader {
    std::int32_t length = 0;
    char type[4] = {};
    bool is(const char* name) const { return std::memcmp(type, name, 4) == 0; }
};

ChunkHeader readChunkHeader(File& stream) {
    ChunkHeader header;
    header.length = stream.readBigEndianInt32();
    readExactly(stream, header.type, 4);
    return header;
}

void skipCrc(File& stream) {
    std::uint8_t crc[4];
    readExactly(stream, crc, 4);
}

// The zlib stream into exactly `expected` bytes, with uncompress's outcomes
// and texts. The output grows as the data proves it holds that much, so a
// header that claims a large picture over little data costs little memory.
std::vector<std::uint8_t> inflateRows(const std::vector<std::uint8_t>& gathered, std::size_t expected) {
    z_stream stream{};
    if (inflateInit(&stream) != Z_OK) throw StringException("PNG ZLIB trouble: not enough memory.");
    struct End {
        z_stream* stream;
        ~End() { inflateEnd(stream); }
    } end{&stream};

    const auto corrupted = [] { throw StringException("PNG ZLIB trouble: input data corrupted."); };
    const auto tooLong = [] { throw StringException("PNG ZLIB trouble: not enough memory in the output buffer."); };

    std::vector<std::uint8_t> raw;
    try {
        raw.resize(std::min(expected, inflateBound(gathered.size())));
    } catch (const std::bad_alloc&) {
        throw StringException("PNG ZLIB trouble: not enough memory.");
    }
    stream.next_in = const_cast<Bytef*>(gathered.data());
    stream.avail_in = static_cast<uInt>(gathered.size());
    std::size_t produced = 0;
    for (;;) {
        if (produced == raw.size()) {
            if (raw.size() == expected) {
                // Full: the stream may only end now; one more byte is too many.
                std::uint8_t probe;
                stream.next_out = &probe;
                stream.avail_out = 1;
                const int status = inflate(&stream, Z_NO_FLUSH);
                if (stream.avail_out == 0) tooLong();
                if (status == Z_STREAM_END) break;
                if (status == Z_MEM_ERROR) throw StringException("PNG ZLIB trouble: not enough memory.");
                if (status == Z_OK) continue;  // header or check bytes consumed, nothing produced yet
                corrupted();
            }
            raw.resize(std::min(expected, raw.size() * 2));
        }
        stream.next_out = raw.data() + produced;
        stream.avail_out = static_cast<uInt>(std::min<std::size_t>(raw.size() - produced, 1u << 30));
        const uInt room = stream.avail_out;
        const int status = inflate(&stream, Z_NO_FLUSH);
        produced += room - stream.avail_out;
        if (status == Z_STREAM_END) break;
        if (status == Z_MEM_ERROR) throw StringException("PNG ZLIB trouble: not enough memory.");
        // Z_BUF_ERROR with room left: the data ended inside the stream.
        if (status != Z_OK) corrupted();
    }
    if (produced != expected) {
        throw StringException("PNG trouble: " + std::to_string(expected) + " != " + std::to_string(produced) + ".");
    }
    return raw;
}

// Undoes the row's filter in place; prior is the unfiltered row above (null
// for the first row).
void unfilterRow(int filter, std::uint8_t* row, const std::uint8_t* prior, std::size_t length, int bpp) {
    switch (filter) {
    case 0: return;
    case 1:
        for (std::size_t i = static_cast<std::size_t>(bpp); i < length; ++i) row[i] = static_cast<std::uint8_t>(row[i] + row[i - bpp]);
        return;
    case 2:
        if (prior == nullptr) return;
        for (std::size_t i = 0; i < length; ++i) row[i] = static_cast<std::uint8_t>(row[i] + prior[i]);
        return;
    case 3:
        for (std::size_t i = 0; i < length; ++i) {
            const unsigned left = i >= static_cast<std::size_t>(bpp) ? row[i - bpp] : 0;
            const unsigned up = prior != nullptr ? prior[i] : 0;
            row[i] = static_cast<std::uint8_t>(row[i] + ((left + up) >> 1));
        }
        return;
    case 4:
        for (std::size_t i = 0; i < length; ++i) {
            const bool hasLeft = i >= static_cast<std::size_t>(bpp);
            const std::uint8_t left = hasLeft ? row[i - bpp] : 0;
            const std::uint8_t up = prior != nullptr ? prior[i] : 0;
            const std::uint8_t upperLeft = hasLeft && prior != nullptr ? prior[i - bpp] : 0;
            row[i] = static_cast<std::uint8_t>(row[i] + paethPredictor(left, up, upperLeft));
        }
        return;
    default: throw StringException("PNG filter type is greater than 4.");
    }
}

void putBigEndian(std::vector<std::uint8_t>& out, std::uint32_t value) {
    out.push_back(static_cast<std::uint8_t>(value >> 24));
    out.push_back(static_cast<std::uint8_t>(value >> 16));
    out.push_back(static_cast<std::uint8_t>(value >> 8));
    out.push_back(static_cast<std::uint8_t>(value));
}

// Length, type, data and CRC of one chunk.
void putChunk(std::vector<std::uint8_t>& out, const char* type, const std::uint8_t* data, std::size_t length) {
    putBigEndian(out, static_cast<std::uint32_t>(length));
    const auto* typeBytes = reinterpret_cast<const std::uint8_t*>(type);
    out.insert(out.end(), typeBytes, typeBytes + 4);
    if (length > 0) out.insert(out.end(), data, data + length);
    putBigEndian(out, computeCrc32(typeBytes, 4, data, static_cast<int>(length)));
}

}  // namespace

std::uint8_t paethPredictor(std::uint8_t left, std::uint8_t up, std::uint8_t upperLeft) {
    const int p = left + up - upperLeft;
    const int pa = p > left ? p - left : left - p;
    const int pb = p > up ? p - up : up - p;
    const int pc = p > upperLeft ? p - upperLeft : upperLeft - p;
    if (pa <= pb && pa <= pc) return left;
    if (pb <= pc) return up;
    return upperLeft;
}

void Image::readPng(File& stream) {
    std::uint8_t signature[8];
    if (!stream.read(signature, 8) || std::memcmp(signature, pngSignature, 8) != 0) {
        throw StringException("Not a valid PNG file.");
    }
    // The IHDR length is not used: its 13 bytes are read as they stand.
    if (!readChunkHeader(stream).is("IHDR")) throw StringException("PNG IHDR chunck not present.");
    const std::int32_t width = stream.readBigEndianInt32();
    const std::int32_t height = stream.readBigEndianInt32();
    std::uint8_t fields[5];
    readExactly(stream, fields, 5);
    if (fields[0] != 8) throw StringException("PNG bit depth is different from 8.");
    if (fields[1] != 2 && fields[1] != 6) throw StringException("PNG color type is different from 2 or 6.");
    if (fields[2] != 0) throw StringException("PNG compression method is different from 0.");
    if (fields[3] != 0) throw StringException("PNG filter method is different from 0.");
    if (fields[4] != 0) throw StringException("PNG interlace method is different from 0.");
    // width x height fits 64 bits; times 4 it might not.
    if (width <= 0 || height <= 0 || static_cast<std::int64_t>(width) * height > maximumPngImageBytes / 4) {
        throw StringException("PNG image size is not supported.");
    }
    const bool hasAlpha = fields[1] == 6;
    const int bpp = hasAlpha ? 4 : 3;

    // Every chunk up to the first IDAT is passed over unread.
    skipCrc(stream);
    ChunkHeader chunk = readChunkHeader(stream);
    while (!chunk.is("IDAT")) {
        checkChunkLength(stream, chunk.length);
        if (!stream.skip(chunk.length)) unexpectedEnd();
        skipCrc(stream);
        chunk = readChunkHeader(stream);
    }

    // The run of IDAT chunks; the first chunk of another type ends the
    // picture, and the file may end right after the last IDAT's data.
    std::vector<std::uint8_t> gathered;
    for (;;) {
        checkChunkLength(stream, chunk.length);
        const std::size_t at = gathered.size();
        gathered.resize(at + static_cast<std::size_t>(chunk.length));
        if (chunk.length > 0) readExactly(stream, gathered.data() + at, chunk.length);
        if (remainingBytes(stream) < 12) break;
        skipCrc(stream);
        chunk = readChunkHeader(stream);
        if (!chunk.is("IDAT")) break;
    }

    const std::size_t rowBytes = static_cast<std::size_t>(bpp) * static_cast<std::size_t>(width);
    std::vector<std::uint8_t> raw = inflateRows(gathered, (rowBytes + 1) * static_cast<std::size_t>(height));
    std::vector<std::uint8_t>().swap(gathered);

    Image decoded(width, height);
    const std::uint8_t* prior = nullptr;
    for (int y = 0; y < height; ++y) {
        std::uint8_t* line = raw.data() + static_cast<std::size_t>(y) * (rowBytes + 1);
        std::uint8_t* row = line + 1;
        unfilterRow(line[0], row, prior, rowBytes, bpp);
        std::uint8_t* pixel = decoded.pixelAt(0, y);
        if (hasAlpha) {
            for (int x = 0; x < width; ++x, pixel += 4, row += 4) {
                pixel[0] = row[2];
                pixel[1] = row[1];
                pixel[2] = row[0];
                pixel[3] = row[3];
            }
        } else {
            for (int x = 0; x < width; ++x, pixel += 4, row += 3) {
                pixel[0] = row[2];
                pixel[1] = row[1];
                pixel[2] = row[0];
                pixel[3] = 255;
            }
        }
        prior = line + 1;
    }
    width_ = decoded.width_;
    height_ = decoded.height_;
    rowStep_ = decoded.rowStep_;
    pixels_ = std::move(decoded.pixels_);
}

std::vector<std::uint8_t> compressPngRows(const std::uint8_t* pixels, int width, int height) {
    const std::size_t rowBytes = static_cast<std::size_t>(width) * 4;
    const std::size_t rawSize = (rowBytes + 1) * static_cast<std::size_t>(height);
    std::vector<std::uint8_t> raw(rawSize);
    std::uint8_t* out = raw.data();
    for (int y = 0; y < height; ++y) {
        *out++ = 0;
        const std::uint8_t* pixel = pixels + static_cast<std::size_t>(y) * rowBytes;
        for (int x = 0; x < width; ++x, pixel += 4, out += 4) {
            out[0] = pixel[2];
            out[1] = pixel[1];
            out[2] = pixel[0];
            out[3] = pixel[3];
        }
    }
    // compressBound: room for incompressible rows too, so zlib never runs
    // out of output on small or noisy pictures.
    uLongf length = compressBound(static_cast<uLong>(rawSize));
    std::vector<std::uint8_t> compressed(length);
    const int status = compress(compressed.data(), &length, raw.data(), static_cast<uLong>(rawSize));
    if (status == Z_MEM_ERROR) fatalError("PNG ZLIB trouble: not enough memory.", __FILE__, __LINE__);
    if (status == Z_BUF_ERROR) fatalError("PNG ZLIB trouble: not enough memory in the output buffer.", __FILE__, __LINE__);
    compressed.resize(length);
    return compressed;
}

void Image::writePng(const std::string& path) const {
    std::unique_ptr<platform::DiskFile> file(platform::DiskFile::open(path, platform::DiskFile::Mode::Write));
    if (!file) throw StringException("Cannot open " + path + ".");
    const auto write = [&](const std::uint8_t* bytes, std::size_t count) {
        if (!file->write(bytes, count)) throw StringException("Cannot write " + path + ".");
    };

    std::vector<std::uint8_t> head(pngSignature, pngSignature + 8);
    std::vector<std::uint8_t> header;
    putBigEndian(header, static_cast<std::uint32_t>(width_));
    putBigEndian(header, static_cast<std::uint32_t>(height_));
    header.insert(header.end(), {8, 6, 0, 0, 0});
    putChunk(head, "IHDR", header.data(), header.size());

    // The image data goes out as one IDAT chunk, straight from zlib's buffer.
    const std::vector<std::uint8_t> compressed = compressPngRows(pixels_.get(), width_, height_);
    const auto* idat = reinterpret_cast<const std::uint8_t*>("IDAT");
    putBigEndian(head, static_cast<std::uint32_t>(compressed.size()));
    head.insert(head.end(), idat, idat + 4);
    write(head.data(), head.size());
    write(compressed.data(), compressed.size());

    std::vector<std::uint8_t> tail;
    putBigEndian(tail, computeCrc32(idat, 4, compressed.data(), static_cast<int>(compressed.size())));
    putChunk(tail, "IEND", nullptr, 0);
    write(tail.data(), tail.size());
    if (!file->close()) throw StringException("Cannot write " + path + ".");
}
