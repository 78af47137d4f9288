#include "FrameworkTest.h"

#include "framework/CrashReport.h"
#include "platform/Paths.h"
#include "platform/UiScript.h"

#include <csignal>
#include <fstream>

namespace {

using testing_support::ScopedEnvironment;
using testing_support::TemporaryDirectory;

// Runs crash_child in its own data directory with a scripted answer, a
// record of the boxes it asked, and optionally a fake mail client.
class CrashReport : public ::testing::Test {
protected:
    struct Outcome {
        int status;
        std::string report;
        std::vector<platform::UiRequest> boxes;
        std::string mail;  // the mail client's arguments, one per line
        std::vector<std::string> log;
    };

    Outcome crash(const std::string& how, const std::string& answer, bool mailClient, bool withLog = true) {
        if (mailClient) {
            testing_support::writeScript(bin.file("xdg-email"), "printf '%s\\n' \"$@\" > '" + bin.file("mail") + "'\n");
        }
        ScopedEnvironment home("VELKARN_HOME", data.path());
        ScopedEnvironment path("PATH", bin.path());
        ScopedEnvironment script("VELKARN_UI_SCRIPT", answer.empty() ? std::nullopt : std::optional(answer + "\n"));
        ScopedEnvironment record("VELKARN_UI_RECORD", data.file("boxes"));
        ScopedEnvironment companion("VELKARN_COMPANION", VELKARN_COMPANION);
        std::vector<std::string> arguments = {VELKARN_CRASH_CHILD, how};
        if (!withLog) arguments.push_back("nolog");
        Outcome outcome;
        outcome.status = testing_support::runProgram(arguments, data.file("output"));
        outcome.report = testing_support::readFile(data.file("MRT.dmp"));
        std::ifstream boxes(data.file("boxes"));
        for (std::string line; std::getline(boxes, line);) {
            platform::UiRequest request;
            EXPECT_TRUE(platform::uiScript::decodeRecord(line, request)) << line;
            outcome.boxes.push_back(request);
        }
        outcome.mail = testing_support::readFile(bin.file("mail"));
        outcome.log = testing_support::logTexts();
        return outcome;
    }

    std::string reportPath() const { return data.file("MRT.dmp"); }

    TemporaryDirectory data;
    TemporaryDirectory bin;
};

TEST_F(CrashReport, ASegmentationFaultWritesTheReportAndDiesOfIt) {
    Outcome outcome = crash("segv", "no", true);
    EXPECT_EQ(outcome.status, 128 + SIGSEGV);
    const std::string& report = outcome.report;
    EXPECT_EQ(report.rfind("Velkarn 1.31\nTime: ", 0), 0u) << report.substr(0, 200);
    EXPECT_NE(report.find("\nSignal: 11 (SIGSEGV), code 2\n"), std::string::npos);  // an access error
    // The faulting address, as the child announced it.
    std::string output = testing_support::readFile(data.file("output"));
    ASSERT_EQ(output.rfind("touching 0x", 0), 0u) << output;
    std::string address = output.substr(11, output.find('\n') - 11);
    EXPECT_NE(report.find("\nAddress: 0x" + std::string(16 - address.size(), '0') + address + "\n"), std::string::npos)
        << address;
    EXPECT_NE(report.find("\nThread: "), std::string::npos);
    EXPECT_NE(report.find("\nBacktrace:\n"), std::string::npos);
    EXPECT_NE(report.find("crash_child"), std::string::npos);  // frames and the memory map name the program
    EXPECT_NE(report.find("\nMemory map:\n"), std::string::npos);
    EXPECT_NE(report.find("[stack]"), std::string::npos);
    EXPECT_EQ(report.find("Terminate:"), std::string::npos);

    // Answered No: asked once, nothing mailed.
    ASSERT_EQ(outcome.boxes.size(), 1u);
    EXPECT_EQ(outcome.boxes[0].caption, "Fatal Application Error");
    EXPECT_EQ(outcome.boxes[0].text, crashQuestion(reportPath()));
    EXPECT_EQ(outcome.boxes[0].answer, "no");
    EXPECT_TRUE(outcome.mail.empty());
}

TEST_F(CrashReport, YesMailsTheReportAndTheLog) {
    Outcome outcome = crash("segv", "yes", true);
    EXPECT_EQ(outcome.status, 128 + SIGSEGV);
    EXPECT_EQ(outcome.mail, "--subject\nError Report\n--body\nMini-dump in attachment.\n--attach\n" + reportPath() +
                                "\n--attach\n" + data.file("MRT.log") + "\nsupport@velkarn.invalid\n");
}

TEST_F(CrashReport, WithoutALogTheMailCarriesTheReportAlone) {
    Outcome outcome = crash("segv", "yes", true, false);
    EXPECT_EQ(outcome.mail, "--subject\nError Report\n--body\nMini-dump in attachment.\n--attach\n" + reportPath() +
                                "\nsupport@velkarn.invalid\n");
}

TEST_F(CrashReport, WithoutAMailClientTheUserIsToldWhereTheReportIs) {
    Outcome outcome = crash("segv", "ok", false);
    EXPECT_EQ(outcome.status, 128 + SIGSEGV);
    ASSERT_EQ(outcome.boxes.size(), 1u);
    EXPECT_EQ(outcome.boxes[0].caption, "Fatal Application Error");
    EXPECT_EQ(outcome.boxes[0].text,
              "The application has unexpectedly died. Diagnostic information has been written to " + reportPath() + ".");
    ASSERT_EQ(outcome.log.size(), 2u);
    EXPECT_EQ(outcome.log[0].rfind("File CrashChild.cpp, Line ", 0), 0u);
    EXPECT_NE(outcome.log[0].find(": about to crash"), std::string::npos);
    EXPECT_NE(outcome.log[1].find("no mail client (xdg-email) is available"), std::string::npos);
}

TEST_F(CrashReport, AnEscapedExceptionIsReportedWithItsText) {
    Outcome outcome = crash("terminate", "no", true);
    EXPECT_EQ(outcome.status, 128 + SIGABRT);
    EXPECT_NE(outcome.report.find("\nSignal: 6 (SIGABRT)"), std::string::npos);
    EXPECT_NE(outcome.report.find("\nTerminate: The QRT meta-data is corrupt.\n"), std::string::npos);
    EXPECT_EQ(outcome.boxes.size(), 1u);  // one report, one question
}

TEST_F(CrashReport, WithoutAReportFileTheProcessDiesAtOnce) {
    testing_support::makeDirectories(data.file("MRT.dmp"));  // cannot be created as a file
    Outcome outcome = crash("segv", "yes", true);
    EXPECT_EQ(outcome.status, 128 + SIGSEGV);
    EXPECT_TRUE(outcome.boxes.empty());
    EXPECT_TRUE(outcome.mail.empty());
}

}  // namespace
