// Moves a WMA song's beat meta-data and overview image between the side
// files (the song's name with "qrt" and "png") and the song's two
// attributes (see SampleDiskWMA). They run on the user-interface thread and
// never throw: failures are shown in message boxes. Nothing is deleted
// before its copy is safe: merge removes the side files only after both
// attributes are saved, split removes the attributes only after every side
// file is written and closed.
#ifndef VELKARN_AUDIO_WMAMETADATATOOLS_H
#define VELKARN_AUDIO_WMAMETADATATOOLS_H

#include <string>

// Replaces the song's attributes by the side files that exist, then removes
// the side files. False (nothing done) for a name not ending in ".wma".
bool mergeWmaMetaData(const std::string& path);

// Unless stripOnly, writes each attribute into its side file; then removes
// the attributes. False for a name not ending in ".wma".
bool splitWmaMetaData(const std::string& path, bool stripOnly);
bool stripWmaMetaData(const std::string& path);

#endif
