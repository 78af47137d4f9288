// The desktop's opener (xdg-open) and mailer (xdg-email).
#ifndef VELKARN_PLATFORM_SHELL_H
#define VELKARN_PLATFORM_SHELL_H

#include <functional>
#include <string>

namespace platform {

// Shell result codes the program knows; above 32 is success.
constexpr int shellStarted = 42;
constexpr int shellFileNotFound = 2;
constexpr int shellNoAssociation = 31;
constexpr int shellUnknownError = -1;

// Opens a web address or a file with the desktop's opener, without waiting
// for it. A local path that does not exist gives shellFileNotFound at once;
// no opener gives shellNoAssociation at once. Otherwise it returns
// shellStarted, and a waiter thread calls onFailure with the code that the
// opener's exit status means (3: no association, 2: not found, other
// nonzero: unknown) when it fails. onFailure may run on any thread.
int openWithShell(const std::string& target, std::function<void(int code)> onFailure);

// Blocks until every waiter of openWithShell has finished (tests).
void waitForShellOpeners();

// Whether a local path (not a URL with a scheme such as "https:").
bool isLocalTarget(const std::string& target);

struct MailRequest {
    std::string recipient;
    std::string subject;
    std::string body;
    std::string firstAttachment;   // empty: none
    std::string secondAttachment;  // empty: none
};

// Runs xdg-email --subject S --body B [--attach A]... recipient and waits;
// true when it exited with status 0.
bool sendMail(const MailRequest& request);
bool mailClientAvailable();

}  // namespace platform

#endif
