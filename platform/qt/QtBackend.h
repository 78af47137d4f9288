// The Qt user interface of the layer (internal to platform/qt).
#ifndef VELKARN_PLATFORM_QT_QTBACKEND_H
#define VELKARN_PLATFORM_QT_QTBACKEND_H

#include "platform/Clock.h"
#include "platform/PostRing.h"
#include "platform/UiBackend.h"

#include <QEvent>
#include <QObject>

#include <atomic>
#include <map>
#include <set>
#include <mutex>
#include <thread>

class QSocketNotifier;
class QWidget;

namespace platform::qt {

class QtWindow;

// Events the backend posts to itself on the UI thread.
enum EventType : int {
    invalidateEvent = QEvent::User + 101,
    timerTickEvent,
};

class QtBackend final : public QObject, public UiBackend, public VirtualScheduler {
public:
    QtBackend();
    ~QtBackend() override;

    static QtBackend* instance();

    // UiBackend
    bool headless() const override { return headless_; }
    void wake() override;
    void waitForEvents() override;
    void processEvents() override;
    NativeWindow* createWindow(const WindowSpec& spec, WindowEvents* events) override;
    void invalidate(WindowHandle window, const Rect* area) override;
    bool sendClose(WindowHandle window) override;
    Rect screenWorkArea() override;
    void setCursorShape(CursorShape shape) override;
    int wheelScrollLines() override;
    BoxAnswer messageBox(const BoxRequest& request, const std::optional<ScriptedAnswer>& answer) override;
    ChooserOutcome chooseFile(const ChooserRequest& request, const std::optional<ScriptedAnswer>& answer,
                              std::string& path) override;
    int runDialog(WindowHandle owner, const DialogTemplate& dialog, DialogHandler& handler,
                  const DialogResponder& responder) override;

    // Windows by handle (UI thread).
    void addWindow(WindowHandle handle, QtWindow* window);
    void removeWindow(WindowHandle handle);
    QtWindow* window(WindowHandle handle) const;
    QWidget* widget(WindowHandle handle) const;  // windows and dialogs
    void addDialogWidget(WindowHandle handle, QWidget* dialog);
    void removeDialogWidget(WindowHandle handle);

    // Window timers on the virtual clock.
    void scheduleVirtualTimer(WindowHandle window, int id, unsigned periodMs);
    void cancelVirtualTimer(WindowHandle window, int id);
    std::int64_t nextDeadlineNs() override;
    void fireDue(std::int64_t nowNs) override;

    void destroyAllWindows();

protected:
    bool event(QEvent* event) override;

private:
    struct VirtualTimer {
        std::int64_t deadlineNs;
        unsigned periodMs;
    };
    struct PendingInvalidate {
        WindowHandle window = noWindow;
        bool hasArea = false;
        Rect area;
    };

    void signalWake();
    void takeWake();
    void invalidateNow(WindowHandle window, const Rect* area);

    bool headless_;
    std::thread::id uiThread_;
    // Other threads reach the UI thread without allocating: they write to
    // an event counter whose notifier runs takeWake. One write at a time.
    std::atomic<bool> wakePending_{false};
    int wakeFd_ = -1;
    QSocketNotifier* wakeNotifier_ = nullptr;
    std::mutex invalidateMutex_;
    PostRing<PendingInvalidate> pendingInvalidates_{64};
    std::map<WindowHandle, QtWindow*> windows_;
    std::mutex virtualMutex_;
    std::map<std::pair<WindowHandle, int>, VirtualTimer> virtualTimers_;
    std::set<std::pair<WindowHandle, int>> pendingTicks_;
    std::map<WindowHandle, QWidget*> dialogWidgets_;
};

}  // namespace platform::qt

#endif
