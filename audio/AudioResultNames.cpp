#include "audio/AudioResultNames.h"

#include "framework/Reporters.h"
#include "platform/audio/AudioRecords.h"

void installAudioResultNames() { setDirectXErrorNamer(platform::audio::resultName); }
