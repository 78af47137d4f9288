#include "tools/BeatMapperWalks.h"
#include "tools/BeatMapper.h"

#include "audio/AudioFileReader.h"
#include "audio/Beats.h"
#include "audio/Mp3MetaDataTools.h"
#include "audio/SampleDisk.h"
#include "audio/WavMetaDataTools.h"
#include "audio/WmaMetaDataTools.h"
#include "framework/DialogProgress.h"
#include "framework/FileUtilities.h"
#include "framework/Reporters.h"
#include "framework/StringException.h"
#include "framework/Window.h"
#include "platform/FileSystem.h"
#include "tools/BeatMapperEdit.h"
#include "tools/GUIBeatMap.h"

#include <memory>
#include <vector>

namespace {

// A read of the analysis spans just under two seconds at most.
constexpr float convertCacheSeconds = 2.0f;
constexpr std::int32_t samplesPerValue = 153;

class DialogAdapter : public BeatMapperWalks::Progress {
public:
    explicit DialogAdapter(DialogProgress& dialog) : dialog_(dialog) {}
    void setRange(int low, int high) override { dialog_.setRange(low, high); }
    void setPosition(int value) override { dialog_.setPosition(value); }
    bool isAborted() const override { return dialog_.isAborted(); }

private:
    DialogProgress& dialog_;
};

// Whether the listed entry is an audio file to process: regular files, and
// links that lead to one (as the count takes them).
bool isAudioEntry(const platform::DirectoryEntry& entry, const std::string& path) {
    if (!isAudioFileName(entry.name)) return false;
    if (!entry.isSymbolicLink) return true;
    return platform::pathExists(path) && !platform::isDirectory(path);
}

}  // namespace

bool BeatMapperWalks::jobOfTitle(const std::string& title, Job& job) {
    if (title == "Splitting Tracks") {
        job = Job::Split;
    } else if (title == "Merging Tracks") {
        job = Job::Merge;
    } else if (title == "Converting Tracks") {
        job = Job::Convert;
    } else {
        return false;
    }
    return true;
}

int BeatMapperWalks::run(Job job, const std::string& directory, Progress& progress) {
    const int total = countAudioFiles(directory);
    progress.setRange(0, total);
    int counter = 0;
    walk(job, directory, counter, progress);
    return counter;
}

int BeatMapperWalks::run(Job job, const std::string& directory, DialogProgress& dialog) {
    DialogAdapter progress(dialog);
    return run(job, directory, progress);
}

bool BeatMapperWalks::walk(Job job, const std::string& directory, int& counter, DialogProgress& dialog) {
    DialogAdapter progress(dialog);
    return walk(job, directory, counter, progress);
}

bool BeatMapperWalks::walk(Job job, const std::string& directory, int& counter, Progress& progress) {
    std::vector<platform::DirectoryEntry> entries;
    if (!platform::listDirectory(directory, entries)) return reportWindowsError(false, __FILE__, __LINE__);
    for (const platform::DirectoryEntry& entry : entries) {
        if (progress.isAborted()) break;
        const std::string path = directory + "/" + entry.name;
        // A link to a directory is never followed (a loop would never end).
        if (entry.isDirectory) {
            walk(job, path, counter, progress);
        } else if (isAudioEntry(entry, path)) {
            processFile(job, path);
            ++counter;
            progress.setPosition(counter);
        }
    }
    return true;
}

void BeatMapperWalks::processFile(Job job, const std::string& path) {
    const bool wav = hasWavExtension(path);
    const bool mp3 = hasMp3Extension(path);
    const bool wma = hasWmaExtension(path) && isAudioFileName(path);
    if (!wav && !mp3 && !wma) return;
    switch (job) {
    case Job::Split:
        if (wav) splitWavMetaData(path, false);
        else if (mp3) splitMp3MetaData(path, false);
        else splitWmaMetaData(path, false);
        break;
    case Job::Merge:
        BeatMapperEdit::placeMetaData(path, true);
        break;
    case Job::Convert:
        convertFile(path);
        break;
    }
}

