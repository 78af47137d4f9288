#include "framework/CrashReport.h"

#include "framework/Log.h"
#include "framework/Support.h"
#include "platform/CrashGuard.h"
#include "platform/Paths.h"
#include "platform/Process.h"
#include "platform/Shell.h"

std::string crashQuestion(const std::string& reportPath) {
    return "The application has unexpectedly died. Diagnostic information has been written to " + reportPath +
           ". Do you want me to send an error report to " + supportAddress + "? [ Recommended ]";
}

void installCrashHandler() {
    platform::CrashGuardSettings settings;
    settings.reportPath = platform::nativePath("C:/MRT.dmp");
    settings.productLine = productLine;
    settings.logPath = logFilePath();
    settings.noMailClientNote = "File " + std::string(sourceFileName(__FILE__)) + ", Line " + std::to_string(__LINE__) +
                                ": The error report was not mailed: no mail client (xdg-email) is available.";
    std::string companion = platform::companionPath();
    if (!companion.empty()) {
        settings.companionCommand = {companion,
                                     "crash",
                                     "Fatal Application Error",
                                     crashQuestion(settings.reportPath),
                                     "The application has unexpectedly died. Diagnostic information has been written to " +
                                         settings.reportPath + ".",
                                     supportAddress,
                                     "Error Report",
                                     "Mini-dump in attachment.",
                                     settings.reportPath,
                                     settings.logPath};
    }
    platform::installCrashGuard(settings);
}

bool EMail(const std::string& recipient, const std::string& subject, const std::string& text,
           const std::string& firstAttachment, const std::string& secondAttachment) {
    return platform::sendMail({recipient, subject, text, firstAttachment, secondAttachment});
}
