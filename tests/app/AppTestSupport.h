// The application's test fixture: an empty data directory (settings store
// included), run-time skins for every image the application and its
// stand-ins load, scripted boxes, the virtual clock, fake sound devices
// that play through stepped null streams captured to memory, and fatal
// stops thrown as exceptions.
#ifndef VELKARN_TESTS_APP_APPTESTSUPPORT_H
#define VELKARN_TESTS_APP_APPTESTSUPPORT_H

#include "ImageTestSupport.h"
#include "TestEnvironment.h"
#include "app/Velkarn.h"
#include "platform/audio/FakeAudio.h"

#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace app_test {

// Writes every key the main window, its panels and the stand-in tool
// windows load.
void writeApplicationSkins(image_test::SkinDirectory& skins);

// Stores the second output's record: on, of that type (0 waveOut, 1
// DirectSound) and name.
void storeSecondOutput(int type, const char* name);
// Stores the main output on the DirectSound list's null device and the
// second one on, on the waveOut list's: two devices, so the second output
// plays (a second waveOut on the main output's device stays silent).
void storeOutputsOnTwoNullDevices();

// Presses the network panel's mode button (0 stand alone, 1 server, 2
// client) as a click would.
void chooseNetworkMode(Velkarn& app, int mode);

// "caption|text" of every message box asked so far.
std::vector<std::string> boxes();

// The stored bytes of a settings value; nullopt when it is missing.
std::optional<std::string> storedValue(const std::string& name);

// A float as Python's repr prints it (shortest round trip, ".0" when whole).
std::string pythonFloat(float value);

// A stored settings record decoded field by field by the committed struct
// script (settings_records.py): field name to value as Python prints it.
using Fields = std::map<std::string, std::string>;
Fields decodeStored(const std::string& name);

// The seven records of a first start, as the packing script writes them:
// value name and bytes, in the records' order.
std::vector<std::pair<std::string, std::string>> firstStartRecords();

// Amplitudes of two tones (f0, f1 in Hz) in count samples of a signal from
// index from, whose first sample is at mix time time0: least squares on
// sine, cosine and a constant (the stretch need not hold whole cycles).
std::pair<double, double> toneLevels(const std::vector<float>& signal, std::size_t from, std::size_t count,
                                     std::int64_t time0, double f0, double f1);

class AppTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // One waveOut device ("Fake Wave") and one DirectSound output ("Fake
    // Sound") behind the default alias; tests change them before start().
    void useDevices(int waveOuts, int directSounds);
    // Constructs the application (fatal stops throw), or takes one a test
    // made of a class of its own.
    Velkarn& start();
    Velkarn& start(std::unique_ptr<Velkarn> made);
    void stop() { application.reset(); }

    // The null stream behind an output of the application.
    int streamOf(int output) const;
    // One period of the main output once both decks are rendered a second
    // ahead, then the messages it posted.
    void stepMainOutput();

    std::optional<testing_support::TemporaryDirectory> home;
    std::optional<testing_support::ScopedEnvironment> homeVariable;
    // The network panel's port: a free one, never the standard port.
    std::optional<testing_support::ScopedEnvironment> portVariable;
    std::optional<image_test::SkinDirectory> skins;
    std::optional<platform::audio::FakeAudio> fake;
    std::unique_ptr<Velkarn> application;
    std::vector<int> streams;  // open order of each device the application opened
};

}  // namespace app_test

#endif
