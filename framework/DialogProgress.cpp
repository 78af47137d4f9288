#include "framework/DialogProgress.h"

#include "framework/DialogProgressClient.h"
#include "framework/File.h"
#include "framework/Log.h"
#include "framework/Reporters.h"
#include "framework/ResourceArchive.h"
#include "framework/StringException.h"
#include "framework/Window.h"
#include "platform/DialogTemplate.h"
#include "platform/LastError.h"

#include <algorithm>
#include <climits>
#include <memory>
#include <optional>
#include <system_error>

DialogProgress::DialogProgress(Window* parent, DialogProgressClient* client, const std::string& title, bool* abortFlag,
                               int low, int high)
    : low_(low), high_(high), client_(client), title_(title), abortFlag_(abortFlag), jobEnded_(*this),
      jobEndedHandle_(platform::registerWindow(&jobEnded_)) {
    std::atomic_ref<bool>(*abortFlag_).store(false);
    const std::optional<platform::DialogTemplate> dialog = loadDialogTemplate(106);
    const platform::WindowHandle owner = parent != nullptr ? parent->handle() : platform::noWindow;
    if (dialog) platform::runDialog(owner, *dialog, *this);
    if (!job_.joinable()) {
        // No dialog could be shown: the job still runs, without a bar.
        reportWindowsError(false, __FILE__, __LINE__);
        startJob();
    }
    job_.join();
}

DialogProgress::~DialogProgress() { platform::unregisterWindow(jobEndedHandle_); }

void DialogProgress::init(platform::Dialog& dialog) {
    dialog_ = &dialog;
    bar_ = dialog.controlHandle(progressBarId);
    if (bar_ == platform::noWindow) platform::setLastErrorText("The progress dialog has no bar.");
    reportWindowsError(bar_ != platform::noWindow, __FILE__, __LINE__);
    dialog.setCaption(title_);
    startJob();
}

void DialogProgress::command(platform::Dialog& /*dialog*/, int controlId) {
    // "Abort", Escape and the window manager's close all come as cancel. A
    // job that has returned is never reported cancelled.
    if (controlId == platform::cancelButton && !jobReturned_.load()) std::atomic_ref<bool>(*abortFlag_).store(true);
}

void DialogProgress::startJob() {
    try {
        job_ = std::thread([this] { runJob(); });
    } catch (const std::system_error&) {
        fatalError("Could not create thread.", __FILE__, __LINE__);
    }
}

void DialogProgress::runJob() {
    if (client_ != nullptr) client_->run(this, title_);
    jobReturned_.store(true);
    // The user-interface thread ends the dialog.
    if (dialog_ != nullptr) {
        reportWindowsError(platform::postMessage(jobEndedHandle_, platform::clientMessage, 0, 0), __FILE__, __LINE__);
    }
}

void DialogProgress::JobEnded::handleMessage(const platform::Message& /*message*/) {
    if (owner_.dialog_ != nullptr) owner_.dialog_->end(0);
}

void DialogProgress::setRange(int low, int high) {
    low_ = low;
    high_ = high;
}

int DialogProgress::percentage(int value, int low, int high) {
    if (high == low) return 0;
    const std::int64_t percent = (static_cast<std::int64_t>(value) - low) * 100 / (static_cast<std::int64_t>(high) - low);
    return static_cast<int>(std::clamp<std::int64_t>(percent, INT_MIN, INT_MAX));
}

void DialogProgress::setPosition(int value) {
    const int percent = percentage(value, low_, high_);
    if (percent == lastPercentage_) return;
    lastPercentage_ = percent;
    if (bar_ == platform::noWindow) return;
    // The bar shows 0 to 100; a position outside the range stays at its end.
    const auto shown = static_cast<std::uintptr_t>(std::clamp(percent, 0, 100));
    reportWindowsError(platform::postMessage(bar_, platform::clientMessage, shown, 0), __FILE__, __LINE__);
}

bool DialogProgress::isAborted() const { return std::atomic_ref<bool>(*abortFlag_).load(); }
