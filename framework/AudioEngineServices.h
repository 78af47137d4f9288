// What the framework needs of the audio engine, behind seams that the
// engine fills in when it is linked: the song tempo for the open chooser's
// preview, and the loader of the WMA decoder. Until then the preview sees
// no beat list and WMA is not offered.
#ifndef VELKARN_FRAMEWORK_AUDIOENGINESERVICES_H
#define VELKARN_FRAMEWORK_AUDIOENGINESERVICES_H

#include <functional>
#include <string>

struct SongPreview {
    bool hasBeats = false;   // the song has beat meta-data
    float tagBpm = 0.0f;     // the BPM of the song's text tags, 0 when none
    double medianBpm = 0.0;  // from the median distance between beats
};

// Reads the beat meta-data of an absolute path; may throw StringException
// when the file cannot be read.
using SongPreviewReader = std::function<SongPreview(const std::string& absolutePath)>;
void setSongPreviewReader(SongPreviewReader reader);  // empty: no beat list for any file
SongPreview readSongPreview(const std::string& absolutePath);

// The WMA decoder's loader: true when it can be used; unload is called once
// at clean-up after a successful load.
void setWmaLibraryLoader(std::function<bool()> load, std::function<void()> unload);
bool loadWmaLibrary();
void unloadWmaLibrary();

#endif
