// velkarn-companion: shows a message box for a program thread that must
// not run a nested loop itself, and tells the user about a crash. See
// platform/CompanionProtocol.h for the command lines and exit codes.
#include "platform/CompanionProtocol.h"
#include "platform/MessageBox.h"
#include "platform/Platform.h"
#include "platform/Shell.h"
#include "platform/UiBackend.h"

#include <string>
#include <unistd.h>

namespace {

using namespace platform;

int showBox(int argc, char** argv) {
    if (argc != 6) return companion::badArguments;
    BoxRequest request;
    std::string buttons = argv[2];
    std::string icon = argv[3];
    request.buttons = buttons == "yesno" ? BoxButtons::YesNo : BoxButtons::Ok;
    request.icon = icon == "exclamation" ? BoxIcon::Exclamation : icon == "error" ? BoxIcon::Error : BoxIcon::None;
    request.caption = argv[4];
    request.text = argv[5];
    std::optional<ScriptedAnswer> answer = uiScript::take();
    UiBackend* ui = uiBackend();
    if (!answer && ui->headless()) return companion::nobodyAnswers;
    return static_cast<int>(ui->messageBox(request, answer));
}

int reportCrash(int argc, char** argv) {
    if (argc != 10) return companion::badArguments;
    const std::string caption = argv[2];
    const std::string question = argv[3];
    const std::string okText = argv[4];
    MailRequest mail;
    mail.recipient = argv[5];
    mail.subject = argv[6];
    mail.body = argv[7];
    mail.firstAttachment = argv[8];
    const std::string log = argv[9];
    if (!mailClientAvailable()) {
        showMessageBox({caption, okText, BoxButtons::Ok, BoxIcon::None});
        return companion::crashNoMailClient;
    }
    if (showMessageBox({caption, question, BoxButtons::YesNo, BoxIcon::None}) != BoxAnswer::Yes) {
        return companion::crashDeclined;
    }
    if (!log.empty() && ::access(log.c_str(), F_OK) == 0) mail.secondAttachment = log;
    return sendMail(mail) ? companion::crashMailSent : companion::crashMailFailed;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) return companion::badArguments;
    // Qt takes options such as -style out of its arguments; box texts must
    // not be mistaken for them, so Qt sees only the program name.
    static int qtArgc = 1;
    static char* qtArgv[] = {argv[0], nullptr};
    if (!initializePlatform(qtArgc, qtArgv)) return companion::cannotShow;
    std::string mode = argv[1];
    int result = mode == "box" ? showBox(argc, argv) : mode == "crash" ? reportCrash(argc, argv) : companion::badArguments;
    shutdownPlatform();
    return result;
}