bool BeatMapperWalks::convertFile(const std::string& path) {
    if (!canOpenExclusively(path)) return false;

    std::unique_ptr<Beats> beats;
    SongRecords records;
    SongFileOutputs outputs;
    outputs.beats = &beats;
    outputs.records = records.targets();

    std::unique_ptr<AudioFileReader> song;
    try {
        song = SampleDisk::open(path, true, false, convertCacheSeconds, outputs);
    } catch (const StringException&) {
        return false;
    }
    // Nothing to convert: no beats, or the envelope is there already. Too
    // few beats, or beats too close for one overview pixel, give no image.
    if (beats == nullptr || records.hasPoints || !BeatMapperEdit::hasOverview(*beats)) return false;

    const std::string qrtPath = withExtension(path, "qrt");
    const bool embedded = !platform::pathExists(qrtPath) && !platform::pathExists(withExtension(path, "png"));

    const std::int32_t beatsPerBar = records.settings.strip[1];
    {
        GUIBeatMap map(105, 15, 770, 250, samplesPerValue, nullptr);
        map.analyse(song.get(), nullptr);
        const OwnedPoints envelope(
            BeatMapperEdit::pointsRecord(map, records.settings.bpm, beatsPerBar, (*beats)[0].position));

        BeatsWriteSources sources = records.sources();
        sources.points = &envelope.record;
        BeatMapperEdit::addFrameTable(*song, sources);
        try {
            beats->writeMetaData(qrtPath, sources);
        } catch (const StringException&) {
            return false;
        }
    }
    BeatMapperEdit::writeOverviewImage(*beats, beatsPerBar, true, path);
    beats.reset();
    song.reset();

    BeatMapperEdit::placeMetaData(path, embedded);
    return true;
}

// ---------------------------------------------------------------------------
// The window's batch jobs

namespace {

BeatMapperWalks::Job jobOf(BeatMapper::Walk walk) {
    switch (walk) {
    case BeatMapper::Walk::Split:
        return BeatMapperWalks::Job::Split;
    case BeatMapper::Walk::Merge:
        return BeatMapperWalks::Job::Merge;
    case BeatMapper::Walk::Convert:
        break;
    }
    return BeatMapperWalks::Job::Convert;
}

}  // namespace

void BeatMapper::startWalk(Walk walk) {
    const char* instruction = nullptr;
    const char* title = nullptr;
    switch (walk) {
    case Walk::Split:
        instruction = "The files in the selected directory and in its sub-directories will be split.";
        title = "Splitting Tracks";
        break;
    case Walk::Merge:
        instruction = "The files in the selected directory and in its sub-directories will be merged.";
        title = "Merging Tracks";
        break;
    case Walk::Convert:
        instruction = "The files in the selected directory and in its sub-directories will be converted from <= "
                      "1.16 to >= 1.17 format.";
        title = "Converting Tracks";
        break;
    }
    std::string directory;
    if (!chooseDirectory(window_->handle(), instruction, directory)) return;
    batchDirectory_ = directory;
    // The dialog's job comes back through run(), which calls runWalk.
    DialogProgress progress(window_.get(), this, title, &abort_, 0, 0);
}

void BeatMapper::runWalk(DialogProgress* dialog, Walk walk) {
    if (dialog != nullptr) BeatMapperWalks::run(jobOf(walk), batchDirectory_, *dialog);
}

bool BeatMapper::walkDirectory(const std::string& path, int& counter, DialogProgress* dialog, Walk walk) {
    return dialog != nullptr && BeatMapperWalks::walk(jobOf(walk), path, counter, *dialog);
}

void BeatMapper::processFile(const std::string& path, Walk walk) { BeatMapperWalks::processFile(jobOf(walk), path); }

bool BeatMapper::convertFile(const std::string& path) { return BeatMapperWalks::convertFile(path); }
