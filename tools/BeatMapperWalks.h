// The beat mapper's batch jobs over a whole directory tree: split the beat
// meta-data kept inside audio files out into side files, merge side files
// into the audio files, and convert meta-data without a level envelope to
// the format that carries it (the envelope and folded profile, with a new
// overview image). They run on the progress dialog's job thread.
//
// Walks build full paths and never change the process's current
// directory. Entries come sorted by the bytes of their names; symbolic
// links to directories are not entered, and a directory that cannot be
// listed is logged ("Windows trouble ...") and skipped.
#ifndef VELKARN_TOOLS_BEATMAPPERWALKS_H
#define VELKARN_TOOLS_BEATMAPPERWALKS_H

#include <cstdint>
#include <string>

class DialogProgress;

class BeatMapperWalks {
public:
    enum class Job { Split, Merge, Convert };

    // What a walk reports to and asks of its progress dialog.
    class Progress {
    public:
        virtual ~Progress() = default;
        virtual void setRange(int low, int high) = 0;
        virtual void setPosition(int value) = 0;
        virtual bool isAborted() const = 0;
    };

    // The job of a progress dialog's title ("Splitting Tracks", "Merging
    // Tracks", "Converting Tracks"); false for any other title.
    static bool jobOfTitle(const std::string& title, Job& job);

    // Counts the audio files of the tree, sets the range 0 .. that count,
    // then walks it; each audio file processed moves the position to the
    // number done. An abort stops before the next entry. Returns the
    // number of audio files visited.
    static int run(Job job, const std::string& directory, Progress& progress);
    // The same on the progress dialog.
    static int run(Job job, const std::string& directory, DialogProgress& dialog);
    // One directory and those below it, without the count: each audio file
    // processed adds 1 to the counter and moves the position to it. False
    // when the directory could not be listed.
    static bool walk(Job job, const std::string& directory, int& counter, Progress& progress);
    static bool walk(Job job, const std::string& directory, int& counter, DialogProgress& dialog);

    // One file by the job and its extension.
    static void processFile(Job job, const std::string& path);
    // Gives a song without a level envelope its envelope, folded profile
    // and overview image. Passed over (false, the file untouched): a file
    // in use, one that does not open, one with fewer than two beats or
    // beats spanning under one overview pixel, and one that already has the
    // envelope.
    static bool convertFile(const std::string& path);
};

#endif
