// Test-only writers of the files the song readers take apart: QRT chunk
// lists (parsed from bytes, changed and written again with or without fresh
// CRCs), RIFF files with chunks of any size in any place, and ID3v2 tags
// frame by frame. Every fixture is made at test time.
#ifndef VELKARN_TESTS_AUDIO_METADATAFIXTURES_H
#define VELKARN_TESTS_AUDIO_METADATAFIXTURES_H

#include "framework/FileMemory.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace fixtures {

std::string int32le(std::int32_t value);
std::int32_t loadInt32le(const std::string& bytes, std::size_t at);
std::string uint32be(std::uint32_t value);
std::string syncsafe(std::uint32_t value);

// Runs an outside tool (sox, lame, ffmpeg, /usr/bin/python3) and returns
// what it printed; throws std::runtime_error with that output when it is
// missing or fails, so a missing tool fails the test.
std::string runTool(const std::vector<std::string>& argv);
// A sox-made 16-bit stereo 44.1 kHz WAV file of a two-tone signal.
void makeSoxWav(const std::string& path, double seconds);
// A lame-made MP3 file of the same signal (no tags).
void makeLameMp3(const std::string& path, double seconds);

// A FileMemory holding the bytes, positioned at 0.
std::unique_ptr<FileMemory> memoryFile(const std::string& bytes);

// ---- QRT ------------------------------------------------------------------

struct QrtChunk {
    std::int32_t length = 0;  // as stored; normally data.size()
    std::string name;         // the 32 name bytes as stored
    std::string data;
    std::uint32_t crc = 0;    // as stored
};

std::string qrtSignature();
// A chunk with its length and CRC computed; the name is zero-filled to 32.
QrtChunk qrtChunk(const std::string& name, const std::string& data);
void refreshCrc(QrtChunk& chunk);
// The chunks of a well-formed file (after the signature).
std::vector<QrtChunk> parseQrt(const std::string& bytes);
std::string writeQrt(const std::vector<QrtChunk>& chunks);  // signature included
// The offsets of every chunk start, and the file size.
std::vector<std::size_t> qrtChunkBoundaries(const std::string& bytes);

// ---- RIFF -----------------------------------------------------------------

struct RiffChunk {
    std::string id;                 // four characters
    std::string body;
    std::int64_t sizeField = -1;    // the stored size; -1: body.size()
    bool pad = true;                // a pad byte after an odd body
};

// "RIFF", size (file size - 8 unless given), "WAVE", then the chunks.
std::string writeRiff(const std::vector<RiffChunk>& chunks, std::int64_t riffSize = -1,
                      const std::string& form = "WAVE");
// The chunks of a RIFF file, walking by the stored sizes with pad bytes.
std::vector<RiffChunk> parseRiff(const std::string& bytes);
// A 16-byte "fmt " body.
std::string fmtBody(int tag, int channels, int rate, int bits);

// The block an MP3 song carries its beat meta-data in: header, stuffed QRT
// and PNG bytes, trailer; mp3Length is where it starts in the song.
std::string stuff(const std::string& bytes);
std::string mp3MetaDataBlock(const std::string& qrt, const std::string& png, std::size_t mp3Length);

// Open descriptors of this process.
int openDescriptorCount();

// ---- ID3v2 ----------------------------------------------------------------

struct Id3Frame {
    std::string id;           // four characters
    std::string body;
    std::uint8_t flags0 = 0;
    std::uint8_t flags1 = 0;
    std::int64_t sizeField = -1;  // -1: body.size()
};

// A Latin-1 (or other encoding) text frame body.
std::string textBody(const std::string& text, std::uint8_t encoding = 0);
// A COMM body: encoding, "eng", description, NUL, text.
std::string commentBody(const std::string& description, const std::string& text, std::uint8_t encoding = 0);

struct Id3Tag {
    int major = 3;
    int revision = 0;
    std::uint8_t flags = 0;
    std::string extendedHeader;  // written as given, after the header
    std::vector<Id3Frame> frames;
    int padding = 0;
    bool footer = false;          // appended after the padding
    std::int64_t sizeField = -1;  // -1: everything after the header but the footer
};

std::string writeId3(const Id3Tag& tag);

}  // namespace fixtures

#endif
