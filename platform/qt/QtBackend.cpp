#include "platform/qt/QtBackend.h"

#include "platform/EventLoop.h"
#include "platform/Platform.h"
#include "platform/PlatformLog.h"
#include "platform/qt/QtWindow.h"

#include <QApplication>
#include <QCursor>
#include <QScreen>
#include <QSocketNotifier>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>

#include <sys/eventfd.h>
#include <unistd.h>

namespace platform::qt {

QtBackend* theBackend = nullptr;

namespace {

class InvalidateEvent final : public QEvent {
public:
    InvalidateEvent(WindowHandle window, const Rect* area)
        : QEvent(static_cast<QEvent::Type>(invalidateEvent)), window(window), hasArea(area != nullptr),
          area(area != nullptr ? *area : Rect{}) {}
    WindowHandle window;
    bool hasArea;
    Rect area;
};

class TimerTickEvent final : public QEvent {
public:
    TimerTickEvent(WindowHandle window, int id)
        : QEvent(static_cast<QEvent::Type>(timerTickEvent)), window(window), id(id) {}
    WindowHandle window;
    int id;
};

// Qt's own diagnostics go to the program's log, not to stderr.
void routeQtMessage(QtMsgType type, const QMessageLogContext& /*context*/, const QString& message) {
    if (type == QtDebugMsg || type == QtInfoMsg) return;
    if (type == QtFatalMsg) {
        std::fprintf(stderr, "Qt: %s\n", message.toLocal8Bit().constData());
        std::abort();
    }
    PLATFORM_NOTE("Qt: " + message.toStdString());
}

bool offscreenPlatform() {
    const char* name = std::getenv("QT_QPA_PLATFORM");
    return name != nullptr && std::strcmp(name, "offscreen") == 0;
}

}  // namespace

QtBackend::QtBackend() : headless_(offscreenPlatform()), uiThread_(std::this_thread::get_id()) {
    wakeFd_ = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    if (wakeFd_ < 0) {
        PLATFORM_NOTE("Cannot make the wake counter: " + std::string(std::strerror(errno)));
        std::abort();  // nothing posted from another thread would ever arrive
    }
    wakeNotifier_ = new QSocketNotifier(wakeFd_, QSocketNotifier::Read, this);
    connect(wakeNotifier_, &QSocketNotifier::activated, this, [this] { takeWake(); });
    theBackend = this;
    VirtualClock::addScheduler(this);
}

QtBackend::~QtBackend() {
    VirtualClock::removeScheduler(this);
    theBackend = nullptr;
    delete wakeNotifier_;
    ::close(wakeFd_);
}

QtBackend* QtBackend::instance() { return theBackend; }

void QtBackend::wake() {
    // One wake at a time is enough: its handler looks at the whole queue.
    if (!wakePending_.exchange(true)) signalWake();
}

void QtBackend::signalWake() {
    const std::uint64_t one = 1;
    // Cannot fail short of a closed descriptor: the counter never nears its limit.
    [[maybe_unused]] const ssize_t written = ::write(wakeFd_, &one, sizeof one);
}

void QtBackend::takeWake() {
    // The counter is emptied before the flag is cleared: whoever still
    // finds the flag set queued their work before this round looks at it.
    std::uint64_t count = 0;
    [[maybe_unused]] const ssize_t read = ::read(wakeFd_, &count, sizeof count);
    wakePending_.store(false);
    while (true) {
        PendingInvalidate next;
        {
            std::lock_guard lock(invalidateMutex_);
            if (pendingInvalidates_.empty()) break;
            next = pendingInvalidates_.front();
            pendingInvalidates_.pop_front();
        }
        invalidateNow(next.window, next.hasArea ? &next.area : nullptr);
    }
    // The main loop takes messages itself; nested loops dispatch them here.
    if (modalDepth() > 0) dispatchQueuedMessages();
}

void QtBackend::waitForEvents() { QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents); }

void QtBackend::processEvents() {
    QCoreApplication::sendPostedEvents();
    QCoreApplication::processEvents(QEventLoop::AllEvents);
}

bool QtBackend::event(QEvent* event) {
    switch (static_cast<int>(event->type())) {
    case invalidateEvent: {
        auto* invalidate = static_cast<InvalidateEvent*>(event);
        invalidateNow(invalidate->window, invalidate->hasArea ? &invalidate->area : nullptr);
        return true;
    }
    case timerTickEvent: {
        auto* tick = static_cast<TimerTickEvent*>(event);
        bool active;
        {
            std::lock_guard lock(virtualMutex_);
            active = virtualTimers_.count({tick->window, tick->id}) != 0;
            pendingTicks_.erase({tick->window, tick->id});
        }
        if (QtWindow* target = window(tick->window); target != nullptr && active) target->deliverTimerTick(tick->id);
        return true;
    }
    default:
        return QObject::event(event);
    }
}

NativeWindow* QtBackend::createWindow(const WindowSpec& spec, WindowEvents* events) { return new QtWindow(spec, events); }

void QtBackend::invalidate(WindowHandle window, const Rect* area) {
    // (Asking Qt for the current thread would allocate on a thread it never saw.)
    if (std::this_thread::get_id() == uiThread_) {
        QCoreApplication::postEvent(this, new InvalidateEvent(window, area));
        return;
    }
    // Another thread (the output thread among them) must not allocate.
    {
        std::lock_guard lock(invalidateMutex_);
        bool covered = false;  // a whole-window request for it is waiting
        for (std::size_t i = 0; i < pendingInvalidates_.size() && !covered; ++i) {
            covered = pendingInvalidates_[i].window == window && !pendingInvalidates_[i].hasArea;
        }
        if (!covered) pendingInvalidates_.push_back({window, area != nullptr, area != nullptr ? *area : Rect{}});
    }
    wake();
}

