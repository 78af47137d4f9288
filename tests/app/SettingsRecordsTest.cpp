#include "app/VelkarnStartUpValues.h"
#include "app/VelkarnStartUpValues2.h"
#include "app/VelkarnStartUpValues3.h"
#include "app/VelkarnStartUpValues4.h"
#include "app/VelkarnStartUpValues5.h"
#include "app/VelkarnStartUpValues6.h"
#include "app/VelkarnStartUpValues7.h"

#include "TestEnvironment.h"
#include "framework/Log.h"
#include "platform/FileSystem.h"
#include "platform/Registry.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <functional>
#include <limits>
#include <map>
#include <optional>
#include <sstream>

namespace {

namespace registry = platform::registry;

constexpr const char* keyPath = "Software\\Pelgrave Software\\Velkarn\\1";

template <class Record>
std::string bytesOf(const Record& record) {
    return std::string(reinterpret_cast<const char*>(&record), sizeof record);
}

template <class Record>
std::string loadedBytes() {
    Record record;
    record.load();
    return bytesOf(record);
}

// The seven records by value name, in the order the application loads them.
struct RecordKind {
    const char* valueName;
    const char* typeName;
    std::size_t size;
    std::function<std::string()> load;  // a fresh record, loaded: its bytes
};

const std::vector<RecordKind>& recordKinds() {
    static const std::vector<RecordKind> kinds = {
        {"StartUp", "VelkarnStartUpValues", sizeof(VelkarnStartUpValues), loadedBytes<VelkarnStartUpValues>},
        {"StartUp2", "VelkarnStartUpValues2", sizeof(VelkarnStartUpValues2), loadedBytes<VelkarnStartUpValues2>},
        {"StartUp3", "VelkarnStartUpValues3", sizeof(VelkarnStartUpValues3), loadedBytes<VelkarnStartUpValues3>},
        {"StartUp4", "VelkarnStartUpValues4", sizeof(VelkarnStartUpValues4), loadedBytes<VelkarnStartUpValues4>},
        {"StartUp5", "VelkarnStartUpValues5", sizeof(VelkarnStartUpValues5), loadedBytes<VelkarnStartUpValues5>},
        {"StartUp6", "VelkarnStartUpValues6", sizeof(VelkarnStartUpValues6), loadedBytes<VelkarnStartUpValues6>},
        {"StartUp7", "VelkarnStartUpValues7", sizeof(VelkarnStartUpValues7), loadedBytes<VelkarnStartUpValues7>},
    };
    return kinds;
}

const RecordKind& recordKind(const std::string& valueName) {
    for (const auto& kind : recordKinds()) {
        if (valueName == kind.valueName) return kind;
    }
    throw std::runtime_error("no record " + valueName);
}

std::string fromHex(const std::string& hex) {
    std::string bytes;
    for (std::size_t i = 0; i + 1 < hex.size(); i += 2) bytes += static_cast<char>(std::stoi(hex.substr(i, 2), nullptr, 16));
    return bytes;
}

// The defaults as the packing script makes them from the records' tables.
const std::map<std::string, std::string>& packedDefaults() {
    static const std::map<std::string, std::string> defaults = [] {
        std::map<std::string, std::string> result;
        std::istringstream lines(testing_support::runPython("app/settings_records.py", {}));
        std::string name;
        std::string hex;
        while (lines >> name >> hex) result[name] = fromHex(hex);
        return result;
    }();
    return defaults;
}

std::string int32At(std::int32_t value) { return std::string(reinterpret_cast<const char*>(&value), 4); }
std::string floatAt(float value) { return std::string(reinterpret_cast<const char*>(&value), 4); }

std::string patched(std::string bytes, std::size_t offset, const std::string& with) {
    return bytes.replace(offset, with.size(), with);
}

void storeValue(const std::string& name, std::uint32_t type, const std::string& bytes) {
    registry::Key key = 0;
    bool created = false;
    ASSERT_EQ(registry::createKey(registry::currentUser, keyPath, key, created), registry::success);
    ASSERT_EQ(registry::setValue(key, name, type, bytes.data(), static_cast<std::uint32_t>(bytes.size())),
              registry::success);
    registry::closeKey(key);
}

struct StoredValue {
    std::uint32_t type = 0;
    std::string bytes;
};

std::optional<StoredValue> storedValue(const std::string& name) {
    registry::Key key = 0;
    if (registry::openKey(registry::currentUser, keyPath, key) != registry::success) return std::nullopt;
    StoredValue value;
    std::uint32_t size = 0;
    std::optional<StoredValue> result;
    if (registry::queryValue(key, name, &value.type, nullptr, &size) == registry::success) {
        value.bytes.resize(size);
        if (registry::queryValue(key, name, &value.type, value.bytes.data(), &size) == registry::success) result = value;
    }
    registry::closeKey(key);
    return result;
}

bool keyPathExists() {
    registry::Key key = 0;
    if (registry::openKey(registry::currentUser, keyPath, key) != registry::success) return false;
    registry::closeKey(key);
    return true;
}

std::vector<std::string> logLines() { return testing_support::logTextsWithoutLineNumbers(); }

class SettingsRecords : public ::testing::Test {
protected:
    void SetUp() override {
        platform::setFileFaultHook({});
        std::remove(registry::storePath().c_str());
        std::remove((registry::storePath() + ".bad").c_str());
        setFatalErrorHook(throwFatalStop);
        testing_support::clearLog();
    }
    void TearDown() override {
        platform::setFileFaultHook({});
        setFatalErrorHook(nullptr);
    }
};

TEST_F(SettingsRecords, TheFirstStartCreatesTheKeyPathAndWritesEveryDefault) {
    const auto& defaults = packedDefaults();
    ASSERT_EQ(defaults.size(), recordKinds().size());
    ASSERT_FALSE(keyPathExists());
    for (const auto& kind : recordKinds()) {
        // The record in memory is the packed layout, byte for byte.
        EXPECT_EQ(kind.load(), defaults.at(kind.valueName)) << kind.valueName;
    }
    EXPECT_TRUE(keyPathExists());
    for (const auto& kind : recordKinds()) {
        std::optional<StoredValue> stored = storedValue(kind.valueName);
        ASSERT_TRUE(stored.has_value()) << kind.valueName;
        EXPECT_EQ(stored->type, registry::typeBinary) << kind.valueName;
        EXPECT_EQ(stored->bytes.size(), kind.size) << kind.valueName;
        EXPECT_EQ(stored->bytes, defaults.at(kind.valueName)) << kind.valueName;
    }
    EXPECT_EQ(logLines(), std::vector<std::string>{});
    // A second start reads what the first wrote and changes nothing.
    const std::string storeBefore = testing_support::readFile(registry::storePath());
    for (const auto& kind : recordKinds()) EXPECT_EQ(kind.load(), defaults.at(kind.valueName)) << kind.valueName;
    EXPECT_EQ(testing_support::readFile(registry::storePath()), storeBefore);
    EXPECT_EQ(logLines(), std::vector<std::string>{});
}

TEST_F(SettingsRecords, StoredValuesOfAnotherSizeOrType) {
    const std::string startUp = packedDefaults().at("StartUp");
    // 100 leading bytes that are all valid: knee, order, overlap, reserved,
    // refresh, type, and 76 letters of the device name without terminator.
    const std::string leading = floatAt(50.0f) + int32At(4) + floatAt(20.0f) + int32At(0) + floatAt(25.0f) +
                                int32At(1) + std::string(76, 'x');
    ASSERT_EQ(leading.size(), 100u);
    const struct {
        const char* name;
        const char* valueName;
        std::uint32_t type;
        std::string stored;
        std::string expectedRecord;
        std::vector<std::string> expectedLog;
        std::optional<std::string> rewritten;  // what the store holds afterwards when it was replaced
    } cases[] = {
        {"shorter: the leading bytes replace the defaults'", "StartUp", registry::typeBinary, leading,
         patched(startUp, 0, leading),
         {"File VelkarnStartUpValues, Line #: Registry trouble, type: 3, size: 100."}, std::nullopt},
        {"longer: replaced by the defaults", "StartUp", registry::typeBinary, std::string(200, '\x7f'), startUp, {},
         startUp},
        {"a double word: taken as read", "StartUp5", registry::typeDword, int32At(0), int32At(0),
         {"File VelkarnStartUpValues5, Line #: Registry trouble, type: 4, size: 4."}, std::nullopt},
        {"a text of the right size: taken as read", "StartUp6", registry::typeString,
         patched(packedDefaults().at("StartUp6"), 0, int32At(1)), patched(packedDefaults().at("StartUp6"), 0, int32At(1)),
         {"File VelkarnStartUpValues6, Line #: Registry trouble, type: 1, size: 72."}, std::nullopt},
        {"empty: nothing replaced", "StartUp7", registry::typeBinary, std::string(), packedDefaults().at("StartUp7"),
         {"File VelkarnStartUpValues7, Line #: Registry trouble, type: 3, size: 0."}, std::nullopt},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        SetUp();
        storeValue(c.valueName, c.type, c.stored);
        EXPECT_EQ(recordKind(c.valueName).load(), c.expectedRecord);
        EXPECT_EQ(logLines(), c.expectedLog);
        std::optional<StoredValue> stored = storedValue(c.valueName);
        ASSERT_TRUE(stored.has_value());
        if (c.rewritten) {
            EXPECT_EQ(stored->type, registry::typeBinary);
            EXPECT_EQ(stored->bytes, *c.rewritten);
        } else {
            EXPECT_EQ(stored->type, c.type);
            EXPECT_EQ(stored->bytes, c.stored);
        }
    }
}

TEST_F(SettingsRecords, TheDoubleWordOverlayFlagIsReadAsAFlag) {
    for (std::int32_t raw : {0, 1, 2, -1}) {
        SetUp();
        storeValue("StartUp5", registry::typeDword, int32At(raw));
        VelkarnStartUpValues5 record;
        record.load();
        EXPECT_EQ(static_cast<bool>(record.overlaysShown), raw != 0) << raw;
        EXPECT_EQ(record.overlaysShown.raw(), raw);
    }
}

TEST_F(SettingsRecords, NumbersOutsideTheirControlsTakeTheirDefaults) {
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const float infinity = std::numeric_limits<float>::infinity();
    const auto corrected = [](const char* value, const char* field, const char* found, const char* used) {
        return std::string("File SettingsStore.cpp, Line #: Settings record ") + value + ", field " + field + ": " +
               found + " is not allowed; the default " + used + " is used.";
    };
    const struct {
        const char* valueName;
        std::size_t offset;
        std::string stored;    // 4 bytes at the offset
        std::string expected;  // the field after loading
        std::string log;       // empty: nothing logged
    } cases[] = {
        // StartUp: knee 0..100
        {"StartUp", 0, floatAt(0.0f), floatAt(0.0f), ""},
        {"StartUp", 0, floatAt(100.0f), floatAt(100.0f), ""},
        {"StartUp", 0, floatAt(100.5f), floatAt(75.0f), corrected("StartUp", "crossfadeKnee", "100.5", "75")},
        {"StartUp", 0, floatAt(-1.0f), floatAt(75.0f), corrected("StartUp", "crossfadeKnee", "-1", "75")},
        {"StartUp", 0, floatAt(nan), floatAt(75.0f), corrected("StartUp", "crossfadeKnee", "nan", "75")},
        // filter order 2, 4, 6 or 8 (an odd order cannot be built)
        {"StartUp", 4, int32At(8), int32At(8), ""},
        {"StartUp", 4, int32At(3), int32At(2), corrected("StartUp", "filterOrder", "3", "2")},
        {"StartUp", 4, int32At(0), int32At(2), corrected("StartUp", "filterOrder", "0", "2")},
        {"StartUp", 4, int32At(10), int32At(2), corrected("StartUp", "filterOrder", "10", "2")},
        // overlap 0..200 ms
        {"StartUp", 8, floatAt(200.0f), floatAt(200.0f), ""},
        {"StartUp", 8, floatAt(201.0f), floatAt(10.0f), corrected("StartUp", "overlapMs", "201", "10")},
        // the reserved word is cleared without a word
        {"StartUp", 12, int32At(7), int32At(0), ""},
        // refreshes per second 1..100 (0 would divide by zero)
        {"StartUp", 16, floatAt(1.0f), floatAt(1.0f), ""},
        {"StartUp", 16, floatAt(0.0f), floatAt(20.0f), corrected("StartUp", "refreshRate", "0", "20")},
        {"StartUp", 16, floatAt(100.25f), floatAt(20.0f), corrected("StartUp", "refreshRate", "100.25", "20")},
        // output type 0 or 1
        {"StartUp", 20, int32At(1), int32At(1), ""},
        {"StartUp", 20, int32At(2), int32At(0), corrected("StartUp", "outputType", "2", "0")},
        // latency 1..200 ms
        {"StartUp", 152, floatAt(200.0f), floatAt(200.0f), ""},
        {"StartUp", 152, floatAt(0.5f), floatAt(50.0f), corrected("StartUp", "latencyMs", "0.5", "50")},
        {"StartUp", 152, floatAt(infinity), floatAt(50.0f), corrected("StartUp", "latencyMs", "inf", "50")},
        // StartUp3: the second output's type and latency
        {"StartUp3", 4, int32At(-1), int32At(0), corrected("StartUp3", "secondOutputType", "-1", "0")},
        {"StartUp3", 136, floatAt(1.0f), floatAt(1.0f), ""},
        {"StartUp3", 136, floatAt(nan), floatAt(50.0f), corrected("StartUp3", "secondLatencyMs", "nan", "50")},
        // StartUp4: controller numbers have no range of their own
        {"StartUp4", 132, int32At(-5), int32At(-5), ""},
        // StartUp6: only a NaN calibration is replaced
        {"StartUp6", 8 + 3 * 4, floatAt(nan), floatAt(1030.0f),
         corrected("StartUp6", "calibrationMinimum", "nan", "1030")},
        {"StartUp6", 40 + 7 * 4, floatAt(nan), floatAt(1540.0f),
         corrected("StartUp6", "calibrationMaximum", "nan", "1540")},
        {"StartUp6", 40, floatAt(9999.0f), floatAt(9999.0f), ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.valueName) + " at " + std::to_string(c.offset));
        SetUp();
        const std::string defaults = packedDefaults().at(c.valueName);
        const std::string stored = patched(defaults, c.offset, c.stored);
        storeValue(c.valueName, registry::typeBinary, stored);
        EXPECT_EQ(recordKind(c.valueName).load(), patched(defaults, c.offset, c.expected));
        EXPECT_EQ(logLines(), c.log.empty() ? std::vector<std::string>{} : std::vector<std::string>{c.log});
        // Nothing is written back.
        std::optional<StoredValue> after = storedValue(c.valueName);
        ASSERT_TRUE(after.has_value());
        EXPECT_EQ(after->bytes, stored);
    }
}

