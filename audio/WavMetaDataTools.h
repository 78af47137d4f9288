// Moves a WAV song's beat meta-data and overview image between the side
// files (the song's name with "qrt" and "png") and the song itself (RIFF
// chunks "qrt " and "png "). The beat mapper runs them on the user-interface
// thread. They never throw: failures are shown in message boxes, what was
// written is removed and the song keeps (or gets back) its name.
#ifndef VELKARN_AUDIO_WAVMETADATATOOLS_H
#define VELKARN_AUDIO_WAVMETADATATOOLS_H

#include <string>

// Writes the side files that exist into the song as its last chunks,
// replacing any embedded ones, then removes the side files. Uses the
// song's "tmp" name for the old file while it works. An ".mp3" song stays
// as it is: a new ".wav" file of its name wraps its MP3 data (a leading
// ID3v2 tag included; an end block and ID3v1 tag left out) with an MPEG
// Layer III "fmt " chunk made from its first frame, followed by the side
// files' chunks. False (nothing done) for a name of another type.
bool mergeWavMetaData(const std::string& path);

// Rewrites the song without its "qrt " and "png " chunks; unless stripOnly,
// their bytes become the side files. False for a name not ending in ".wav".
bool splitWavMetaData(const std::string& path, bool stripOnly);
bool stripWavMetaData(const std::string& path);

// A song's side-file (or "tmp") name: its last three characters replaced
// ("song.wav" to "song.qrt").
std::string withExtension(const std::string& name, const char* extension);

#endif