void QtBackend::invalidateNow(WindowHandle handle, const Rect* area) {
    if (QtWindow* target = window(handle)) target->invalidate(area);
}

bool QtBackend::sendClose(WindowHandle handle) {
    QtWindow* target = window(handle);
    if (target == nullptr) return false;
    target->closeRequest();
    return true;
}

Rect QtBackend::screenWorkArea() {
    QScreen* screen = QGuiApplication::primaryScreen();
    if (screen == nullptr) return {0, 0, 1280, 1024};
    QRect area = screen->availableGeometry();
    return {area.x(), area.y(), area.width(), area.height()};
}

void QtBackend::setCursorShape(CursorShape shape) {
    Qt::CursorShape qtShape = shape == CursorShape::Hand   ? Qt::PointingHandCursor
                              : shape == CursorShape::Wait ? Qt::WaitCursor
                                                           : Qt::ArrowCursor;
    for (auto& [handle, target] : windows_) target->widget()->setCursor(qtShape);
}

int QtBackend::wheelScrollLines() { return QApplication::wheelScrollLines(); }

void QtBackend::addWindow(WindowHandle handle, QtWindow* target) { windows_[handle] = target; }

void QtBackend::removeWindow(WindowHandle handle) { windows_.erase(handle); }

QtWindow* QtBackend::window(WindowHandle handle) const {
    auto found = windows_.find(handle);
    return found == windows_.end() ? nullptr : found->second;
}

QWidget* QtBackend::widget(WindowHandle handle) const {
    if (QtWindow* target = window(handle)) return target->widget();
    auto found = dialogWidgets_.find(handle);
    return found == dialogWidgets_.end() ? nullptr : found->second;
}

void QtBackend::addDialogWidget(WindowHandle handle, QWidget* dialog) { dialogWidgets_[handle] = dialog; }

void QtBackend::removeDialogWidget(WindowHandle handle) { dialogWidgets_.erase(handle); }

void QtBackend::scheduleVirtualTimer(WindowHandle window, int id, unsigned periodMs) {
    std::lock_guard lock(virtualMutex_);
    virtualTimers_[{window, id}] = {monotonicNs() + static_cast<std::int64_t>(periodMs) * 1000000, periodMs};
}

void QtBackend::cancelVirtualTimer(WindowHandle window, int id) {
    std::lock_guard lock(virtualMutex_);
    virtualTimers_.erase({window, id});
}

std::int64_t QtBackend::nextDeadlineNs() {
    std::lock_guard lock(virtualMutex_);
    std::int64_t earliest = -1;
    for (const auto& [key, timer] : virtualTimers_) {
        if (earliest < 0 || timer.deadlineNs < earliest) earliest = timer.deadlineNs;
    }
    return earliest;
}

void QtBackend::fireDue(std::int64_t nowNs) {
    std::lock_guard lock(virtualMutex_);
    for (auto& [key, timer] : virtualTimers_) {
        if (timer.deadlineNs > nowNs) continue;
        std::int64_t period = std::max<std::int64_t>(timer.periodMs, 1) * 1000000;
        while (timer.deadlineNs <= nowNs) timer.deadlineNs += period;
        // At most one tick of a timer waits to be delivered.
        if (pendingTicks_.insert(key).second) QCoreApplication::postEvent(this, new TimerTickEvent(key.first, key.second));
    }
}

void QtBackend::destroyAllWindows() {
    while (!windows_.empty()) delete windows_.begin()->second;
}

}  // namespace platform::qt

namespace platform {

bool displayAvailable() {
    const char* name = std::getenv("QT_QPA_PLATFORM");
    if (name != nullptr && *name != '\0' && std::strncmp(name, "xcb", 3) != 0 && std::strncmp(name, "wayland", 7) != 0) {
        return true;  // offscreen, minimal, vnc ... need no server
    }
    const char* display = std::getenv("DISPLAY");
    const char* wayland = std::getenv("WAYLAND_DISPLAY");
    return (display != nullptr && *display != '\0') || (wayland != nullptr && *wayland != '\0');
}

bool initializePlatform(int& argc, char** argv) {
    setUiThread();
    if (qt::QtBackend::instance() != nullptr) return true;
    if (!displayAvailable()) return false;
    qInstallMessageHandler(qt::routeQtMessage);
    if (QApplication::instance() == nullptr) {
        QApplication::setDesktopSettingsAware(false);  // the program draws its own look
        new QApplication(argc, argv);
        QApplication::setQuitOnLastWindowClosed(false);  // closing is the main loop's decision
    }
    setUiBackend(new qt::QtBackend);
    return true;
}

void shutdownPlatform() {
    if (qt::QtBackend* backend = qt::QtBackend::instance()) {
        backend->destroyAllWindows();
        setUiBackend(nullptr);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        delete backend;
    }
}

}  // namespace platform

// Under LeakSanitizer (sanitizer builds only): the font library keeps its
// configuration cache, and the desktop bus library its connection data, for
// the life of the process on purpose.
extern "C" const char* __lsan_default_suppressions() { return "leak:libfontconfig.so\nleak:libdbus-1.so\n"; }
