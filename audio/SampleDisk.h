// The song-file factory: opens a ".wav", ".mp3" or ".wma" song, finds its
// beat meta-data (the side file with the extension "qrt", else the data
// kept inside the song) and its overview image (the side ".png", else the
// embedded one), reads the tags of an MP3 song, and makes the reader that
// fits the file. Decks, the browser's database build (meta-data only), the
// previewer, the beat mapper and the open chooser's tempo preview use it.
//
// Inside a song the meta-data lies in the RIFF chunks "qrt " and "png " of
// a WAV file, or in a block at the end of an MP3 file (before its ID3v1
// tag): a 25-byte header ("QRT & PNG", then the offsets and sizes of the
// two parts as big-endian syncsafe numbers), the QRT and PNG bytes with a
// 0x00 stuffed after every 0xFF, and a trailer equal to the header.
#ifndef VELKARN_AUDIO_SAMPLEDISK_H
#define VELKARN_AUDIO_SAMPLEDISK_H

#include "audio/AudioFileReader.h"
#include "audio/Beats.h"
#include "audio/FormatAudio.h"

#include <cstdint>
#include <memory>
#include <string>

class File;
class ID3Text;
class ID3v2Tag;
class Image;

// Where a song's results go; every pointer may be null. Outputs change only
// when the whole open succeeds; then every given has-flag tells whether its
// item was found, and an absent Beats or image leaves its pointer empty.
struct SongFileOutputs {
    std::unique_ptr<Beats>* beats = nullptr;
    // The side records of the beat meta-data, as Beats' reader fills them.
    BeatsReadTargets records;
    std::unique_ptr<Image>* image = nullptr;
    // MP3 songs: the 128 bytes of the ID3v1 tag and the ID3v2 tag.
    std::uint8_t* id3v1 = nullptr;
    bool* hasId3v1 = nullptr;
    std::unique_ptr<ID3v2Tag>* id3v2 = nullptr;
    bool* hasId3v2 = nullptr;
    // WMA songs: their texts.
    ID3Text* wmaTags = nullptr;
    bool* hasWmaTags = nullptr;
};

// Where the RIFF walk of a WAV file found its parts.
struct WavLayout {
    FormatAudio format;
    bool isMp3 = false;  // format tag 85 (MPEG Layer III)
    std::int32_t dataStart = 0;
    std::int32_t dataBytes = 0;  // clipped to the bytes the file holds
    bool hasQrt = false;
    bool hasPng = false;
    std::int32_t qrtOffset = 0;  // of the chunk bodies
    std::int32_t pngOffset = 0;
};

class SampleDisk {
public:
    // The longest song a reader may give: 20 minutes at 44.1 kHz.
    static constexpr std::int32_t kMaxFrames = 52920000;

    // Opens the song. A relative name is looked up as "samples/" + name; a
    // ".wma" song must be named absolutely (else a fatal stop). Returns the
    // reader, which may read up to cacheSeconds of frames at a time, or null
    // with metaOnly (the file is then closed). Throws StringException with
    // the user's message; whatever the call made is released first.
    static std::unique_ptr<AudioFileReader> open(const std::string& name, bool absolute, bool metaOnly,
                                                 float cacheSeconds, const SongFileOutputs& outputs = {});

    // Walks the RIFF chunks of a WAV file from its start: the format chunk,
    // the data chunk, and the first "qrt " and "png " chunks wherever they
    // are. Chunk sizes are unsigned, a pad byte follows an odd chunk, a
    // "fmt " chunk under 16 bytes is not one, and a data size past the end
    // of the file is clipped. Throws StringException "The .WAV file is not
    // a RIFF file.", "The .WAV file is not a WAVE file.", "The .WAV file
    // does not contain a FMT chunk", "The .WAV audio format is neither PCM,
    // nor MP3." or "The .WAV file does not contain a DATA chunk".
    static WavLayout parseWav(File& file);

    // Makes the open chooser's tempo preview read songs through open().
    static void installSongPreview();
};

#endif
