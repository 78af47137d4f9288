#include "platform/Paths.h"

#include "TestEnvironment.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

namespace {

using testing_support::ScopedEnvironment;
using testing_support::TemporaryDirectory;

TEST(Paths, FixedDrivePathsMapToTheDataDirectory) {
    TemporaryDirectory home;
    ScopedEnvironment velkarnHome("VELKARN_HOME", home.path() + "/");
    const struct {
        const char* path;
        std::string mapped;
    } cases[] = {
        {"C:/MRT.log", home.path() + "/MRT.log"},
        {"C:\\MRT.dmp", home.path() + "/MRT.dmp"},
        {"c:/Velkarn.wav", home.path() + "/Velkarn.wav"},
        {"C:/music\\a b/x.mp3", home.path() + "/music\\a b/x.mp3"},  // the rest passes untouched
        {"D:/other", "D:/other"},
        {"/home/user/x.wav", "/home/user/x.wav"},
        {"samples/cowbell.wav", "samples/cowbell.wav"},
        {"C:", "C:"},
        {"C:name", "C:name"},
    };
    for (const auto& c : cases) EXPECT_EQ(platform::nativePath(c.path), c.mapped) << c.path;
}

TEST(Paths, TheDataDirectoryIsCreatedOnUse) {
    TemporaryDirectory base;
    ScopedEnvironment velkarnHome("VELKARN_HOME", base.file("deeper/still"));
    platform::nativePath("C:/MRT.log");
    struct stat status;
    ASSERT_EQ(::stat(base.file("deeper/still").c_str(), &status), 0);
    EXPECT_TRUE(S_ISDIR(status.st_mode));
}

TEST(Paths, WithoutTheVariableTheDataDirectoryIsInTheUsersShare) {
    TemporaryDirectory user;
    ScopedEnvironment velkarnHome("VELKARN_HOME", std::nullopt);
    ScopedEnvironment userHome("HOME", user.path());
    EXPECT_EQ(platform::dataDirectory(), user.path() + "/.local/share/velkarn");
    EXPECT_EQ(platform::nativePath("C:/MRT.log"), user.path() + "/.local/share/velkarn/MRT.log");
    struct stat status;
    EXPECT_EQ(::stat((user.path() + "/.local/share/velkarn").c_str(), &status), 0);
}

}  // namespace
