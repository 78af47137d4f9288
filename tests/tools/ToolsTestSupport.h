// Shared by the track database tests: song trees on disk (sox audio with
// beat side files written through Beats), a counter of song opens through
// the build's seam, file times, and the Python oracle of info.zlt.
#ifndef VELKARN_TESTS_TOOLS_TOOLSTESTSUPPORT_H
#define VELKARN_TESTS_TOOLS_TOOLSTESTSUPPORT_H

#include "tools/BrowserRecord.h"

#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace tools_test {

// What a fixture song carries: no beat side file, or beats every
// beatFrames frames with (or without) a tag chunk.
struct SongSpec {
    SongSpec(bool analyzed = false, int beatFrames = 22050, bool hasTags = false, std::string title = "",
             std::string artist = "", std::string comment = "", float bpm = 0.0f)
        : analyzed(analyzed), beatFrames(beatFrames), hasTags(hasTags), title(std::move(title)),
          artist(std::move(artist)), comment(std::move(comment)), bpm(bpm) {}
    bool analyzed;
    int beatFrames;
    bool hasTags;
    std::string title;
    std::string artist;
    std::string comment;
    float bpm;
};

// Writes the song (a short sox-made WAV, copied from one made once per
// process) and, when analysed, its ".qrt" side file. Directories are made.
void writeSong(const std::string& path, const SongSpec& spec);

// Counts the build's song opens (by full path) while in scope; the opens
// still go to the real song-file factory.
class OpenCounter {
public:
    OpenCounter();
    ~OpenCounter();
    OpenCounter(const OpenCounter&) = delete;
    OpenCounter& operator=(const OpenCounter&) = delete;
    std::vector<std::string> paths() const;
    void reset();
};

// The file's modification time as FILETIME, and setting it (nanoseconds
// since 1970, UTC).
std::uint64_t fileTime(const std::string& path);
void setModified(const std::string& path, std::int64_t secondsSince1970, long nanoseconds);

// The oracle: bytes written from records; records read from bytes (one
// line each as the oracle prints them, then "end").
std::string oracleWrite(const std::vector<BrowserRecord>& records);
std::vector<std::string> oracleRead(const std::string& bytes);
// A record as the oracle's reader prints it.
std::string oracleLine(const BrowserRecord& record);

// Our writer's bytes, through a memory file.
std::string encodeRecords(const std::vector<BrowserRecord>& records);

}  // namespace tools_test

#endif
