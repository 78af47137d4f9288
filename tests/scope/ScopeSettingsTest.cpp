#include "scope/ScopeStartUpValues.h"

#include "TestEnvironment.h"
#include "framework/Log.h"
#include "platform/Registry.h"

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <limits>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

namespace {

namespace registry = platform::registry;

constexpr const char* keyPath = "Software\\Pelgrave Software\\Scope\\1";
constexpr float nyquist = 22050.0f;

using Values = std::array<float, 11>;

// The record's table: run, trigger, spectrum, span, gain, level, refresh,
// low, high, log scale, label max.
constexpr Values defaults = {1.0f, 0.0f, 0.0f, 40.0f, 100.0f, 0.0f, 40.0f, 0.0f, nyquist, 1.0f, 0.0f};

std::string packed(const Values& values) {
    std::vector<std::string> arguments;
    for (float value : values) {
        std::ostringstream text;
        text.precision(9);
        text << value;
        arguments.push_back(text.str());
    }
    std::string hex = testing_support::runPython("scope/scope_settings.py", arguments);
    std::string bytes;
    for (std::size_t i = 0; i + 1 < hex.size() && hex[i] != '\n'; i += 2) {
        bytes += static_cast<char>(std::stoi(hex.substr(i, 2), nullptr, 16));
    }
    return bytes;
}

std::string bytesOf(const ScopeStartUpValues& record) {
    return std::string(reinterpret_cast<const char*>(&record), sizeof record);
}

Values valuesOf(const ScopeStartUpValues& record) {
    Values values;
    std::memcpy(values.data(), &record, sizeof values);
    return values;
}

void storeValue(std::uint32_t type, const std::string& bytes) {
    registry::Key key = 0;
    bool created = false;
    ASSERT_EQ(registry::createKey(registry::currentUser, keyPath, key, created), registry::success);
    ASSERT_EQ(registry::setValue(key, "StartUp", type, bytes.data(), static_cast<std::uint32_t>(bytes.size())),
              registry::success);
    registry::closeKey(key);
}

std::optional<std::string> storedBytes() {
    registry::Key key = 0;
    if (registry::openKey(registry::currentUser, keyPath, key) != registry::success) return std::nullopt;
    std::uint32_t type = 0;
    std::uint32_t size = 0;
    std::optional<std::string> result;
    if (registry::queryValue(key, "StartUp", &type, nullptr, &size) == registry::success) {
        std::string bytes(size, '\0');
        if (registry::queryValue(key, "StartUp", &type, bytes.data(), &size) == registry::success) result = bytes;
    }
    registry::closeKey(key);
    return result;
}

class ScopeSettings : public ::testing::Test {
protected:
    void SetUp() override {
        std::remove(registry::storePath().c_str());
        setFatalErrorHook(throwFatalStop);
        testing_support::clearLog();
    }
    void TearDown() override { setFatalErrorHook(nullptr); }
};

TEST_F(ScopeSettings, TheFirstStartWritesTheDefaults) {
    ScopeStartUpValues record(nyquist);
    record.load(nyquist);
    EXPECT_EQ(bytesOf(record), packed(defaults));
    EXPECT_EQ(storedBytes(), packed(defaults));
    EXPECT_EQ(testing_support::logTexts(), std::vector<std::string>{});
}

TEST_F(ScopeSettings, SavedValuesAreReadBack) {
    ScopeStartUpValues first(nyquist);
    first.load(nyquist);
    const Values chosen = {0.0f, 1.0f, 1.0f, 1000.0f, 10.0f, 55.5f, 10.0f, 440.0f, 880.0f, 0.0f, 1.0f};
    std::memcpy(static_cast<void*>(&first), chosen.data(), sizeof chosen);
    first.save();
    EXPECT_EQ(storedBytes(), packed(chosen));
    ScopeStartUpValues second(nyquist);
    second.load(nyquist);
    EXPECT_EQ(valuesOf(second), chosen);
    EXPECT_TRUE(ScopeStartUpValues::isOn(second.labelMax));
    EXPECT_FALSE(ScopeStartUpValues::isOn(second.run));
    EXPECT_EQ(testing_support::logTexts(), std::vector<std::string>{});
}

TEST_F(ScopeSettings, AValueOfAnotherSizeOrTypeIsLoggedAndIgnoredWhole) {
    // Stored values that would change every field if they were taken.
    const Values other = {0.0f, 1.0f, 1.0f, 7.0f, 300.0f, 50.0f, 100.0f, 100.0f, 200.0f, 0.0f, 1.0f};
    const std::string otherBytes = packed(other);
    const struct {
        std::uint32_t type;
        std::string bytes;
        const char* log;
    } cases[] = {
        {registry::typeBinary, otherBytes.substr(0, 43), "Registry trouble, type: 3, size: 43."},
        {registry::typeBinary, otherBytes + "abcd", "Registry trouble, type: 3, size: 48."},
        {registry::typeDword, otherBytes.substr(0, 4), "Registry trouble, type: 4, size: 4."},
        {registry::typeString, otherBytes, "Registry trouble, type: 1, size: 44."},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.log);
        SetUp();
        storeValue(c.type, c.bytes);
        ScopeStartUpValues record(nyquist);
        record.load(nyquist);
        EXPECT_EQ(valuesOf(record), defaults);
        EXPECT_EQ(testing_support::logTextsWithoutLineNumbers(),
                  std::vector<std::string>{std::string("File ScopeStartUpValues.cpp, Line #: ") + c.log});
        EXPECT_EQ(storedBytes(), c.bytes);  // left as it was
    }
}

