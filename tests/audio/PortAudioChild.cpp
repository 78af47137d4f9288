// Runs the audio layer over PortAudio for the PortAudio tests, in a process
// of its own: lists the devices, or plays blocks through one output.
//   audio_portaudio_child lists <report>
//   audio_portaudio_child waveout <report> <device name> <blocks>
//   audio_portaudio_child directsound <report> <device name> <blocks>
// The report gets one line per fact; stdout and stderr stay empty unless
// something is wrong.
#include "AudioPattern.h"
#include "audio/AudioDeviceList.h"
#include "audio/DirectSoundOut.h"
#include "audio/WaveOut.h"
#include "framework/Support.h"
#include "platform/audio/AudioSystem.h"

#include <chrono>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <memory>
#include <string>
#include <thread>

using Kind = AudioDeviceList::Kind;

int main(int argc, char** argv) {
    if (argc < 3) return 2;
    const std::string mode = argv[1];
    std::ofstream report(argv[2]);
    initializeSupport(nullptr);
    FormatAudio format;
    int result = 0;
    {
        const AudioDeviceList list(format);
        report << "portaudio " << (platform::audio::portAudioRunning() ? "on" : "off") << "\n";
        for (int i = 0; i < list.count(Kind::WaveOut); ++i) report << "waveOut " << list.name(Kind::WaveOut, i) << "\n";
        for (int i = 0; i < list.count(Kind::DirectSound); ++i) {
            report << "directSound " << list.name(Kind::DirectSound, i) << "\n";
        }
        if (mode != "lists" && argc >= 5) {
            const std::string device = argv[3];
            const int blocks = std::atoi(argv[4]);
            audio_test::PatternProducer producer;
            std::unique_ptr<Motor> output;
            if (mode == "waveout") {
                output = std::make_unique<WaveOut>(list.waveOutDeviceId(device.c_str()), format, 50.0f, &producer);
            } else {
                output = std::make_unique<DirectSoundOut>(list.directSoundGuid(device.c_str()), format, 50.0f,
                                                          &producer, nullptr);
            }
            output->start();
            const auto giveUp = std::chrono::steady_clock::now() + std::chrono::seconds(60);
            while (producer.blocks() < blocks && std::chrono::steady_clock::now() < giveUp) {
                std::this_thread::sleep_for(std::chrono::microseconds(200));
            }
            output->stop();
            report << "rendered " << producer.blocks() << "\n";
            if (producer.blocks() < blocks) result = 1;
            output.reset();
            report << "closed\n";
        }
    }
    cleanUpSupport();
    report << "stopped\n";
    return result;
}
