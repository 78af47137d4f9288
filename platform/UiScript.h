// Test mode for boxes, choosers and dialogs: scripted answers, a record of
// every request, and dialog responders.
//
// Scripting is on when a test enables it or when the environment carries a
// script (VELKARN_UI_SCRIPT, one answer per line: ok, yes, no, cancel, or
// "path <path>"); child processes inherit it that way. With scripting on,
// a request without an answer takes its default (OK, No, cancel) and is
// flagged as unscripted. With VELKARN_UI_RECORD naming a file, every
// request is also appended to it, one line each.
#ifndef VELKARN_PLATFORM_UISCRIPT_H
#define VELKARN_PLATFORM_UISCRIPT_H

#include "platform/Dialog.h"

#include <functional>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace platform {

enum class UiRequestKind { MessageBox, OpenChooser, SaveChooser, FolderChooser, Dialog };

struct UiRequest {
    UiRequestKind kind = UiRequestKind::MessageBox;
    std::string caption;    // box caption, chooser title, dialog caption
    std::string text;       // box text, folder instruction
    std::string filter;     // chooser filter text
    std::string extension;  // chooser default extension
    int templateId = 0;     // dialogs
    std::thread::id thread;
    bool onUiThread = false;
    bool unscripted = false;
    std::string answer;     // "ok", "yes", "no", "cancel", "path <p>", "shown"
};

// What a scripted hook may do while its box or chooser is open.
class OpenUi {
public:
    virtual ~OpenUi() = default;
    // Chooser: selects the file as a click in the list would (the
    // selection hook runs).
    virtual void selectPath(const std::string& path) = 0;
    // Chooser: the text of a control of its child template.
    virtual std::string controlText(int id) = 0;
    // Chooser: the file it would answer now (where it opened, or the
    // selection).
    virtual std::string currentPath() = 0;
};

struct ScriptedAnswer {
    enum class Kind { Ok, Yes, No, Path, Cancel };
    Kind kind = Kind::Ok;
    std::string path;
    // Runs inside the nested loop once the box or chooser is shown; the
    // answer is given when it returns.
    std::function<void(OpenUi&)> whileOpen;
};

namespace uiScript {

void enable();
void disable();  // also forgets answers, records and responders
bool enabled();

void push(ScriptedAnswer answer);
void pushOk();
void pushYes();
void pushNo();
void pushCancel();
void pushPath(const std::string& path);

// The next answer, if any (scripting on).
std::optional<ScriptedAnswer> take();

void record(UiRequest request);
std::vector<UiRequest> requests();
void clearRequests();

void setDialogResponder(int templateId, DialogResponder responder);
DialogResponder dialogResponder(int templateId);

// The remaining answers in the environment format (hooks are dropped).
std::string encode(const std::vector<ScriptedAnswer>& answers);
// Parses the environment format; false on an unknown line.
bool decode(const std::string& text, std::vector<ScriptedAnswer>& answers);

std::string answerText(const ScriptedAnswer& answer);

// One line of the VELKARN_UI_RECORD file (without its newline), and back.
std::string encodeRecord(const UiRequest& request);
bool decodeRecord(const std::string& line, UiRequest& request);

}  // namespace uiScript

}  // namespace platform

#endif
