#include "MetaDataFixtures.h"

#include "TestEnvironment.h"

#include "framework/Crc32.h"

#include <atomic>
#include <filesystem>
#include <cstdlib>
#include <unistd.h>

#include <stdexcept>

namespace fixtures {

std::string int32le(std::int32_t value) {
    std::uint32_t bits = static_cast<std::uint32_t>(value);
    std::string out;
    for (int i = 0; i < 4; ++i) out.push_back(static_cast<char>((bits >> (8 * i)) & 0xFF));
    return out;
}

std::int32_t loadInt32le(const std::string& bytes, std::size_t at) {
    std::uint32_t bits = 0;
    for (int i = 0; i < 4; ++i) bits |= static_cast<std::uint32_t>(static_cast<std::uint8_t>(bytes.at(at + i))) << (8 * i);
    return static_cast<std::int32_t>(bits);
}

std::string uint32be(std::uint32_t value) {
    std::string out;
    for (int i = 3; i >= 0; --i) out.push_back(static_cast<char>((value >> (8 * i)) & 0xFF));
    return out;
}

std::string syncsafe(std::uint32_t value) {
    std::string out;
    for (int i = 3; i >= 0; --i) out.push_back(static_cast<char>((value >> (7 * i)) & 0x7F));
    return out;
}

std::string runTool(const std::vector<std::string>& argv) {
    static std::atomic<int> serial{0};
    const char* tmp = std::getenv("TMPDIR");
    std::string output = std::string(tmp != nullptr ? tmp : "/tmp") + "/velkarn-tool-" + std::to_string(::getpid()) + "-" +
                         std::to_string(serial.fetch_add(1)) + ".txt";
    int status = testing_support::runProgram(argv, output);
    std::string printed;
    if (access(output.c_str(), R_OK) == 0) printed = testing_support::readFile(output);
    ::unlink(output.c_str());
    if (status != 0) {
        std::string command;
        for (const std::string& argument : argv) command += argument + " ";
        throw std::runtime_error(command + "failed with " + std::to_string(status) + ": " + printed);
    }
    return printed;
}

void makeSoxWav(const std::string& path, double seconds) {
    runTool({"sox", "-D", "-n", "-r", "44100", "-c", "2", "-b", "16", "-e", "signed-integer", path, "synth",
             std::to_string(seconds), "sine", "440", "sine", "660", "vol", "0.8"});
}

void makeLameMp3(const std::string& path, double seconds) {
    std::string wav = path + ".source.wav";
    makeSoxWav(wav, seconds);
    runTool({"lame", "--quiet", "-b", "128", wav, path});
    ::unlink(wav.c_str());
}

std::unique_ptr<FileMemory> memoryFile(const std::string& bytes) {
    auto file = std::make_unique<FileMemory>(static_cast<int>(bytes.size()));
    if (!bytes.empty()) file->write(bytes.data(), static_cast<int>(bytes.size()));
    file->seek(0);
    return file;
}

std::string qrtSignature() { return std::string("\x89QRT\r\n\x1a\n", 8); }

void refreshCrc(QrtChunk& chunk) {
    chunk.crc = computeCrc32(reinterpret_cast<const std::uint8_t*>(chunk.name.data()), 32,
                             reinterpret_cast<const std::uint8_t*>(chunk.data.data()), static_cast<int>(chunk.data.size()));
}

QrtChunk qrtChunk(const std::string& name, const std::string& data) {
    QrtChunk chunk;
    chunk.length = static_cast<std::int32_t>(data.size());
    chunk.name = name;
    chunk.name.resize(32, '\0');
    chunk.data = data;
    refreshCrc(chunk);
    return chunk;
}

std::vector<QrtChunk> parseQrt(const std::string& bytes) {
    std::vector<QrtChunk> chunks;
    std::size_t at = 8;
    while (at < bytes.size()) {
        QrtChunk chunk;
        chunk.length = loadInt32le(bytes, at);
        chunk.name = bytes.substr(at + 4, 32);
        chunk.data = bytes.substr(at + 36, static_cast<std::size_t>(chunk.length));
        chunk.crc = static_cast<std::uint32_t>(loadInt32le(bytes, at + 36 + chunk.length));
        chunks.push_back(chunk);
        at += 40 + static_cast<std::size_t>(chunk.length);
    }
    return chunks;
}

std::string writeQrt(const std::vector<QrtChunk>& chunks) {
    std::string out = qrtSignature();
    for (const QrtChunk& chunk : chunks)
        out += int32le(chunk.length) + chunk.name + chunk.data + int32le(static_cast<std::int32_t>(chunk.crc));
    return out;
}

std::vector<std::size_t> qrtChunkBoundaries(const std::string& bytes) {
    std::vector<std::size_t> boundaries{8};
    std::size_t at = 8;
    while (at + 36 <= bytes.size()) {
        at += 40 + static_cast<std::size_t>(loadInt32le(bytes, at));
        boundaries.push_back(std::min(at, bytes.size()));
    }
    return boundaries;
}

std::string writeRiff(const std::vector<RiffChunk>& chunks, std::int64_t riffSize, const std::string& form) {
    std::string body = form;
    for (const RiffChunk& chunk : chunks) {
        std::int64_t size = chunk.sizeField >= 0 ? chunk.sizeField : static_cast<std::int64_t>(chunk.body.size());
        body += chunk.id;
        for (int i = 0; i < 4; ++i) body.push_back(static_cast<char>((size >> (8 * i)) & 0xFF));
        body += chunk.body;
        if (chunk.pad && chunk.body.size() % 2 == 1) body.push_back('\0');
    }
    std::int64_t size = riffSize >= 0 ? riffSize : static_cast<std::int64_t>(body.size());
    std::string out = "RIFF";
    for (int i = 0; i < 4; ++i) out.push_back(static_cast<char>((size >> (8 * i)) & 0xFF));
    return out + body;
}

std::vector<RiffChunk> parseRiff(const std::string& bytes) {
    if (bytes.size() < 12 || bytes.compare(0, 4, "RIFF") != 0) throw std::runtime_error("not RIFF");
    std::vector<RiffChunk> chunks;
    std::size_t at = 12;
    while (at + 8 <= bytes.size()) {
        RiffChunk chunk;
        chunk.id = bytes.substr(at, 4);
        std::uint32_t size = static_cast<std::uint32_t>(loadInt32le(bytes, at + 4));
        chunk.sizeField = size;
        chunk.body = bytes.substr(at + 8, size);
        chunks.push_back(chunk);
        at += 8 + static_cast<std::size_t>(size) + (size % 2);
    }
    return chunks;
}

std::string fmtBody(int tag, int channels, int rate, int bits) {
    auto u16 = [](int value) { return std::string{static_cast<char>(value & 0xFF), static_cast<char>((value >> 8) & 0xFF)}; };
    int align = channels * bits / 8;
    return u16(tag) + u16(channels) + int32le(rate) + int32le(rate * align) + u16(align) + u16(bits);
}

std::string stuff(const std::string& bytes) {
    std::string out;
    for (char c : bytes) {
        out.push_back(c);
        if (static_cast<unsigned char>(c) == 0xFF) out.push_back('\0');
    }
    return out;
}

std::string mp3MetaDataBlock(const std::string& qrt, const std::string& png, std::size_t mp3Length) {
    std::string stuffedQrt = stuff(qrt), stuffedPng = stuff(png);
    std::uint32_t qrtOffset = static_cast<std::uint32_t>(mp3Length + 25);
    std::string header = "QRT & PNG" + syncsafe(qrtOffset) + syncsafe(qrtOffset + static_cast<std::uint32_t>(stuffedQrt.size())) +
                         syncsafe(static_cast<std::uint32_t>(stuffedQrt.size())) + syncsafe(static_cast<std::uint32_t>(stuffedPng.size()));
    return header + stuffedQrt + stuffedPng + header;
}

int openDescriptorCount() {
    int count = 0;
    for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator("/proc/self/fd")) ++count;
    return count;
}

