// A played-songs list of a recording: a numbered text list (mode 0,
// "<base>.txt") or a CSV list for spreadsheets (mode 1, "<base>.csv"),
// written with CR LF line ends. Each song dropped onto a deck while the
// list runs adds one line; the text list stamps it with the time into the
// recording, counted across stops and restarts into the same file.
//
// Fields are written as they stand, without quoting or escaping. Lines are
// not flushed one by one. User-interface thread only.
#ifndef VELKARN_APP_PLAYLISTWRITER_H
#define VELKARN_APP_PLAYLISTWRITER_H

#include <cstdint>
#include <memory>
#include <string>

namespace platform {
class DiskFile;
}

class PlaylistWriter {
public:
    enum Mode { text = 0, csv = 1 };

    explicit PlaylistWriter(int mode);
    ~PlaylistWriter();
    PlaylistWriter(const PlaylistWriter&) = delete;
    PlaylistWriter& operator=(const PlaylistWriter&) = delete;

    int mode() const { return mode_; }
    // Ends a run, closes the file and clears the time of earlier runs; the
    // name becomes the base and the mode's extension.
    void setBaseName(const std::string& base);
    const std::string& fileName() const { return fileName_; }

    // Nothing while running. Opens the file when there is none (emptied;
    // the CSV header first); a failure shows "Cannot start recording
    // playlist." and the list stays as it was, so the next start tries again.
    void start(std::int64_t sampleTime);
    // Ends a run: its length joins the time of earlier runs.
    void stop(std::int64_t sampleTime);
    // With a file: ends a run and empties the file (the CSV header again);
    // a failure shows "Cannot reset playlist recording." and leaves no file.
    void reset();
    bool isRunning() const { return running_; }
    bool hasFile() const { return file_ != nullptr; }

    // Deck 0 or 1, the drop's sample time and the song's three texts; nothing
    // while not running.
    void writeLine(int deck, std::int64_t sampleTime, const std::string& title, const std::string& artist,
                   const std::string& label);

    // One line of the text list, for a line elapsedSamples into the
    // recording (44,100 per second, truncated toward zero).
    static std::string textLine(int deck, std::int64_t elapsedSamples, const std::string& title,
                                const std::string& artist, const std::string& label);
    static std::string csvLine(const std::string& title, const std::string& artist, const std::string& label);
    static constexpr const char* csvHeader = "Title;Artist;Label\r\n";

private:
    bool openFile();
    void put(const std::string& bytes);

    const int mode_;
    std::unique_ptr<platform::DiskFile> file_;
    std::string fileName_;
    bool running_ = false;
    std::int64_t startTime_ = 0;
    std::int64_t elapsedOffset_ = 0;
};

#endif