TEST_F(SettingsRecords, TextsEndInsideTheirFieldsAndFlagsAreTrueWhenNonzero) {
    const struct {
        const char* valueName;
        std::size_t offset;
        std::size_t width;  // a text field: filled without terminator
    } texts[] = {
        {"StartUp", 24, 128},  {"StartUp2", 0, 512},   {"StartUp3", 8, 128},    {"StartUp3", 144, 128},
        {"StartUp4", 4, 128},  {"StartUp7", 0, 512},   {"StartUp7", 1536, 512},
    };
    for (const auto& t : texts) {
        SCOPED_TRACE(std::string(t.valueName) + " at " + std::to_string(t.offset));
        SetUp();
        const std::string defaults = packedDefaults().at(t.valueName);
        const std::string stored = patched(defaults, t.offset, std::string(t.width, 'A'));
        storeValue(t.valueName, registry::typeBinary, stored);
        EXPECT_EQ(recordKind(t.valueName).load(),
                  patched(defaults, t.offset, std::string(t.width - 1, 'A') + std::string(1, '\0')));
        EXPECT_EQ(logLines(), std::vector<std::string>{});
        EXPECT_EQ(storedValue(t.valueName)->bytes, stored);
    }

    const struct {
        std::int32_t raw;
        bool on;
    } flags[] = {{0, false}, {1, true}, {7, true}, {-1, true}};
    for (const auto& f : flags) {
        SCOPED_TRACE(f.raw);
        SetUp();
        storeValue("StartUp2", registry::typeBinary, patched(packedDefaults().at("StartUp2"), 512, int32At(f.raw)));
        storeValue("StartUp3", registry::typeBinary, patched(packedDefaults().at("StartUp3"), 140, int32At(f.raw)));
        storeValue("StartUp6", registry::typeBinary, patched(packedDefaults().at("StartUp6"), 4, int32At(f.raw)));
        VelkarnStartUpValues2 two;
        VelkarnStartUpValues3 three;
        VelkarnStartUpValues6 six;
        two.load();
        three.load();
        six.load();
        EXPECT_EQ(static_cast<bool>(two.exitOnLoad), f.on);
        EXPECT_EQ(static_cast<bool>(three.midiClockOn), f.on);
        EXPECT_EQ(static_cast<bool>(six.slidersControlEffects), f.on);
        EXPECT_EQ(two.exitOnLoad.raw(), f.raw);  // kept as read
    }
}

