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

// deflate codes at most 258 bytes in two bits, so n bytes of data cannot
// inflate to more than this.
std::uint64_t maximumInflatedSize(std::size_t compressed) { return static_cast<std::uint64_t>(compressed) * 1032 + 1024; }

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

// The image data as one zlib stream, inflated a row at a time with
// uncompress's outcomes and texts: the data must hold exactly the rows the
// header promises, no byte less or more.
class RowInflater {
public:
    explicit RowInflater(const std::vector<std::uint8_t>& data) {
        if (inflateInit(&stream_) != Z_OK) throw StringException("PNG ZLIB trouble: not enough memory.");
        stream_.next_in = const_cast<Bytef*>(data.data());
        stream_.avail_in = static_cast<uInt>(data.size());
    }
    ~RowInflater() { inflateEnd(&stream_); }
    RowInflater(const RowInflater&) = delete;
    RowInflater& operator=(const RowInflater&) = delete;

    // Fills the buffer; false when the stream ended first (produced() then
    // says how much it held).
    bool fill(std::uint8_t* buffer, std::size_t length) {
        std::size_t done = 0;
        while (done < length) {
            if (ended_) return false;
            stream_.next_out = buffer + done;
            stream_.avail_out = static_cast<uInt>(std::min<std::size_t>(length - done, 1u << 30));
            const uInt room = stream_.avail_out;
            const int status = inflate(&stream_, Z_NO_FLUSH);
            done += room - stream_.avail_out;
            produced_ += room - stream_.avail_out;
            check(status);
        }
        return true;
    }

    // After the last row: the stream must end without another byte.
    void finish() {
        while (!ended_) {
            std::uint8_t probe;
            stream_.next_out = &probe;
            stream_.avail_out = 1;
            const int status = inflate(&stream_, Z_NO_FLUSH);
            if (stream_.avail_out == 0) throw StringException("PNG ZLIB trouble: not enough memory in the output buffer.");
            check(status);
        }
    }

    // Inflates the rest of the stream only to count its bytes.
    void count() {
        std::uint8_t scratch[16384];
        while (!ended_) fill(scratch, sizeof scratch);
    }

    std::uint64_t produced() const { return produced_; }

private:
    void check(int status) {
        if (status == Z_STREAM_END) {
            ended_ = true;
            return;
        }
        if (status == Z_OK) return;
        if (status == Z_MEM_ERROR) throw StringException("PNG ZLIB trouble: not enough memory.");
        // Damaged data, or (no progress possible) data that stops inside the stream.
        throw StringException("PNG ZLIB trouble: input data corrupted.");
    }

    z_stream stream_{};
    bool ended_ = false;
    std::uint64_t produced_ = 0;
};

// Undoes the row's filter in place; prior is the unfiltered row above (all
// zero above the first row). bpp is 3 or 4.
template <int bpp>
void unfilterRow(int filter, std::uint8_t* row, const std::uint8_t* prior, std::size_t length) {
    switch (filter) {
    case 0: return;
    case 1:
        for (std::size_t i = bpp; i < length; ++i) row[i] = static_cast<std::uint8_t>(row[i] + row[i - bpp]);
        return;
    case 2:
        for (std::size_t i = 0; i < length; ++i) row[i] = static_cast<std::uint8_t>(row[i] + prior[i]);
        return;
    case 3:
        for (std::size_t i = 0; i < bpp; ++i) row[i] = static_cast<std::uint8_t>(row[i] + (prior[i] >> 1));
        for (std::size_t i = bpp; i < length; ++i) {
            row[i] = static_cast<std::uint8_t>(row[i] + ((unsigned{row[i - bpp]} + prior[i]) >> 1));
        }
        return;
    case 4:
        // Left of the first pixel both left and upper-left are 0: the
        // predictor is the byte above.
        for (std::size_t i = 0; i < bpp; ++i) row[i] = static_cast<std::uint8_t>(row[i] + prior[i]);
        for (std::size_t i = bpp; i < length; ++i) {
            row[i] = static_cast<std::uint8_t>(row[i] + paethPredictor(row[i - bpp], prior[i], prior[i - bpp]));
        }
        return;
    default: throw StringException("PNG filter type is greater than 4.");
    }
}

// Red, green, blue (, alpha) bytes into blue, green, red, alpha pixels.
template <int bpp>
void convertRow(const std::uint8_t* row, std::uint8_t* pixels, int width) {
    if constexpr (bpp == 4) {
        for (int x = 0; x < width; ++x) {
            std::uint32_t rgba;
            std::memcpy(&rgba, row + 4 * x, 4);
            const std::uint32_t bgra = (rgba & 0xFF00FF00u) | ((rgba >> 16) & 0xFFu) | ((rgba & 0xFFu) << 16);
            std::memcpy(pixels + 4 * x, &bgra, 4);
        }
    } else {
        for (int x = 0; x < width; ++x, row += 3, pixels += 4) {
            pixels[0] = row[2];
            pixels[1] = row[1];
            pixels[2] = row[0];
            pixels[3] = 255;
        }
    }
}

