#include "ToolsTestSupport.h"

#include "MetaDataFixtures.h"
#include "TestEnvironment.h"

#include "audio/Beats.h"
#include "audio/SampleDisk.h"
#include "framework/FileMemory.h"
#include "tools/BrowserData.h"
#include "tools/FileZLT.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fcntl.h>
#include <mutex>
#include <sstream>
#include <sys/stat.h>
#include <unistd.h>

namespace tools_test {
namespace {

std::mutex openMutex;
std::vector<std::string> opened;

const std::string& templateWav() {
    static testing_support::TemporaryDirectory* directory = new testing_support::TemporaryDirectory();
    static const std::string path = [] {
        std::string wav = directory->file("template.wav");
        fixtures::makeSoxWav(wav, 0.5);
        return wav;
    }();
    return path;
}

std::string hex(const std::string& bytes) {
    static const char digits[] = "0123456789abcdef";
    std::string out;
    for (unsigned char c : bytes) {
        out += digits[c >> 4];
        out += digits[c & 15];
    }
    return out;
}

// The text as a C string stores it: up to its first zero, at most 1023.
std::string storedText(const std::string& text) {
    std::string stored(text.c_str());
    if (stored.size() > 1023) stored.resize(1023);
    return stored;
}

}  // namespace

void writeSong(const std::string& path, const SongSpec& spec) {
    std::filesystem::create_directories(std::filesystem::path(path).parent_path());
    std::filesystem::copy_file(templateWav(), path, std::filesystem::copy_options::overwrite_existing);
    if (!spec.analyzed) return;
    Beats beats(44100);
    for (int position = 0; position < 88200; position += spec.beatFrames) beats.appendBeat(position, false);
    SongTags tags;
    std::snprintf(tags.title, sizeof tags.title, "%s", spec.title.c_str());
    std::snprintf(tags.artist, sizeof tags.artist, "%s", spec.artist.c_str());
    std::snprintf(tags.comment, sizeof tags.comment, "%s", spec.comment.c_str());
    tags.bpm = spec.bpm;
    BTSettings settings;
    BeatsWriteSources sources;
    sources.settings = &settings;
    sources.tags = spec.hasTags ? &tags : nullptr;
    std::string side = path.substr(0, path.size() - 3) + "qrt";
    beats.writeMetaData(side, sources);
}

OpenCounter::OpenCounter() {
    reset();
    BrowserData::setSongOpen([](const std::string& path, bool absolute, bool metaOnly, float cacheSeconds,
                                const SongFileOutputs& outputs) {
        {
            std::lock_guard lock(openMutex);
            opened.push_back(path);
        }
        return SampleDisk::open(path, absolute, metaOnly, cacheSeconds, outputs);
    });
}

OpenCounter::~OpenCounter() { BrowserData::setSongOpen(nullptr); }

std::vector<std::string> OpenCounter::paths() const {
    std::lock_guard lock(openMutex);
    return opened;
}

void OpenCounter::reset() {
    std::lock_guard lock(openMutex);
    opened.clear();
}

std::uint64_t fileTime(const std::string& path) {
    struct stat status {};
    EXPECT_EQ(::stat(path.c_str(), &status), 0) << path;
    return (static_cast<std::uint64_t>(status.st_mtim.tv_sec) + 11644473600ULL) * 10000000ULL +
           static_cast<std::uint64_t>(status.st_mtim.tv_nsec) / 100U;
}

void setModified(const std::string& path, std::int64_t secondsSince1970, long nanoseconds) {
    struct timespec times[2];
    times[0].tv_sec = secondsSince1970;
    times[0].tv_nsec = nanoseconds;
    times[1] = times[0];
    ASSERT_EQ(::utimensat(AT_FDCWD, path.c_str(), times, 0), 0) << path;
}

std::string oracleWrite(const std::vector<BrowserRecord>& records) {
    testing_support::TemporaryDirectory directory;
    std::ostringstream json;
    json << "[";
    for (std::size_t i = 0; i < records.size(); ++i) {
        const BrowserRecord& r = records[i];
        char tempo[64];
        std::snprintf(tempo, sizeof tempo, "%.9g", static_cast<double>(r.tempo));
        json << (i ? "," : "") << "{\"analyzed\":" << (r.analyzed ? 1 : 0) << ",\"tempo\":" << tempo
             << ",\"title\":\"" << hex(r.title) << "\",\"artist\":\"" << hex(r.artist) << "\",\"comments\":\""
             << hex(r.comments) << "\",\"name\":\"" << hex(r.fileName) << "\",\"time\":" << r.lastWriteTime << "}";
    }
    json << "]";
    testing_support::writeFile(directory.file("records.json"), json.str());
    testing_support::runPython("tools/zlt_oracle.py", {"write", directory.file("records.json"), directory.file("out")});
    return testing_support::readFile(directory.file("out"));
}

std::vector<std::string> oracleRead(const std::string& bytes) {
    testing_support::TemporaryDirectory directory;
    testing_support::writeFile(directory.file("in"), bytes);
    std::istringstream printed(testing_support::runPython("tools/zlt_oracle.py", {"read", directory.file("in")}));
    std::vector<std::string> lines;
    for (std::string line; std::getline(printed, line);) lines.push_back(line);
    return lines;
}

std::string oracleLine(const BrowserRecord& record) {
    std::uint32_t bits;
    std::memcpy(&bits, &record.tempo, 4);
    char tempo[16];
    std::snprintf(tempo, sizeof tempo, "%08x", bits);
    auto text = [](const std::string& t) {
        std::string stored = storedText(t);
        return stored.empty() ? std::string("-") : hex(stored);
    };
    return std::string(record.analyzed ? "1" : "0") + " " + tempo + " " + text(record.title) + " " +
           text(record.artist) + " " + text(record.comments) + " " + text(record.fileName) + " " +
           std::to_string(record.lastWriteTime);
}

std::string encodeRecords(const std::vector<BrowserRecord>& records) {
    FileMemory file(static_cast<int>(FileZLT::encodedSize(records)));
    FileZLT::write(file, records);
    return std::string(reinterpret_cast<const char*>(file.data()), static_cast<std::size_t>(file.size()));
}

}  // namespace tools_test