TEST_F(ScopeSettings, AMissingValueUnderAnExistingKeyIsReported) {
    registry::Key key = 0;
    bool created = false;
    ASSERT_EQ(registry::createKey(registry::currentUser, keyPath, key, created), registry::success);
    registry::closeKey(key);
    ScopeStartUpValues record(nyquist);
    record.load(nyquist);
    EXPECT_EQ(valuesOf(record), defaults);
    EXPECT_EQ(testing_support::logTextsWithoutLineNumbers(),
              std::vector<std::string>{
                  "Registry trouble in file ScopeStartUpValues.cpp, line #: The system cannot find the file specified."});
    EXPECT_EQ(storedBytes(), std::nullopt);  // only the startUp button writes
}

TEST_F(ScopeSettings, UnusableValuesAreMended) {
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const float infinity = std::numeric_limits<float>::infinity();
    const struct {
        int field;  // index in stored order
        float stored;
        float loaded;
        float nyquist;
    } cases[] = {
        {0, nan, 1.0f, nyquist},          {0, 0.5f, 0.5f, nyquist},  // a flag: anything but 0 is on
        {1, infinity, 0.0f, nyquist},     {2, -infinity, 0.0f, nyquist},
        {3, 1500.0f, 1000.0f, nyquist},   {3, 0.5f, 1.0f, nyquist},  {3, nan, 40.0f, nyquist},
        {3, 1000.0f, 1000.0f, nyquist},   {4, 5.0f, 10.0f, nyquist}, {4, 600.0f, 500.0f, nyquist},
        {4, infinity, 100.0f, nyquist},   {5, -1.0f, 0.0f, nyquist}, {5, 150.0f, 100.0f, nyquist},
        {6, 5.0f, 10.0f, nyquist},        {6, 2000.0f, 1000.0f, nyquist}, {6, nan, 40.0f, nyquist},
        {7, -10.0f, 0.0f, nyquist},       {7, 30000.0f, nyquist, nyquist},
        {8, 30000.0f, nyquist, nyquist},  {8, 30000.0f, 24000.0f, 24000.0f}, {8, 23000.0f, 23000.0f, 24000.0f},
        {8, nan, nyquist, nyquist},       {9, nan, 1.0f, nyquist},  {10, infinity, 0.0f, nyquist},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE("field " + std::to_string(c.field) + " stored " + std::to_string(c.stored));
        SetUp();
        Values stored = defaults;
        stored[8] = c.nyquist;
        stored[static_cast<std::size_t>(c.field)] = c.stored;
        storeValue(registry::typeBinary, packed(stored));
        ScopeStartUpValues record(c.nyquist);
        record.load(c.nyquist);
        Values expected = defaults;
        expected[8] = c.nyquist;
        expected[static_cast<std::size_t>(c.field)] = c.loaded;
        EXPECT_EQ(valuesOf(record), expected);
        EXPECT_EQ(testing_support::logTexts(), std::vector<std::string>{});
    }
}

}  // namespace
