#include "FrameworkTest.h"

#include "framework/AudioEngineServices.h"
#include "framework/CrashReport.h"
#include "framework/ResourceArchive.h"
#include "framework/Timer.h"
#include "platform/Paths.h"
#include "platform/Shell.h"

namespace {

using testing_support::ScopedEnvironment;
using testing_support::TemporaryDirectory;
using testing_support::logTexts;

class Support : public FrameworkTest {
protected:
    void TearDown() override {
        setWmaLibraryLoader({}, {});
        FrameworkTest::TearDown();
    }
};

TEST_F(Support, StartUpRunsItsStepsInOrderAndCleanUpLeavesNoTrouble) {
    setVerboseLogging(true);
    int dummy = 0;
    initializeSupport(&dummy);
    EXPECT_EQ(programInstance(), &dummy);
    std::vector<std::string> steps;
    for (const auto& text : logTexts()) steps.push_back(text.substr(text.find(": ") + 2));
    EXPECT_EQ(steps, (std::vector<std::string>{"initialize primitives", "initialize critical sections",
                                               "initialize high precision counter", "initialize sockets",
                                               "check and load library WMA", "initialize WMA", "initialize timer",
                                               "initialize file system"}));
    EXPECT_EQ(logTexts()[0].rfind("File Support.cpp, Line ", 0), 0u);
    EXPECT_EQ(timerResolutionMs(), 1u);
    EXPECT_TRUE(archiveContains("dialogs/103.dlg"));
    testing_support::clearLog();
    cleanUpSupport();
    EXPECT_TRUE(logTexts().empty());  // the socket clean-up succeeded
    EXPECT_EQ(timerResolutionMs(), 0u);
}

TEST_F(Support, WithoutVerboseLoggingStartUpIsQuiet) {
    initializeSupport(nullptr);
    cleanUpSupport();
    EXPECT_TRUE(logTexts().empty());
}

TEST_F(Support, AWorkingWmaLoaderMakesWmaAudioAndIsUnloadedOnce) {
    int loads = 0;
    int unloads = 0;
    setWmaLibraryLoader([&] { return ++loads > 0; }, [&] { ++unloads; });
    initializeSupport(nullptr);
    EXPECT_TRUE(isWmaAvailable());
    EXPECT_FALSE(isWmaRebootNeeded());
    cleanUpSupport();
    cleanUpSupport();
    EXPECT_EQ(loads, 1);
    EXPECT_EQ(unloads, 1);
    EXPECT_FALSE(isWmaAvailable());
}

TEST_F(Support, WithoutADecoderWmaIsNotAvailableAndNothingIsUnloaded) {
    int unloads = 0;
    setWmaLibraryLoader([] { return false; }, [&] { ++unloads; });
    initializeSupport(nullptr);
    EXPECT_FALSE(isWmaAvailable());
    cleanUpSupport();
    EXPECT_EQ(unloads, 0);
}

// A fake opener on PATH that records its argument and exits with a status.
class OpenUrl : public FrameworkTest {
protected:
    void useOpener(int exitStatus) {
        testing_support::writeScript(bin.file("xdg-open"),
                                     "printf '%s\\n' \"$@\" > '" + bin.file("opened") + "'\nexit " + std::to_string(exitStatus) + "\n");
    }
    std::vector<std::string> openAndWait(const std::string& target) {
        testing_support::clearLog();
        openUrl(target);
        platform::waitForShellOpeners();
        return logTexts();
    }
    TemporaryDirectory bin;
    ScopedEnvironment path{"PATH", bin.path() + ":/bin"};
};

TEST_F(OpenUrl, FailuresOfTheOpenerAreLoggedWithTheirReason) {
    const struct {
        int status;
        const char* reason;  // null: success
    } cases[] = {
        {0, nullptr},
        {3, "There is no application associated with the given file name extension. This error will also be returned "
            "if you attempt to print a file that is not printable."},
        {2, "The specified file was not found."},
        {4, "Unknown error."},
    };
    for (const auto& c : cases) {
        useOpener(c.status);
        std::vector<std::string> texts = openAndWait("https://velkarn.invalid/manual");
        EXPECT_EQ(testing_support::readFile(bin.file("opened")), "https://velkarn.invalid/manual\n");
        if (c.reason == nullptr) {
            EXPECT_TRUE(texts.empty()) << c.status;
        } else {
            ASSERT_EQ(texts.size(), 1u) << c.status;
            EXPECT_EQ(texts[0].substr(texts[0].find(": ") + 2), std::string("Cannot open URL: ") + c.reason);
        }
    }
}

TEST_F(OpenUrl, LocalFilesAreCheckedAndDataPathsMapped) {
    useOpener(0);
    testing_support::writeFile(platform::nativePath("C:/Velkarn.txt"), "played");
    EXPECT_TRUE(openAndWait("C:/Velkarn.txt").empty());
    EXPECT_EQ(testing_support::readFile(bin.file("opened")), platform::nativePath("C:/Velkarn.txt") + "\n");

    std::vector<std::string> texts = openAndWait("C:/missing.txt");
    ASSERT_EQ(texts.size(), 1u);
    EXPECT_NE(texts[0].find("Cannot open URL: The specified file was not found."), std::string::npos);
}

TEST_F(OpenUrl, WithoutAnOpenerThereIsNoAssociation) {
    ScopedEnvironment emptyPath("PATH", bin.path());  // no xdg-open in it
    std::vector<std::string> texts = openAndWait("https://velkarn.invalid/");
    ASSERT_EQ(texts.size(), 1u);
    EXPECT_NE(texts[0].find("Cannot open URL: There is no application associated"), std::string::npos);
}

TEST_F(OpenUrl, ReasonsForEveryCodeWithTheRegisteredSignInUtf8) {
    EXPECT_STREQ(shellErrorText(11), "The .exe file is invalid (non-Microsoft Win32\xc2\xae .exe or error in .exe image).");
    EXPECT_STREQ(shellErrorText(26), "A sharing violation occurred.");
    EXPECT_STREQ(shellErrorText(32), "The specified dynamic-link library (DLL) was not found.");
    EXPECT_STREQ(shellErrorText(33), "Unknown error.");
    EXPECT_STREQ(shellErrorText(-1), "Unknown error.");
}

TEST_F(OpenUrl, MailGoesToTheMailClientWithItsAttachments) {
    testing_support::writeScript(bin.file("xdg-email"), "printf '%s\\n' \"$@\" > '" + bin.file("mail") + "'\nexit 0\n");
    EXPECT_TRUE(EMail("support@velkarn.invalid", "Error Report", "Mini-dump in attachment.", "/r/MRT.dmp", "/r/MRT.log"));
    EXPECT_EQ(testing_support::readFile(bin.file("mail")),
              "--subject\nError Report\n--body\nMini-dump in attachment.\n--attach\n/r/MRT.dmp\n--attach\n/r/MRT.log\n"
              "support@velkarn.invalid\n");
    EXPECT_TRUE(EMail("a@b", "s", "t", "", "/only/second"));  // a second attachment goes only with a first
    EXPECT_EQ(testing_support::readFile(bin.file("mail")), "--subject\ns\n--body\nt\na@b\n");
    testing_support::writeScript(bin.file("xdg-email"), "exit 1\n");
    EXPECT_FALSE(EMail("a@b", "s", "t", "", ""));
}

}  // namespace
