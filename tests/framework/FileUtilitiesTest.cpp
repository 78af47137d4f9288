#include "FrameworkTest.h"

#include "framework/AudioEngineServices.h"
#include "framework/FileUtilities.h"
#include "platform/FileSystem.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

using testing_support::TemporaryDirectory;
using testing_support::writeFile;

class FileUtilities : public FrameworkTest {
protected:
    void TearDown() override {
        platform::setFileFaultHook({});
        setWmaLibraryLoader({}, {});
        checkWmaLibrary();
        FrameworkTest::TearDown();
    }
};

TEST_F(FileUtilities, ExtensionsNeedADotThreeLettersAndFourCharacters) {
    const struct {
        const char* name;
        bool wav;
        bool mp3;
        bool wma;
    } cases[] = {
        {"x.wav", true, false, false}, {"X.WaV", true, false, false}, {"x.MP3", false, true, false},
        {"x.mpe", false, false, false}, {".mp", false, false, false},  {".mp3", false, true, false},
        {"x.wma", false, false, true},  {"wav", false, false, false},  {"x.wavx", false, false, false},
        {"xwav", false, false, false},  {"x.mP3", false, true, false},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(hasWavExtension(c.name), c.wav) << c.name;
        EXPECT_EQ(hasMp3Extension(c.name), c.mp3) << c.name;
        EXPECT_EQ(hasWmaExtension(c.name), c.wma) << c.name;
    }
}

TEST_F(FileUtilities, WmaCountsAsAudioOnlyWhileItsLoaderSucceeds) {
    EXPECT_TRUE(isAudioFileName("a.wav"));
    EXPECT_TRUE(isAudioFileName("a.mp3"));
    EXPECT_FALSE(isAudioFileName("a.wma"));
    setWmaLibraryLoader([] { return true; }, [] {});
    checkWmaLibrary();
    EXPECT_TRUE(isAudioFileName("a.wma"));
}

TEST_F(FileUtilities, BaseNamesDropDirectoryAndExtension) {
    const struct {
        const char* path;
        const char* name;
    } cases[] = {
        {"C:/music/track.01.mp3", "track.01"},
        {"C:/music/track", "track"},
        {"C:\\music\\song.wav", "song"},
        {"C:/a.b/name", "name"},      // a dot in a directory does not count
        {"C:/music/.hidden", ""},     // the only dot comes first
        {"plain.wav", "plain"},
        {"C:/music/", ""},
    };
    for (const auto& c : cases) EXPECT_EQ(baseFileName(c.path), c.name) << c.path;
}

TEST_F(FileUtilities, SamePathTakesEitherSlash) {
    EXPECT_TRUE(samePath("C:/a\\b", "C:\\a/b"));
    EXPECT_FALSE(samePath("C:/A", "C:/a"));
    EXPECT_FALSE(samePath("C:/a", "C:/ab"));
    EXPECT_FALSE(samePath("C:/a/", "C:/a"));
    EXPECT_TRUE(samePath("", ""));
}

TEST_F(FileUtilities, CountsAudioFilesInTheTreeWithoutMovingTheCurrentDirectory) {
    TemporaryDirectory root;
    writeFile(root.file("a.wav"), "");
    writeFile(root.file("b.txt"), "");
    testing_support::makeDirectories(root.file("sub"));
    writeFile(root.file("sub/c.mp3"), "");
    writeFile(root.file("sub/d.wma"), "");  // not audio while WMA is not available
    ASSERT_EQ(::symlink("..", root.file("sub/loop").c_str()), 0);  // never entered
    char before[4096];
    ASSERT_NE(::getcwd(before, sizeof before), nullptr);
    EXPECT_EQ(countAudioFiles(root.path()), 2);
    char after[4096];
    ASSERT_NE(::getcwd(after, sizeof after), nullptr);
    EXPECT_STREQ(before, after);
    EXPECT_TRUE(testing_support::logTexts().empty());

    // The same tree as the root of the data drive, in either spelling.
    testing_support::ScopedEnvironment drive("VELKARN_HOME", root.path());
    EXPECT_EQ(countAudioFiles("C:/"), 2);
    EXPECT_EQ(countAudioFiles("C:\\"), 2);
}

