#include "platform/EventLoop.h"

#include "platform/LastError.h"
#include "platform/PostRing.h"
#include "platform/UiBackend.h"

#include <atomic>
#include <condition_variable>
#include <mutex>
#include <thread>
#include <unordered_map>

namespace platform {
namespace {

struct WindowRecord {
    MessageTarget* target = nullptr;
    void* object = nullptr;
};

struct LoopState {
    std::mutex mutex;
    std::condition_variable posted;  // waits without a backend
    // Room for bursts far beyond what the program posts between two rounds
    // of the loop; it grows only if that is ever exceeded.
    PostRing<Message> queue{4096};
    bool quitPosted = false;
    int exitCode = 0;
    std::unordered_map<WindowHandle, WindowRecord> windows;
    WindowHandle nextHandle = 1;
};

LoopState& loop() {
    static LoopState* state = new LoopState;  // posted to from worker threads until exit
    return *state;
}

std::atomic<std::thread::id> uiThread{};
std::atomic<bool> uiThreadSet{false};
std::atomic<int> nestedDepth{0};
std::atomic<UiBackend*> backend{nullptr};

}  // namespace

void setUiBackend(UiBackend* newBackend) { backend.store(newBackend); }
UiBackend* uiBackend() { return backend.load(); }

void setUiThread() {
    uiThread.store(std::this_thread::get_id());
    uiThreadSet.store(true);
}

bool onUiThread() {
    if (!uiThreadSet.load()) setUiThread();  // the first thread to ask is the program's main thread
    return uiThread.load() == std::this_thread::get_id();
}

WindowHandle registerWindow(MessageTarget* target) {
    LoopState& s = loop();
    std::lock_guard lock(s.mutex);
    WindowHandle handle = s.nextHandle++;
    s.windows[handle] = {target, nullptr};
    return handle;
}

void unregisterWindow(WindowHandle window) {
    LoopState& s = loop();
    std::lock_guard lock(s.mutex);
    s.windows.erase(window);
    // What was posted to it can no longer be dispatched; leaving it queued
    // would hand the main loop messages for a window that is gone.
    s.queue.eraseIf([window](const Message& message) { return message.window == window; });
}

bool isWindow(WindowHandle window) {
    LoopState& s = loop();
    std::lock_guard lock(s.mutex);
    return s.windows.count(window) != 0;
}

void setWindowObject(WindowHandle window, void* object) {
    LoopState& s = loop();
    std::lock_guard lock(s.mutex);
    if (auto found = s.windows.find(window); found != s.windows.end()) found->second.object = object;
}

void* windowObject(WindowHandle window) {
    LoopState& s = loop();
    std::lock_guard lock(s.mutex);
    auto found = s.windows.find(window);
    return found == s.windows.end() ? nullptr : found->second.object;
}

bool postMessage(WindowHandle window, std::uint32_t id, std::uintptr_t wParam, std::intptr_t lParam) {
    LoopState& s = loop();
    {
        std::lock_guard lock(s.mutex);
        if (s.windows.count(window) == 0) {
            setLastErrorText("Invalid window handle.");
            return false;
        }
        s.queue.push_back({window, id, wParam, lParam});
    }
    s.posted.notify_all();
    if (UiBackend* ui = backend.load()) ui->wake();
    return true;
}

void postQuitMessage(int exitCode) {
    LoopState& s = loop();
    {
        std::lock_guard lock(s.mutex);
        s.quitPosted = true;
        s.exitCode = exitCode;
    }
    s.posted.notify_all();
    if (UiBackend* ui = backend.load()) ui->wake();
}

int quitExitCode() {
    LoopState& s = loop();
    std::lock_guard lock(s.mutex);
    return s.exitCode;
}

bool getMessage(Message& message) {
    LoopState& s = loop();
    while (true) {
        {
            std::unique_lock lock(s.mutex);
            if (!s.queue.empty()) {
                message = s.queue.front();
                s.queue.pop_front();
                return true;
            }
            if (s.quitPosted) {
                s.quitPosted = false;
                return false;
            }
            if (backend.load() == nullptr) {
                s.posted.wait(lock, [&] { return !s.queue.empty() || s.quitPosted; });
                continue;
            }
        }
        backend.load()->waitForEvents();
    }
}

void dispatchMessage(const Message& message) {
    MessageTarget* target = nullptr;
    {
        LoopState& s = loop();
        std::lock_guard lock(s.mutex);
        auto found = s.windows.find(message.window);
        if (found != s.windows.end()) target = found->second.target;
    }
    if (target != nullptr) target->handleMessage(message);
}

int dispatchPostedMessages() {
    if (UiBackend* ui = backend.load()) ui->processEvents();
    return dispatchQueuedMessages();
}

int dispatchQueuedMessages() {
    LoopState& s = loop();
    int dispatched = 0;
    // Messages posted by the handlers themselves wait for the next round,
    // so a handler that posts to itself cannot keep this loop busy forever.
    std::size_t budget;
    {
        std::lock_guard lock(s.mutex);
        budget = s.queue.size();
    }
    while (budget-- > 0) {
        Message next;
        {
            std::lock_guard lock(s.mutex);
            std::size_t found = 0;
            while (found < s.queue.size() && s.queue[found].id == closeRequestMessage) ++found;
            if (found == s.queue.size()) break;
            next = s.queue[found];
            s.queue.erase(found);
        }
        dispatchMessage(next);
        ++dispatched;
    }
    return dispatched;
}

int queuedMessageCount() {
    LoopState& s = loop();
    std::lock_guard lock(s.mutex);
    return static_cast<int>(s.queue.size());
}

ModalScope::ModalScope() { ++nestedDepth; }
ModalScope::~ModalScope() { --nestedDepth; }
int modalDepth() { return nestedDepth.load(); }

}  // namespace platform