std::string textBody(const std::string& text, std::uint8_t encoding) {
    return std::string(1, static_cast<char>(encoding)) + text;
}

std::string commentBody(const std::string& description, const std::string& text, std::uint8_t encoding) {
    return std::string(1, static_cast<char>(encoding)) + "eng" + description + std::string(1, '\0') + text;
}

std::string writeId3(const Id3Tag& tag) {
    std::string body = tag.extendedHeader;
    for (const Id3Frame& frame : tag.frames) {
        std::int64_t size = frame.sizeField >= 0 ? frame.sizeField : static_cast<std::int64_t>(frame.body.size());
        body += frame.id;
        body += tag.major == 4 ? syncsafe(static_cast<std::uint32_t>(size)) : uint32be(static_cast<std::uint32_t>(size));
        body.push_back(static_cast<char>(frame.flags0));
        body.push_back(static_cast<char>(frame.flags1));
        body += frame.body;
    }
    body.append(static_cast<std::size_t>(tag.padding), '\0');
    std::int64_t size = tag.sizeField >= 0 ? tag.sizeField : static_cast<std::int64_t>(body.size());
    std::string header = "ID3";
    header.push_back(static_cast<char>(tag.major));
    header.push_back(static_cast<char>(tag.revision));
    header.push_back(static_cast<char>(tag.flags));
    header += syncsafe(static_cast<std::uint32_t>(size));
    std::string out = header + body;
    if (tag.footer) out += "3DI" + header.substr(3);
    return out;
}

}  // namespace fixtures
