// Moves an MP3 song's beat meta-data and overview image between the side
// files (the song's name with "qrt" and "png") and the block at the end of
// the song (see Mp3EndBlock.h). They run on the user-interface thread and
// never throw: failures are shown in message boxes, and the song is
// replaced only by one atomic rename of a finished file, so a failure
// leaves the song and its side files as they were.
#ifndef VELKARN_AUDIO_MP3METADATATOOLS_H
#define VELKARN_AUDIO_MP3METADATATOOLS_H

#include <string>

// Writes the side files that exist into the song's block (an old block is
// replaced, an ID3v1 tag stays last), then removes the side files. False
// (nothing done) for a name that does not end in ".mp3".
bool mergeMp3MetaData(const std::string& path);

// Rewrites the song without its block; unless stripOnly, the block's data
// (unstuffed) becomes the side files. False for a name not ending in ".mp3".
bool splitMp3MetaData(const std::string& path, bool stripOnly);
bool stripMp3MetaData(const std::string& path);

#endif
