// Stand-in until "DJ application III: recorder, played-songs lists, tool panels, function panels, settings panel and dialogs"
// replaces it: a played-songs list in text (0) or CSV (1) mode that never
// runs.
#ifndef VELKARN_APP_PLAYLISTWRITER_H
#define VELKARN_APP_PLAYLISTWRITER_H

#include <cstdint>
#include <string>

class PlaylistWriter {
public:
    explicit PlaylistWriter(int mode) : mode_(mode) {}
    int mode() const { return mode_; }
    bool isRunning() const { return false; }
    // A placed song's line; nothing while not running.
    void writeLine(int /*deck*/, std::int64_t /*sampleTime*/, const std::string& /*title*/,
                   const std::string& /*artist*/, const std::string& /*label*/) {}
    void setBaseName(const std::string& base) { baseName_ = base; }
    const std::string& baseName() const { return baseName_; }

private:
    int mode_;
    std::string baseName_;
};

#endif