TEST_F(SettingsRecords, WhatIsSavedIsLoadedAgain) {
    VelkarnStartUpValues one;
    one.crossfadeKnee = 33.5f;
    one.filterOrder = 6;
    one.overlapMs = 0.0f;
    one.refreshRate = 60.0f;
    one.outputType = 1;
    std::snprintf(one.outputDevice, sizeof one.outputDevice, "%s", "Card 2, Headphones");
    one.latencyMs = 12.5f;
    VelkarnStartUpValues2 two;
    std::snprintf(two.databasePath, sizeof two.databasePath, "%s", "C:/Music");
    two.exitOnLoad = false;
    VelkarnStartUpValues3 three;
    three.secondOutputOn = true;
    three.secondOutputType = 1;
    std::snprintf(three.secondOutputDevice, sizeof three.secondOutputDevice, "%s", "Null Output");
    three.secondLatencyMs = 200.0f;
    three.midiClockOn = true;
    std::snprintf(three.midiOutputDevice, sizeof three.midiOutputDevice, "%s", "Through Port-0");
    VelkarnStartUpValues4 four;
    four.midiInOn = true;
    std::snprintf(four.midiInputDevice, sizeof four.midiInputDevice, "%s", "Controller");
    for (int i = 0; i < 10; ++i) four.controllerNumbers[i] = 100 - i;
    VelkarnStartUpValues5 five;
    five.overlaysShown = false;
    VelkarnStartUpValues6 six;
    six.pmdInUse = true;
    six.slidersControlEffects = true;
    for (int i = 0; i < 8; ++i) {
        six.calibrationMinimum[i] = 10.0f * static_cast<float>(i);
        six.calibrationMaximum[i] = 4000.0f - static_cast<float>(i);
    }
    VelkarnStartUpValues7 seven;
    for (int i = 0; i < 4; ++i) std::snprintf(seven.rootDirectories[i], 512, "C:/Roots/%c", 'a' + i);

    one.save();
    two.save();
    three.save();
    four.save();
    five.save();
    six.save();
    seven.save();
    const std::map<std::string, std::string> saved = {
        {"StartUp", bytesOf(one)},    {"StartUp2", bytesOf(two)}, {"StartUp3", bytesOf(three)},
        {"StartUp4", bytesOf(four)},  {"StartUp5", bytesOf(five)}, {"StartUp6", bytesOf(six)},
        {"StartUp7", bytesOf(seven)},
    };
    for (const auto& kind : recordKinds()) {
        SCOPED_TRACE(kind.valueName);
        EXPECT_NE(saved.at(kind.valueName), packedDefaults().at(kind.valueName));
        std::optional<StoredValue> stored = storedValue(kind.valueName);
        ASSERT_TRUE(stored.has_value());
        EXPECT_EQ(stored->type, registry::typeBinary);
        EXPECT_EQ(stored->bytes, saved.at(kind.valueName));
        EXPECT_EQ(kind.load(), saved.at(kind.valueName));
    }
    EXPECT_EQ(logLines(), std::vector<std::string>{});

    // The reserved word is always written as 0.
    VelkarnStartUpValues reserved;
    reserved.reserved = 5;
    reserved.load();
    EXPECT_EQ(reserved.reserved, 0);
    EXPECT_EQ(reserved.crossfadeKnee, 33.5f);
}

