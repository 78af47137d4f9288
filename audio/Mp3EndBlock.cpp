#include "audio/Mp3EndBlock.h"

#include "audio/ID3v2Tag.h"
#include "framework/StringException.h"

#include <cstring>

namespace {

constexpr char kMarkName[] = "QRT & PNG";
constexpr std::uint32_t kSyncsafeLimit = 0x0FFFFFFF;

void appendSyncsafe(std::string& out, std::uint32_t value) {
    for (int shift = 21; shift >= 0; shift -= 7) out.push_back(static_cast<char>((value >> shift) & 0x7F));
}

// A block whose trailer ends at `end` (with sameHeader, whose header also
// equals the trailer; with syncsafe, whose sizes are stored syncsafe).
bool blockEndingAt(std::int64_t end, const Mp3EndBlock::ReadAt& readAt, bool sameHeader, bool syncsafe,
                   Mp3EndBlock& block) {
    std::uint8_t trailer[Mp3EndBlock::kMarkBytes];
    if (end < 2 * Mp3EndBlock::kMarkBytes || !readAt(end - Mp3EndBlock::kMarkBytes, trailer, sizeof trailer) ||
        std::memcmp(trailer, kMarkName, 9) != 0)
        return false;
    if (syncsafe) {
        for (std::size_t i = 17; i < sizeof trailer; ++i)
            if (trailer[i] >= 0x80) return false;
    }
    const auto qrt = static_cast<std::uint32_t>(decodeSyncsafe(trailer + 17));
    const auto png = static_cast<std::uint32_t>(decodeSyncsafe(trailer + 21));
    const std::int64_t start = end - 2 * Mp3EndBlock::kMarkBytes - qrt - png;
    std::uint8_t header[Mp3EndBlock::kMarkBytes];
    if (start < 0) return false;
    if (sameHeader && (!readAt(start, header, sizeof header) || std::memcmp(header, trailer, sizeof header) != 0))
        return false;
    block.hasBlock = true;
    block.qrtSize = qrt;
    block.pngSize = png;
    block.blockStart = start;
    return true;
}

}  // namespace

Mp3EndBlock Mp3EndBlock::find(std::int64_t fileSize, const ReadAt& readAt, bool validated) {
    Mp3EndBlock block;
    // A whole block that ends the file is taken before an ID3v1 tag: the
    // stored data can hold "TAG" just where such a tag would start.
    if (blockEndingAt(fileSize, readAt, true, validated, block)) {
        block.dataEnd = block.blockStart;
        return block;
    }
    std::int64_t end = fileSize;
    char tag[3];
    if (end >= kId3v1Bytes && readAt(end - kId3v1Bytes, tag, 3) && std::memcmp(tag, "TAG", 3) == 0) {
        block.hasId3v1 = true;
        end -= kId3v1Bytes;
    }
    if (blockEndingAt(end, readAt, validated, validated, block)) end = block.blockStart;
    block.dataEnd = end;
    return block;
}

std::string Mp3EndBlock::mark(std::uint32_t qrtOffset, std::uint32_t qrtSize, std::uint32_t pngSize) {
    if (qrtOffset > kSyncsafeLimit || qrtSize > kSyncsafeLimit || pngSize > kSyncsafeLimit ||
        qrtOffset + static_cast<std::uint64_t>(qrtSize) > kSyncsafeLimit)
        throw StringException("The meta-data does not fit into the MP3 file.");
    std::string out(kMarkName, 9);
    appendSyncsafe(out, qrtOffset);
    appendSyncsafe(out, qrtOffset + qrtSize);
    appendSyncsafe(out, qrtSize);
    appendSyncsafe(out, pngSize);
    return out;
}

std::string Mp3EndBlock::stuff(const std::string& bytes) {
    std::string out;
    out.reserve(bytes.size() + bytes.size() / 8);
    for (char c : bytes) {
        out.push_back(c);
        if (static_cast<unsigned char>(c) == 0xFF) out.push_back('\0');
    }
    return out;
}

std::string Mp3EndBlock::unstuff(const std::string& bytes) {
    std::string out;
    out.reserve(bytes.size());
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        out.push_back(bytes[i]);
        if (static_cast<unsigned char>(bytes[i]) == 0xFF && i + 1 < bytes.size() && bytes[i + 1] == '\0') ++i;
    }
    return out;
}
