#include "tools/BrowserData.h"

#include "tools/FileZLT.h"

#include "audio/Beats.h"
#include "audio/SampleDisk.h"
#include "framework/FileUtilities.h"
#include "framework/GUIText.h"
#include "framework/Log.h"
#include "framework/Reporters.h"
#include "framework/StringException.h"
#include "framework/Support.h"
#include "platform/FileSystem.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <mutex>

namespace {

std::mutex songOpenMutex;
BrowserData::SongOpen songOpen;

std::unique_ptr<AudioFileReader> openSongFile(const std::string& path, const SongFileOutputs& outputs) {
    BrowserData::SongOpen open;
    {
        std::lock_guard lock(songOpenMutex);
        open = songOpen;
    }
    if (open) return open(path, true, true, 0.0f, outputs);
    return SampleDisk::open(path, true, true, 0.0f, outputs);
}

std::string tagText(const char* text) { return std::string(text, strnlen(text, songTextSize - 1)); }

unsigned char lower(unsigned char c) { return c >= 'A' && c <= 'Z' ? static_cast<unsigned char>(c + 32) : c; }

std::string lowerCase(const std::string& text) {
    std::string result = text;
    for (char& c : result) c = static_cast<char>(lower(static_cast<unsigned char>(c)));
    return result;
}

// Whether the text from the offset on holds the lower-case pattern in any
// case (ASCII letters only).
bool containsIgnoringCase(const std::string& text, std::size_t from, const std::string& lowerPattern) {
    if (from > text.size()) return false;
    auto equal = [](char c, char p) { return lower(static_cast<unsigned char>(c)) == static_cast<unsigned char>(p); };
    auto begin = text.begin() + static_cast<std::ptrdiff_t>(from);
    return std::search(begin, text.end(), lowerPattern.begin(), lowerPattern.end(), equal) != text.end() ||
           lowerPattern.empty();
}

// ASCII case-insensitive order of the bytes.
int compareIgnoringCase(const std::string& a, const std::string& b) {
    std::size_t n = std::min(a.size(), b.size());
    for (std::size_t i = 0; i < n; ++i) {
        int x = lower(static_cast<unsigned char>(a[i]));
        int y = lower(static_cast<unsigned char>(b[i]));
        if (x != y) return x - y;
    }
    return a.size() < b.size() ? -1 : a.size() > b.size() ? 1 : 0;
}

// A tempo worth storing: finite; anything else counts as none.
float usableTempo(float tempo) { return std::isfinite(tempo) ? tempo : 0.0f; }

}  // namespace

void BrowserData::setSongOpen(SongOpen open) {
    std::lock_guard lock(songOpenMutex);
    songOpen = std::move(open);
}

BrowserData::BrowserData() = default;

BrowserData::BrowserData(const std::string& defaultPath, const Roots& roots) : roots_(roots) {
    if (std::all_of(roots_.begin(), roots_.end(), [](const std::string& root) { return root.empty(); }))
        roots_[0] = defaultPath;
}

BrowserData::~BrowserData() = default;
BrowserData::BrowserData(const BrowserData&) = default;
BrowserData& BrowserData::operator=(const BrowserData&) = default;

const std::string& BrowserData::rootDirectory(int index) const {
    checkIndex(index, roots_.size());
    return roots_[static_cast<std::size_t>(index)];
}

void BrowserData::setRootDirectory(int index, const std::string& path) {
    checkIndex(index, roots_.size());
    roots_[static_cast<std::size_t>(index)] = path;
}

bool BrowserData::enterRoot(int index) const {
    std::vector<platform::DirectoryEntry> entries;
    if (index < 0 || index >= rootCount || roots_[static_cast<std::size_t>(index)].empty()) return false;
    return reportWindowsError(platform::listDirectory(roots_[static_cast<std::size_t>(index)], entries), __FILE__,
                              __LINE__);
}

void BrowserData::clear() {
    all_.clear();
    shown_.clear();
    firstShownRow_ = 0;
}

bool BrowserData::build(const std::string& directory, Progress* progress) {
    if (!platform::isDirectory(directory)) {
        reportWindowsError(false, __FILE__, __LINE__);
        return false;
    }
    std::unique_ptr<FileZLT> reader;
    try {
        reader = std::make_unique<FileZLT>(directory);
    } catch (const StringException&) {
        // No usable cache: every file is opened.
    }
    clear();
    rootSkip_ = directory.size() + 1;
    // The count only sets the progress range; without a display the tree
    // is walked once.
    const int count = progress != nullptr ? countAudioFiles(directory) : 0;
    if (progress != nullptr) progress->setRange(0, count);
    int done = 0;
    scan(directory, reader.get(), progress, count, done);
    if (progress != nullptr && progress->isAborted()) {
        clear();
        return false;
    }
    if (reader == nullptr || !reader->upToDate()) {
        reader.reset();
        try {
            FileZLT::write(directory, all_);
        } catch (const StringException&) {
            // Not on a volume that can hold it, or the write failed: the
            // old file (if any) stays, and the next build opens the files.
        }
    }
    filter();
    sort();
    return true;
}

