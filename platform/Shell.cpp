#include "platform/Shell.h"

#include "platform/Paths.h"
#include "platform/Process.h"

#include <cerrno>
#include <condition_variable>
#include <mutex>
#include <sys/stat.h>
#include <thread>

namespace platform {
namespace {

std::mutex openersMutex;
std::condition_variable openersDone;
int runningOpeners = 0;

}  // namespace

bool isLocalTarget(const std::string& target) {
    if (isDataPath(target)) return true;
    // A scheme: a letter, then letters, digits, "+", "-" or ".", then ":".
    std::size_t colon = target.find(':');
    if (colon == std::string::npos || colon < 2) return true;
    for (std::size_t i = 0; i < colon; ++i) {
        char c = target[i];
        bool letter = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
        if (!(letter || (i > 0 && ((c >= '0' && c <= '9') || c == '+' || c == '-' || c == '.')))) return true;
    }
    return false;
}

int openWithShell(const std::string& target, std::function<void(int code)> onFailure) {
    std::string argument = target;
    if (isLocalTarget(target)) {
        argument = nativePath(target);
        struct stat status;
        if (::stat(argument.c_str(), &status) != 0) return shellFileNotFound;
    }
    pid_t process = startProcess({"xdg-open", argument});
    if (process < 0) return errno == ENOENT ? shellNoAssociation : shellUnknownError;
    {
        std::lock_guard lock(openersMutex);
        ++runningOpeners;
    }
    // The opener may take long (it starts a browser); never wait for it on
    // the caller's thread.
    std::thread([process, onFailure = std::move(onFailure)] {
        int status = waitForProcess(process);
        if (status != 0 && onFailure) {
            onFailure(status == 3 ? shellNoAssociation : status == 2 ? shellFileNotFound : shellUnknownError);
        }
        std::lock_guard lock(openersMutex);
        --runningOpeners;
        openersDone.notify_all();
    }).detach();
    return shellStarted;
}

void waitForShellOpeners() {
    std::unique_lock lock(openersMutex);
    openersDone.wait(lock, [] { return runningOpeners == 0; });
}

bool mailClientAvailable() { return !findOnPath("xdg-email").empty(); }

bool sendMail(const MailRequest& request) {
    std::vector<std::string> arguments = {"xdg-email", "--subject", request.subject, "--body", request.body};
    // A second attachment goes only with a first one.
    if (!request.firstAttachment.empty()) {
        arguments.insert(arguments.end(), {"--attach", request.firstAttachment});
        if (!request.secondAttachment.empty()) arguments.insert(arguments.end(), {"--attach", request.secondAttachment});
    }
    arguments.push_back(request.recipient);
    pid_t process = startProcess(arguments);
    return process >= 0 && waitForProcess(process) == 0;
}

}  // namespace platform
