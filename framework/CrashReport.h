// What happens when the program crashes: a text report "C:/MRT.dmp", a
// question to the user, and the offer to mail the report and the log to
// support.
#ifndef VELKARN_FRAMEWORK_CRASHREPORT_H
#define VELKARN_FRAMEWORK_CRASHREPORT_H

#include <string>

// Installs the crash handler (crashing signals and std::terminate). The
// entry point calls it right after the platform layer is up.
void installCrashHandler();

// Hands a message to the desktop's mail client (xdg-email); the
// attachments are paths (a second one only goes with a first). True when
// the mail client accepted the message.
bool EMail(const std::string& recipient, const std::string& subject, const std::string& text,
           const std::string& firstAttachment, const std::string& secondAttachment);

// The question the user is asked, naming where the report is.
std::string crashQuestion(const std::string& reportPath);

#endif
