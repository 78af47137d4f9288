// One case of the meta-data tools on a damaged song: the song and the side
// files come from the input, then merge, split and split again run on it.
//   byte 0: bit 0 a "qrt" side file, bit 1 a "png" side file
//   bytes 1..4, 5..8: their sizes; their bytes follow, the song after them.
// Whatever the song holds, no file of the user's is lost: a tool that shows
// a box leaves the song and the side files as they were, no temporary file
// stays behind, and what a merge took in, a split gives back unchanged.
#ifndef VELKARN_TESTS_FUZZ_METADATATOOLSCASE_H
#define VELKARN_TESTS_FUZZ_METADATATOOLSCASE_H

#include "FuzzSupport.h"

#include "platform/UiScript.h"

#include <filesystem>
#include <optional>
#include <set>

namespace fuzz {

using Bytes = std::vector<std::uint8_t>;

struct ToolsCase {
    std::string directory;
    std::string song;    // the path the tools are given
    std::string result;  // the song file the merge leaves (another for a wrap)
    Bytes songBytes;
    std::optional<Bytes> qrt, png;

    std::string side(const char* extension) const { return directory + "/song." + extension; }

    std::optional<Bytes> contents(const std::string& path) const {
        Bytes bytes;
        if (!readFile(path, bytes)) return std::nullopt;
        return bytes;
    }

    // Whether the tool showed a box (a refusal) since the last call.
    static bool boxShown() {
        const bool shown = !platform::uiScript::requests().empty();
        platform::uiScript::clearRequests();
        return shown;
    }

    void checkOnlySongFilesLeft() const {
        const std::set<std::string> allowed = {"song.wav", "song.mp3", "song.qrt", "song.png"};
        for (const auto& entry : std::filesystem::directory_iterator(directory))
            check(allowed.count(entry.path().filename().string()) == 1, "a temporary file was left behind");
    }
};

inline ToolsCase prepareToolsCase(const std::uint8_t* data, std::size_t size, const char* songExtension) {
    ToolsCase c;
    c.directory = scratchDirectory() + "/tools";
    std::error_code ignored;
    std::filesystem::remove_all(c.directory, ignored);
    std::filesystem::create_directories(c.directory);
    c.song = c.side(songExtension);
    c.result = c.song;

    Cursor cursor(data, size);
    const std::uint8_t flags = cursor.byte();
    const std::size_t qrtSize = cursor.u32() % 65536;
    const std::size_t pngSize = cursor.u32() % 65536;
    auto take = [&cursor](std::size_t count) {
        Bytes bytes;
        for (std::size_t i = 0; i < count && cursor.restSize() > 0; ++i) bytes.push_back(cursor.byte());
        return bytes;
    };
    if (flags & 1) c.qrt = take(qrtSize);
    if (flags & 2) c.png = take(pngSize);
    c.songBytes.assign(cursor.rest(), cursor.rest() + cursor.restSize());

    writeFile(c.song, c.songBytes.data(), c.songBytes.size());
    if (c.qrt) writeFile(c.side("qrt"), c.qrt->data(), c.qrt->size());
    if (c.png) writeFile(c.side("png"), c.png->data(), c.png->size());
    platform::uiScript::clearRequests();
    return c;
}

// Merge, split, split again on the prepared case (split on c.result).
template <typename Merge, typename Split>
void runToolsCase(ToolsCase& c, Merge merge, Split split) {
    check(merge(c.song), "the merge refused the song's name");
    const bool mergeRefused = ToolsCase::boxShown();
    c.checkOnlySongFilesLeft();
    check(c.contents(c.song) == c.songBytes || (!mergeRefused && c.song == c.result),
          "the song changed although it was not the merge's to change");
    const bool tookSides = !mergeRefused && (c.qrt || c.png);
    if (mergeRefused || !(c.qrt || c.png)) {
        check(c.contents(c.side("qrt")) == c.qrt && c.contents(c.side("png")) == c.png,
              "side files changed although the merge did not take them");
    } else {
        check(!c.contents(c.side("qrt")) && !c.contents(c.side("png")), "the merge left side files it took");
    }
    if (!c.contents(c.result)) return;

    const std::optional<Bytes> beforeSplit = c.contents(c.result);
    check(split(c.result), "the split refused the song's name");
    const bool splitRefused = ToolsCase::boxShown();
    c.checkOnlySongFilesLeft();
    const std::optional<Bytes> afterSplit = c.contents(c.result);
    check(afterSplit.has_value(), "the split lost the song");
    if (splitRefused) {
        check(afterSplit == beforeSplit, "a refused split changed the song");
        return;
    }
    // An empty side file carries nothing; the MP3 block cannot tell it from
    // none, so it may come back absent.
    auto givenBack = [&c](const char* extension, const std::optional<Bytes>& merged) {
        const std::optional<Bytes> now = c.contents(c.side(extension));
        return now == merged || (merged->empty() && !now);
    };
    if (tookSides) {
        if (c.qrt) check(givenBack("qrt", c.qrt), "the split gave back another qrt than was merged");
        if (c.png) check(givenBack("png", c.png), "the split gave back another png than was merged");
    }

    check(split(c.result), "the split refused the song's name");
    const bool againRefused = ToolsCase::boxShown();
    c.checkOnlySongFilesLeft();
    if (!againRefused) check(c.contents(c.result) == afterSplit, "a second split changed the song again");
    if (!mergeRefused && !againRefused) noteAccepted();
}

}  // namespace fuzz

#endif