TEST_F(FileUtilities, AnUnreadableDirectoryIsReportedAndSkipped) {
    TemporaryDirectory root;
    writeFile(root.file("a.wav"), "");
    testing_support::makeDirectories(root.file("locked"));
    writeFile(root.file("locked/b.wav"), "");
    std::string locked = root.file("locked");
    platform::setFileFaultHook([locked](platform::FileOperation operation, const std::string& path) {
        return operation == platform::FileOperation::List && path == locked;
    });
    EXPECT_EQ(countAudioFiles(root.path()), 1);
    std::vector<std::string> texts = testing_support::logTexts();
    ASSERT_EQ(texts.size(), 1u);
    EXPECT_EQ(texts[0].rfind("Windows trouble in file FileUtilities.cpp", 0), 0u) << texts[0];
    EXPECT_NE(texts[0].find(locked), std::string::npos);
}

TEST_F(FileUtilities, TheTrackDatabaseVolumeTest) {
    TemporaryDirectory root;
    EXPECT_TRUE(isOnNtfsVolume(root.path()));
    EXPECT_TRUE(testing_support::logTexts().empty());
    EXPECT_FALSE(isOnNtfsVolume(root.file("missing")));
    std::vector<std::string> texts = testing_support::logTexts();
    ASSERT_EQ(texts.size(), 1u);
    EXPECT_EQ(texts[0].rfind("Windows trouble in file FileUtilities.cpp", 0), 0u);
}

// Runs the test in a child without the privileges of root, who may write
// anywhere, so that permissions mean what they say.
bool exclusiveAsUnprivileged(const std::string& path) {
    pid_t child = ::fork();
    if (child == 0) {
        if (::geteuid() == 0 && (::setgid(65534) != 0 || ::setuid(65534) != 0)) ::_exit(3);
        ::_exit(canOpenExclusively(path) ? 1 : 0);
    }
    int status = 0;
    ::waitpid(child, &status, 0);
    return WIFEXITED(status) && WEXITSTATUS(status) == 1;
}

TEST_F(FileUtilities, ExclusiveUseOfAFile) {
    TemporaryDirectory root;
    std::string song = root.file("song.wav");
    EXPECT_FALSE(canOpenExclusively(song));  // missing
    writeFile(song, "RIFF");
    EXPECT_TRUE(canOpenExclusively(song));
    int descriptor = ::open(song.c_str(), O_RDONLY);
    EXPECT_FALSE(canOpenExclusively(song));  // open here
    ::close(descriptor);
    EXPECT_TRUE(canOpenExclusively(song));  // closed again

    // In a read-only directory the file could not be renamed or removed.
    ::chmod(root.path().c_str(), 0755);
    testing_support::makeDirectories(root.file("shared"));
    testing_support::makeDirectories(root.file("readonly"));
    for (const char* directory : {"shared", "readonly"}) {
        std::string file = root.file(std::string(directory) + "/song.wav");
        writeFile(file, "RIFF");
        ::chmod(file.c_str(), 0666);
    }
    ::chmod(root.file("shared").c_str(), 0777);
    ::chmod(root.file("readonly").c_str(), 0555);
    EXPECT_TRUE(exclusiveAsUnprivileged(root.file("shared/song.wav")));
    EXPECT_FALSE(exclusiveAsUnprivileged(root.file("readonly/song.wav")));
}

TEST_F(FileUtilities, RemoveFile) {
    TemporaryDirectory root;
    writeFile(root.file("x"), "");
    EXPECT_TRUE(removeFile(root.file("x")));
    EXPECT_FALSE(removeFile(root.file("x")));
}

}  // namespace