// Inflates, unfilters and converts the rows into the image. The stream is
// read to its end before a bad filter type is reported, so damaged data
// and wrong lengths are reported first, as when the data is inflated whole.
template <int bpp>
void decodeRows(RowInflater& inflater, std::uint8_t* pixels, int width, int height) {
    const std::size_t rowBytes = static_cast<std::size_t>(bpp) * static_cast<std::size_t>(width);
    const std::size_t lineBytes = rowBytes + 1;
    std::vector<std::uint8_t> lines(2 * lineBytes, 0);  // this row and the one above, each after its filter byte
    std::uint8_t* line = lines.data();
    std::uint8_t* above = lines.data() + lineBytes;
    bool badFilter = false;
    for (int y = 0; y < height; ++y) {
        if (!inflater.fill(line, lineBytes)) {
            const std::uint64_t expected = static_cast<std::uint64_t>(lineBytes) * static_cast<std::uint64_t>(height);
            throw StringException("PNG trouble: " + std::to_string(expected) + " != " + std::to_string(inflater.produced()) + ".");
        }
        if (badFilter) continue;
        if (line[0] > 4) {
            badFilter = true;
            continue;
        }
        unfilterRow<bpp>(line[0], line + 1, above + 1, rowBytes);
        convertRow<bpp>(line + 1, pixels + static_cast<std::size_t>(y) * 4 * static_cast<std::size_t>(width), width);
        std::swap(line, above);
    }
    inflater.finish();
    if (badFilter) throw StringException("PNG filter type is greater than 4.");
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

    RowInflater inflater(gathered);
    const std::uint64_t lineBytes = static_cast<std::uint64_t>(bpp) * static_cast<std::uint64_t>(width) + 1;
    const std::uint64_t expected = lineBytes * static_cast<std::uint64_t>(height);
    if (expected > maximumInflatedSize(gathered.size())) {
        // The data cannot hold the rows the header promises: tell how much
        // it does hold without making the picture first.
        inflater.count();
        throw StringException("PNG trouble: " + std::to_string(expected) + " != " + std::to_string(inflater.produced()) + ".");
    }
    Image decoded(width, height);
    if (hasAlpha) {
        decodeRows<4>(inflater, decoded.pixels(), width, height);
    } else {
        decodeRows<3>(inflater, decoded.pixels(), width, height);
    }
    width_ = decoded.width_;
    height_ = decoded.height_;
    rowStep_ = decoded.rowStep_;
    pixels_ = std::move(decoded.pixels_);
}

std::vector<std::uint8_t> compressPngRows(const std::uint8_t* pixels, int width, int height) {
    // Row by row through one zlib stream, so no filtered copy of the whole
    // picture is made; the output grows as the stream needs.
    z_stream stream{};
    if (deflateInit(&stream, Z_DEFAULT_COMPRESSION) != Z_OK) {
        fatalError("PNG ZLIB trouble: not enough memory.", __FILE__, __LINE__);
    }
    struct End {
        z_stream* stream;
        ~End() { deflateEnd(stream); }
    } end{&stream};
    const std::size_t rowBytes = static_cast<std::size_t>(width) * 4;
    const std::size_t rawSize = (rowBytes + 1) * static_cast<std::size_t>(height);
    std::vector<std::uint8_t> line(rowBytes + 1, 0);  // filter type 0, then red, green, blue, alpha
    std::vector<std::uint8_t> out;
    std::size_t used = 0;
    const auto pump = [&](int flush) {
        for (;;) {
            if (used == out.size()) {
                try {
                    out.resize(out.empty() ? std::min<std::size_t>(compressBound(static_cast<uLong>(rawSize)), 65536)
                                           : out.size() * 2);
                } catch (const std::bad_alloc&) {
                    fatalError("PNG ZLIB trouble: not enough memory.", __FILE__, __LINE__);
                }
            }
            stream.next_out = out.data() + used;
            stream.avail_out = static_cast<uInt>(std::min<std::size_t>(out.size() - used, 1u << 30));
            const uInt room = stream.avail_out;
            const int status = deflate(&stream, flush);
            used += room - stream.avail_out;
            if (status == Z_STREAM_END) return;
            if (flush != Z_FINISH && stream.avail_in == 0 && stream.avail_out > 0) return;
        }
    };
    for (int y = 0; y < height; ++y) {
        const std::uint8_t* pixel = pixels + static_cast<std::size_t>(y) * rowBytes;
        std::uint8_t* row = line.data() + 1;
        for (int x = 0; x < width; ++x) {
            std::uint32_t bgra;
            std::memcpy(&bgra, pixel + 4 * x, 4);
            const std::uint32_t rgba = (bgra & 0xFF00FF00u) | ((bgra >> 16) & 0xFFu) | ((bgra & 0xFFu) << 16);
            std::memcpy(row + 4 * x, &rgba, 4);
        }
        stream.next_in = line.data();
        stream.avail_in = static_cast<uInt>(line.size());
        pump(Z_NO_FLUSH);
    }
    pump(Z_FINISH);
    out.resize(used);
    return out;
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
