// The track database behind the browser window and the automatic player:
// the audio files under one root directory with their analysed state, tempo
// and tag texts (all records, in scan order), the filtered and sorted view
// the browser shows (shown records, copies), the selection, and the four
// root directories the browser offers.
//
// Names "below the root" are the full paths without the built directory
// and its separator. No lock is taken inside; the owner must not read the
// database while a build runs on another thread.
#ifndef VELKARN_TOOLS_BROWSERDATA_H
#define VELKARN_TOOLS_BROWSERDATA_H

#include "tools/BrowserRecord.h"

#include "framework/Color.h"

#include <array>
#include <functional>
#include <memory>
#include <string>
#include <vector>

class AudioFileReader;
class FileZLT;
class GUIText;
struct SongFileOutputs;
struct SongTags;

class BrowserData {
public:
    static constexpr int rootCount = 4;
    using Roots = std::array<std::string, rootCount>;

    // Row colours: selected, loaded, analysed, not analysed.
    static constexpr Color selectedColor{255, 0, 0, 255};
    static constexpr Color loadedColor{0, 0, 255, 255};
    static constexpr Color analyzedColor{0, 0, 0, 255};
    static constexpr Color notAnalyzedColor{100, 100, 100, 255};

    // What a build reports to and asks of its progress display (any thread).
    class Progress {
    public:
        virtual ~Progress() = default;
        virtual void setRange(int low, int high) = 0;
        virtual void setPosition(int value) = 0;
        virtual bool isAborted() const = 0;
    };

    // How the build opens a song for its tags and beats (tests count the
    // opens); the default is SampleDisk::open.
    using SongOpen = std::function<std::unique_ptr<AudioFileReader>(const std::string& path, bool absolute,
                                                                    bool metaOnly, float cacheSeconds,
                                                                    const SongFileOutputs& outputs)>;
    static void setSongOpen(SongOpen open);  // empty: SampleDisk::open

    // Empty, no roots, sort by "BPM" (the automatic player's crate).
    BrowserData();
    // The four roots; when all are empty the default path becomes root 0.
    BrowserData(const std::string& defaultPath, const Roots& roots);
    virtual ~BrowserData();

    BrowserData(const BrowserData&);
    BrowserData& operator=(const BrowserData&);

    const std::string& rootDirectory(int index) const;
    void setRootDirectory(int index, const std::string& path);
    void copyRootDirectories(Roots& roots) const { roots = roots_; }
    int currentRoot() const { return currentRoot_; }
    void setCurrentRoot(int index) { currentRoot_ = index; }
    // Whether root index names a directory that can be listed.
    bool enterRoot(int index) const;

    // Reads the tree below the directory into the database, reusing what
    // its info.zlt holds for unchanged files and rewriting that file when
    // anything differs; then filters and sorts. False when the directory
    // cannot be listed or the progress was aborted (both arrays are then
    // empty; the caller restores its copy).
    bool build(const std::string& directory, Progress* progress);

    int allCount() const { return static_cast<int>(all_.size()); }
    int shownCount() const { return static_cast<int>(shown_.size()); }
    // Out of range: a fatal stop "Record does not exist.".
    const BrowserRecord& filteredRecord(int index) const;
    const BrowserRecord& record(int index) const;
    const std::vector<BrowserRecord>& allRecords() const { return all_; }
    // The index of the first record whose path equals this one ("/" and "\"
    // alike); throws StringException "Record not found." when none does.
    int findRecord(const std::string& path) const;
    // The file name below the root.
    std::string nameBelowRoot(const BrowserRecord& record) const;

    // After the beat mapper saved a song: its record becomes analysed with
    // the tags' tempo and texts, in both arrays. A path not in the database
    // is ignored.
    void updateFromTags(const std::string& path, const SongTags& tags);
    // Removes shown record index and its record in the all array.
    void removeShown(int index);
    // The first selected shown record; 0 and found false when none.
    int selectedIndex(bool& found) const;
    void select(int index);
    void markLoaded(int index);
    // The shown record whose tempo is nearest (sorted by "BPM"); a tie goes
    // to the higher one; 0 with no records.
    int nearestTempoIndex(float tempo) const;

    void setFilter(const std::string& text);
    const std::string& filterText() const { return filter_; }
    // "BPM", "Track", "Artist", "Comments" or "Filename"; another name
    // leaves the order as it is.
    void setSortColumn(const std::string& name);
    const std::string& sortColumn() const { return sortColumn_; }

    int visibleRows() const { return visibleRows_; }
    void setVisibleRows(int rows) { visibleRows_ = rows; }
    int firstShownRow() const { return firstShownRow_; }
    void setFirstShownRow(int row) { firstShownRow_ = row; }

    // The browser's five text columns for rows 0 .. visible rows - 1 (each
    // array that long), from the first shown row on.
    void fillColumns(GUIText* const* tempo, GUIText* const* title, GUIText* const* artist, GUIText* const* comments,
                     GUIText* const* fileName) const;

private:
    void clear();
    void scan(const std::string& directory, FileZLT* reader, Progress* progress, int count, int& done);
    BrowserRecord openSong(const std::string& path, std::uint64_t lastWriteTime) const;
    void filter();
    void sort();
    int allIndexOf(const BrowserRecord& shown) const;
    static void checkIndex(int index, std::size_t size);

    std::vector<BrowserRecord> all_;
    std::vector<BrowserRecord> shown_;
    std::string filter_;
    Roots roots_;
    int currentRoot_ = -1;
    std::string sortColumn_ = "BPM";
    int visibleRows_ = 0;
    int firstShownRow_ = 0;
    std::size_t rootSkip_ = 0;  // characters of the built directory and its "/"
};

#endif
