// The portable side of boxes, choosers, dialogs and windows: scripting,
// records, and the choice between the backend, the companion program and
// the default answer.
#include "platform/CompanionProtocol.h"
#include "platform/EventLoop.h"
#include "platform/LastError.h"
#include "platform/PlatformLog.h"
#include "platform/Process.h"
#include "platform/UiBackend.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>

namespace platform {
namespace {

bool headlessEnvironment() {
    const char* platformName = std::getenv("QT_QPA_PLATFORM");
    return platformName != nullptr && std::strcmp(platformName, "offscreen") == 0;
}

const char* buttonsName(BoxButtons buttons) { return buttons == BoxButtons::YesNo ? "yesno" : "ok"; }

const char* iconName(BoxIcon icon) {
    switch (icon) {
    case BoxIcon::Exclamation: return "exclamation";
    case BoxIcon::Error: return "error";
    case BoxIcon::None: break;
    }
    return "none";
}

std::string answerName(BoxAnswer answer) {
    switch (answer) {
    case BoxAnswer::Yes: return "yes";
    case BoxAnswer::No: return "no";
    case BoxAnswer::Ok: break;
    }
    return "ok";
}

// Whether a scripted answer fits the box; a wrong kind counts as none.
std::optional<BoxAnswer> scriptedBoxAnswer(BoxButtons buttons, const ScriptedAnswer& answer) {
    using Kind = ScriptedAnswer::Kind;
    if (buttons == BoxButtons::Ok) return answer.kind == Kind::Ok ? std::optional(BoxAnswer::Ok) : std::nullopt;
    if (answer.kind == Kind::Yes) return BoxAnswer::Yes;
    if (answer.kind == Kind::No) return BoxAnswer::No;
    return std::nullopt;
}

BoxAnswer unshownBox(const BoxRequest& request, const char* reason) {
    BoxAnswer answer = defaultAnswer(request.buttons);
    std::string note = std::string("Message box not shown (") + reason + "), answered " + answerName(answer) +
                       ": " + request.caption + ": " + request.text;
    std::fprintf(stderr, "%s\n", note.c_str());
    PLATFORM_NOTE(note);
    return answer;
}

BoxAnswer boxThroughCompanion(const BoxRequest& request, const std::optional<ScriptedAnswer>& answer,
                              bool& unscripted) {
    std::string companion = companionPath();
    if (companion.empty()) {
        unscripted = !answer;
        return unshownBox(request, "no companion program");
    }
    EnvironmentEdits edits;
    edits["VELKARN_UI_RECORD"] = std::nullopt;  // this process keeps the record
    edits["VELKARN_UI_SCRIPT"] = answer ? std::optional(uiScript::answerText(*answer) + "\n") : std::nullopt;
    pid_t process = startProcess(
        {companion, "box", buttonsName(request.buttons), iconName(request.icon), request.caption, request.text}, edits);
    if (process < 0) {
        unscripted = !answer;
        return unshownBox(request, "the companion program cannot start");
    }
    int status = waitForProcess(process);
    if (status == static_cast<int>(BoxAnswer::Ok) || status == static_cast<int>(BoxAnswer::Yes) ||
        status == static_cast<int>(BoxAnswer::No)) {
        return static_cast<BoxAnswer>(status);
    }
    unscripted = status == companion::nobodyAnswers;
    return unshownBox(request, status == companion::cannotShow ? "no display" : "the companion program failed");
}

UiRequest newRecord(UiRequestKind kind) {
    UiRequest record;
    record.kind = kind;
    record.thread = std::this_thread::get_id();
    record.onUiThread = onUiThread();
    return record;
}

std::mutex workAreaMutex;
Rect configuredWorkArea;
FrameExtents configuredFrame;

}  // namespace

BoxAnswer defaultAnswer(BoxButtons buttons) { return buttons == BoxButtons::YesNo ? BoxAnswer::No : BoxAnswer::Ok; }

BoxAnswer showMessageBox(const BoxRequest& request) {
    UiRequest record = newRecord(UiRequestKind::MessageBox);
    record.caption = request.caption;
    record.text = request.text;

    const bool scripting = uiScript::enabled();
    std::optional<ScriptedAnswer> scripted = scripting ? uiScript::take() : std::nullopt;
    if (scripted && !scriptedBoxAnswer(request.buttons, *scripted)) scripted.reset();

    BoxAnswer answer;
    UiBackend* ui = uiBackend();
    if (scripting && !scripted) {
        record.unscripted = true;
        answer = unshownBox(request, "no scripted answer");
    } else if (ui != nullptr && record.onUiThread) {
        if (!scripted && ui->headless()) {
            record.unscripted = true;
            answer = unshownBox(request, "headless screen");
        } else {
            answer = ui->messageBox(request, scripted);
        }
    } else if (!scripted && headlessEnvironment()) {
        record.unscripted = true;
        answer = unshownBox(request, "headless screen");
    } else {
        answer = boxThroughCompanion(request, scripted, record.unscripted);
    }
    record.answer = answerName(answer);
    uiScript::record(record);
    return answer;
}

std::string chooserFilterText(const ChooserRequest& request) {
    std::string patterns;
    for (const auto& extension : request.extensions) {
        if (!patterns.empty()) patterns += ' ';
        patterns += "*." + extension;
    }
    return request.description + " (" + patterns + ")";
}

ChooserOutcome runChooser(const ChooserRequest& request, std::string& path) {
    UiRequest record = newRecord(request.kind == ChooserKind::Open   ? UiRequestKind::OpenChooser
                                 : request.kind == ChooserKind::Save ? UiRequestKind::SaveChooser
                                                                     : UiRequestKind::FolderChooser);
    record.text = request.instruction;
    if (request.kind != ChooserKind::Folder) {
        record.filter = chooserFilterText(request);
        record.extension = request.extensions.empty() ? std::string() : request.extensions.front();
        record.caption = request.kind == ChooserKind::Open ? "Open" : "Save As";
    } else {
        record.caption = "Browse For Folder";
    }

    const bool scripting = uiScript::enabled();
    std::optional<ScriptedAnswer> scripted = scripting ? uiScript::take() : std::nullopt;
    if (scripted && scripted->kind != ScriptedAnswer::Kind::Path && scripted->kind != ScriptedAnswer::Kind::Cancel) {
        scripted.reset();
    }

    ChooserOutcome outcome;
    UiBackend* ui = uiBackend();
    if (ui == nullptr || !record.onUiThread) {
        setLastErrorText("The chooser cannot be shown here.");
        outcome = ChooserOutcome::CannotShow;
    } else if (!scripted && (scripting || ui->headless())) {
        record.unscripted = true;
        outcome = ChooserOutcome::Cancelled;
    } else {
        outcome = ui->chooseFile(request, scripted, path);
    }
    record.answer = outcome == ChooserOutcome::Chosen      ? "path " + path
                    : outcome == ChooserOutcome::Cancelled ? "cancel"
                                                           : "cannot show";
    uiScript::record(record);
    return outcome;
}

int runDialog(WindowHandle owner, const DialogTemplate& dialog, DialogHandler& handler) {
    UiRequest record = newRecord(UiRequestKind::Dialog);
    record.caption = dialog.caption;
    record.templateId = dialog.id;
    DialogResponder responder = uiScript::dialogResponder(dialog.id);
    record.unscripted = uiScript::enabled() && !responder;
    uiScript::record(record);

    UiBackend* ui = uiBackend();
    if (ui == nullptr || !record.onUiThread) {
        setLastErrorText("The dialog cannot be shown here.");
        return -1;
    }
    return ui->runDialog(owner, dialog, handler, responder);
}

NativeWindow* createNativeWindow(const WindowSpec& spec, WindowEvents* events) {
    UiBackend* ui = uiBackend();
    if (ui == nullptr) {
        setLastErrorText("There is no user interface to show windows on.");
        return nullptr;
    }
    return ui->createWindow(spec, events);
}

bool sendClose(WindowHandle window) {
    UiBackend* ui = uiBackend();
    return ui != nullptr && ui->sendClose(window);
}

void invalidateWindow(WindowHandle window, const Rect& area) {
    if (UiBackend* ui = uiBackend()) ui->invalidate(window, &area);
}

void requestPaint(WindowHandle window) {
    if (UiBackend* ui = uiBackend()) ui->invalidate(window, nullptr);
}

Rect workArea() {
    {
        std::lock_guard lock(workAreaMutex);
        if (!configuredWorkArea.empty()) return configuredWorkArea;
    }
    UiBackend* ui = uiBackend();
    if (ui != nullptr && !ui->headless()) return ui->screenWorkArea();
    return {0, 0, 1280, 1024};
}

void setWorkArea(const Rect& area) {
    std::lock_guard lock(workAreaMutex);
    configuredWorkArea = area;
}

FrameExtents frameExtents() {
    std::lock_guard lock(workAreaMutex);
    return configuredFrame;
}

void setFrameExtents(const FrameExtents& frame) {
    std::lock_guard lock(workAreaMutex);
    configuredFrame = frame;
}

void setCursorShape(CursorShape shape) {
    if (UiBackend* ui = uiBackend()) ui->setCursorShape(shape);
}

int wheelScrollLines() {
    UiBackend* ui = uiBackend();
    return ui != nullptr ? ui->wheelScrollLines() : 3;
}

}  // namespace platform