TEST_F(SettingsRecords, AFailingStoreIsOnlyLogged) {
    const auto failStoreWrites = [] {
        platform::setFileFaultHook([](platform::FileOperation operation, const std::string& path) {
            // the store stays readable; its replacement cannot be made
            return operation == platform::FileOperation::Open && path.find("registry.dat.tmp") != std::string::npos;
        });
    };
    const std::string writeFault = "The system cannot write to the specified device.";

    // Keys in place, writes refused: a save and a first load each log the
    // refused write once, and the records keep their values.
    storeValue("StartUp", registry::typeBinary, packedDefaults().at("StartUp"));
    failStoreWrites();
    VelkarnStartUpValues changed;
    changed.filterOrder = 8;
    changed.save();
    EXPECT_EQ(changed.filterOrder, 8);
    VelkarnStartUpValues7 roots;
    roots.load();
    EXPECT_EQ(bytesOf(roots), packedDefaults().at("StartUp7"));
    EXPECT_EQ(logLines(), (std::vector<std::string>{
                              "Registry trouble in file VelkarnStartUpValues, line #: " + writeFault,
                              "Registry trouble in file VelkarnStartUpValues7, line #: " + writeFault,
                          }));
    platform::setFileFaultHook({});
    EXPECT_EQ(storedValue("StartUp")->bytes, packedDefaults().at("StartUp"));
    EXPECT_FALSE(storedValue("StartUp7").has_value());

    // No store at all: every record still starts with its defaults, and
    // nothing but the registry's trouble is logged.
    SetUp();
    failStoreWrites();
    for (const auto& kind : recordKinds()) {
        testing_support::clearLog();
        EXPECT_EQ(kind.load(), packedDefaults().at(kind.valueName)) << kind.valueName;
        const std::vector<std::string> lines = logLines();
        ASSERT_FALSE(lines.empty()) << kind.valueName;
        const std::string prefix = std::string("Registry trouble in file ") + kind.typeName + ", line #: ";
        EXPECT_EQ(lines.front(), prefix + writeFault);
        for (const auto& line : lines) EXPECT_EQ(line.rfind(prefix, 0), 0u) << line;
    }
    platform::setFileFaultHook({});
    EXPECT_FALSE(platform::pathExists(registry::storePath()));
}

}  // namespace
