// The records and result codes of the layer's audio services: wave formats,
// device capabilities, device identifiers and wave headers.
#ifndef VELKARN_PLATFORM_AUDIO_AUDIORECORDS_H
#define VELKARN_PLATFORM_AUDIO_AUDIORECORDS_H

#include <array>
#include <cstdint>
#include <string>

namespace platform::audio {

// ---- Result codes ------------------------------------------------------------

// 0 is success; every other value names a failure. The program's DirectX
// reporter shows them by name (resultName).
enum AudioResult : std::int32_t {
    resultOk = 0,
    resultNoDevice = 1,     // no such device, or none at all
    resultDeviceBusy = 2,   // the device cannot be opened now
    resultBadFormat = 3,    // the device does not take the format
    resultInvalidCall = 4,  // wrong state or arguments (a queued header, a lock out of range)
    resultOutOfMemory = 5,
    resultBackendError = 6,  // the sound library failed; its text is kept for the name
};

// "NoDevice", "DeviceBusy", "BadFormat", "InvalidCall", "OutOfMemory",
// "BackendError" (followed by the sound library's text in parentheses when
// the last failure on this thread carried one); null for 0 and for codes
// that are not the layer's. The text lives until this thread's next call.
const char* resultName(std::int32_t result);

// ---- Formats -----------------------------------------------------------------

inline constexpr std::uint16_t waveFormatPcm = 1;

// Integer PCM: the platform's wave-format record, field by field, packed
// to its 18 bytes.
#pragma pack(push, 2)
struct WaveFormat {
    std::uint16_t formatTag = 0;
    std::uint16_t channels = 0;
    std::uint32_t samplesPerSecond = 0;
    std::uint32_t averageBytesPerSecond = 0;
    std::uint16_t blockAlign = 0;
    std::uint16_t bitsPerSample = 0;
    std::uint16_t extraSize = 0;
};
#pragma pack(pop)
static_assert(sizeof(WaveFormat) == 18);

// ---- Capabilities --------------------------------------------------------------

// Format bit of wave device capabilities: 44.1 kHz, stereo, 16 bits.
inline constexpr std::uint32_t waveFormat4S16 = 0x800;

struct WaveDeviceCaps {
    std::string name;  // UTF-8, as long as the system's
    std::uint32_t formats = 0;
    std::uint16_t channels = 0;
};

// Flags of an output's capabilities.
inline constexpr std::uint32_t outputPrimaryMono = 0x1;
inline constexpr std::uint32_t outputPrimaryStereo = 0x2;
inline constexpr std::uint32_t outputPrimary8Bit = 0x4;
inline constexpr std::uint32_t outputPrimary16Bit = 0x8;
inline constexpr std::uint32_t outputEmulated = 0x20;

struct OutputCaps {
    std::uint32_t flags = 0;
};

// Flags of a capture device's capabilities.
inline constexpr std::uint32_t captureEmulated = 0x20;

struct CaptureCaps {
    std::uint32_t flags = 0;
    std::uint32_t formats = 0;  // the wave format bits, waveFormat4S16 among them
    std::uint32_t channels = 0;
};

// ---- Device identifiers ----------------------------------------------------------

struct Guid {
    std::array<std::uint8_t, 16> bytes{};
    friend bool operator==(const Guid&, const Guid&) = default;
};

// {DEF00000-9C6D-47ED-AAF1-4DDA8F2B5C03}: whatever output is the default.
inline constexpr Guid defaultPlaybackGuid{
    {0x00, 0x00, 0xF0, 0xDE, 0x6D, 0x9C, 0xED, 0x47, 0xAA, 0xF1, 0x4D, 0xDA, 0x8F, 0x2B, 0x5C, 0x03}};

// "{DEF00000-9C6D-47ED-AAF1-4DDA8F2B5C03}".
std::string guidText(const Guid& guid);

// ---- Wave headers --------------------------------------------------------------------

inline constexpr std::uint32_t headerDone = 0x1;
inline constexpr std::uint32_t headerPrepared = 0x2;
inline constexpr std::uint32_t headerInQueue = 0x10;

// A block handed to a wave output. The caller owns it and its data; the
// layer writes only `flags`, and only on the writing thread (write) and on
// the device's completion thread (before the done callback).
struct WaveHeader {
    std::uint8_t* data = nullptr;
    std::uint32_t bufferLength = 0;
    std::uint32_t bytesRecorded = 0;
    std::uintptr_t user = 0;
    std::uint32_t flags = 0;
    std::uint32_t loops = 0;
    WaveHeader* next = nullptr;
};

}  // namespace platform::audio

#endif
