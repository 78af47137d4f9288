// The edit tests' fixture: the application with tone songs written at run
// time (by name, each a run of equal beats), songs placed on a deck as the
// edits find them, the mix clock moved by rendering the main output, and
// readable accounts of what the edits leave: a deck's slots, the grid's
// weights and the beat from which the grid was last rebuilt.
#ifndef VELKARN_TESTS_APP_DECKTESTSUPPORT_H
#define VELKARN_TESTS_APP_DECKTESTSUPPORT_H

#include "AppTestSupport.h"
#include "audio/Interpolator.h"
#include "audio/TimeScalerPV.h"

#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace app_test {

// The tool group's panel index of each tool.
namespace tools {
enum Tool { dropTool, tempoTool, repeatTool, deleteTool, skipTool, pauseTool, reverseTool, moveTool, fadeTool, listenTool };
}

class DeckTest : public AppTest {
public:
    void SetUp() override;

    // Copies the named song's file and meta-data under a new name; returns
    // the copy's path, its meta-data beside it with the extension ".qrt".
    std::string copySong(const std::string& name, const std::string& copy);
    // Places the named song on a deck from firstBeat, under lock 2.
    void place(int deck, const std::string& name, int firstBeat);
    // Fills a deck's list: 100 one-slot songs from beat 1000 on.
    void fillDeck(int deck);
    // TrackInfo::setTempoFade under lock 2.
    void setWeights(int beat, float from, float to, int n);
    // Moves the mix clock by rendering the main output.
    void advanceClock(std::int32_t frames);
    // Selects the tool and presses in the middle of the beat on one of the
    // deck's strips.
    void click(int tool, int deck, int beat);

    // A deck's songs that start before beat 1000, earliest first: "@first:"
    // (with "=length" for a fixed tempo), then each slot's source position
    // in beats of 22050 frames from the song's first, "p" for a paused
    // slot, "r" after a reversed one and the gains when they are not both 1.
    std::string describe(int deck);
    // The grid's weights of beats 8 to 17.
    std::string weights();
    // Shortens beats 1 to 60 of the grid to 22000 frames, so that the next
    // rebuild shows where it started: rebuiltFrom is the first of them with
    // another length again, -1 when none has.
    void markGrid();
    int rebuiltFrom();

    // The songs by name: "a120", "b120" (16 beats at 120 BPM), "a17" (17),
    // "c100" (8 at 100 BPM), "slow40" and "slow39" (3 at 40 and 39.9 BPM),
    // "fast221" (4 at 221 BPM), "single" (one marked beat, so no slot),
    // "dense" (2601 beats of 200 frames), "plain" (no beat meta-data).
    std::map<std::string, std::string> paths;
    Interpolator interpolator{2};
    TimeScalerPV scaler{1024, 4};
};

// "@0: 0 1 ... 15": a 16-beat song untouched, from the beat.
std::string untouched16(int firstBeat);

}  // namespace app_test

#endif