void BrowserData::scan(const std::string& directory, FileZLT* reader, Progress* progress, int count, int& done) {
    std::vector<platform::DirectoryEntry> entries;
    if (!platform::listDirectory(directory, entries)) {
        reportWindowsError(false, __FILE__, __LINE__);
        return;
    }
    // A directory is ordered as its name and "/", so the scan meets the
    // files in the byte order of their full paths, as info.zlt stores them.
    auto key = [](const platform::DirectoryEntry& entry) {
        return entry.isDirectory ? entry.name + "/" : entry.name;
    };
    std::sort(entries.begin(), entries.end(),
              [&](const platform::DirectoryEntry& a, const platform::DirectoryEntry& b) { return key(a) < key(b); });
    for (const platform::DirectoryEntry& entry : entries) {
        if (progress != nullptr && progress->isAborted()) return;
        const std::string path = directory + "/" + entry.name;
        if (entry.isDirectory) {
            scan(path, reader, progress, count, done);
            continue;
        }
        if (!isAudioFileName(entry.name)) continue;
        // Links to files count as the files; links to directories are never
        // followed (as the count does).
        if (entry.isSymbolicLink && (platform::isDirectory(path) || !platform::pathExists(path))) continue;
        BrowserRecord record;
        if (reader == nullptr || !reader->lookup(path, entry.modified, record)) record = openSong(path, entry.modified);
        all_.push_back(std::move(record));
        ++done;
        if (progress != nullptr) progress->setPosition(std::min(done, count));
    }
}

BrowserRecord BrowserData::openSong(const std::string& path, std::uint64_t lastWriteTime) const {
    BrowserRecord record;
    std::unique_ptr<Beats> beats;
    SongTags tags;
    SongFileOutputs outputs;
    outputs.beats = &beats;
    outputs.records.tags = &tags;
    try {
        openSongFile(path, outputs);
    } catch (const StringException&) {
        beats.reset();  // counts as not analysed
    }
    if (beats != nullptr) {
        record.analyzed = true;
        // A tag tempo that is not finite and positive is none: the beats'
        // median stands in.
        bool tagged = std::isfinite(tags.bpm) && tags.bpm > 0.0f;
        record.tempo = usableTempo(tagged ? tags.bpm : beats->medianBpm());
        record.title = tagText(tags.title);
        record.artist = tagText(tags.artist);
        record.comments = tagText(tags.comment);
    }
    record.fileName = path;
    record.lastWriteTime = lastWriteTime;
    return record;
}

void BrowserData::checkIndex(int index, std::size_t size) {
    if (index < 0 || static_cast<std::size_t>(index) >= size) fatalError("Record does not exist.", __FILE__, __LINE__);
}

const BrowserRecord& BrowserData::filteredRecord(int index) const {
    checkIndex(index, shown_.size());
    return shown_[static_cast<std::size_t>(index)];
}

const BrowserRecord& BrowserData::record(int index) const {
    checkIndex(index, all_.size());
    return all_[static_cast<std::size_t>(index)];
}

int BrowserData::findRecord(const std::string& path) const {
    for (std::size_t i = 0; i < all_.size(); ++i)
        if (samePath(all_[i].fileName, path)) return static_cast<int>(i);
    throw StringException("Record not found.");
}

std::string BrowserData::nameBelowRoot(const BrowserRecord& record) const {
    return record.fileName.size() > rootSkip_ ? record.fileName.substr(rootSkip_) : std::string();
}

int BrowserData::allIndexOf(const BrowserRecord& shown) const {
    for (std::size_t i = 0; i < all_.size(); ++i)
        if (all_[i].fileName == shown.fileName) return static_cast<int>(i);
    return -1;
}

void BrowserData::updateFromTags(const std::string& path, const SongTags& tags) {
    int index;
    try {
        index = findRecord(path);
    } catch (const StringException&) {
        return;
    }
    BrowserRecord& record = all_[static_cast<std::size_t>(index)];
    record.analyzed = true;
    record.tempo = usableTempo(tags.bpm);
    record.title = tagText(tags.title);
    record.artist = tagText(tags.artist);
    record.comments = tagText(tags.comment);
    for (BrowserRecord& shown : shown_)
        if (shown.fileName == record.fileName) shown = record;
}

void BrowserData::removeShown(int index) {
    checkIndex(index, shown_.size());
    int all = allIndexOf(shown_[static_cast<std::size_t>(index)]);
    if (all >= 0) all_.erase(all_.begin() + all);
    shown_.erase(shown_.begin() + index);
}

int BrowserData::selectedIndex(bool& found) const {
    for (std::size_t i = 0; i < shown_.size(); ++i) {
        if (shown_[i].selected) {
            found = true;
            return static_cast<int>(i);
        }
    }
    found = false;
    return 0;
}

void BrowserData::select(int index) {
    checkIndex(index, shown_.size());
    for (BrowserRecord& record : all_) record.selected = false;
    for (BrowserRecord& record : shown_) record.selected = false;
    BrowserRecord& shown = shown_[static_cast<std::size_t>(index)];
    shown.selected = true;
    int all = allIndexOf(shown);
    if (all >= 0) all_[static_cast<std::size_t>(all)].selected = true;
}

void BrowserData::markLoaded(int index) {
    checkIndex(index, shown_.size());
    BrowserRecord& shown = shown_[static_cast<std::size_t>(index)];
    shown.loaded = true;
    int all = allIndexOf(shown);
    if (all >= 0) all_[static_cast<std::size_t>(all)].loaded = true;
}

int BrowserData::nearestTempoIndex(float tempo) const {
    const int count = shownCount();
    if (count == 0 || tempo <= shown_[0].tempo) return 0;
    int i = 1;
    while (i < count && shown_[static_cast<std::size_t>(i)].tempo < tempo) ++i;
    if (i == count) return count - 1;
    float above = shown_[static_cast<std::size_t>(i)].tempo - tempo;
    float below = tempo - shown_[static_cast<std::size_t>(i - 1)].tempo;
    return above > below ? i - 1 : i;
}

void BrowserData::setFilter(const std::string& text) {
    filter_ = text;
    filter();
    sort();
}

void BrowserData::setSortColumn(const std::string& name) {
    sortColumn_ = name;
    sort();
}

void BrowserData::filter() {
    shown_.clear();
    shown_.reserve(all_.size());
    const std::string pattern = lowerCase(filter_);
    for (const BrowserRecord& record : all_) {
        if (pattern.empty() || containsIgnoringCase(record.title, 0, pattern) ||
            containsIgnoringCase(record.artist, 0, pattern) || containsIgnoringCase(record.comments, 0, pattern) ||
            containsIgnoringCase(record.fileName, rootSkip_, pattern))
            shown_.push_back(record);
    }
}

void BrowserData::sort() {
    auto byText = [this](std::string BrowserRecord::*field) {
        std::sort(shown_.begin(), shown_.end(), [field](const BrowserRecord& a, const BrowserRecord& b) {
            return compareIgnoringCase(a.*field, b.*field) < 0;
        });
    };
    if (sortColumn_ == "BPM")
        std::sort(shown_.begin(), shown_.end(),
                  [](const BrowserRecord& a, const BrowserRecord& b) { return a.tempo < b.tempo; });
    else if (sortColumn_ == "Track")
        byText(&BrowserRecord::title);
    else if (sortColumn_ == "Artist")
        byText(&BrowserRecord::artist);
    else if (sortColumn_ == "Comments")
        byText(&BrowserRecord::comments);
    else if (sortColumn_ == "Filename")
        byText(&BrowserRecord::fileName);
}

void BrowserData::fillColumns(GUIText* const* tempo, GUIText* const* title, GUIText* const* artist,
                              GUIText* const* comments, GUIText* const* fileName) const {
    for (int row = 0; row < visibleRows_; ++row) {
        std::size_t index = static_cast<std::size_t>(firstShownRow_) + static_cast<std::size_t>(row);
        if (firstShownRow_ < 0 || index >= shown_.size()) {
            for (GUIText* const* column : {tempo, title, artist, comments, fileName}) column[row]->setText("");
            continue;
        }
        const BrowserRecord& record = shown_[index];
        Color color = record.selected   ? selectedColor
                      : record.loaded   ? loadedColor
                      : record.analyzed ? analyzedColor
                                        : notAnalyzedColor;
        if (record.analyzed) {
            char text[32];
            std::snprintf(text, sizeof text, "%5.1f", static_cast<double>(record.tempo));
            tempo[row]->setTextAndColor(text, color);
            title[row]->setTextAndColor(record.title, color);
            artist[row]->setTextAndColor(record.artist, color);
            comments[row]->setTextAndColor(record.comments, color);
        } else {
            for (GUIText* const* column : {tempo, title, artist, comments}) column[row]->setTextAndColor("", color);
        }
        std::string name = nameBelowRoot(record);
        name.resize(name.size() > 4 ? name.size() - 4 : 0);
        fileName[row]->setTextAndColor(name, color);
    }
}
