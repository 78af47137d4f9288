// A NativeWindow on a QWidget (internal to platform/qt).
#ifndef VELKARN_PLATFORM_QT_QTWINDOW_H
#define VELKARN_PLATFORM_QT_QTWINDOW_H

#include "platform/EventLoop.h"
#include "platform/NativeWindow.h"

#include <QImage>
#include <QRegion>
#include <QWidget>

#include <map>
#include <memory>

class QTimer;

namespace platform::qt {

class QtWindow;

class WindowWidget final : public QWidget {
public:
    WindowWidget(QtWindow* owner, QWidget* parent);
    void detach() { owner_ = nullptr; }

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    QtWindow* owner_;
};

class QtWindow final : public NativeWindow, public MessageTarget {
public:
    QtWindow(const WindowSpec& spec, WindowEvents* events);
    ~QtWindow() override;

    // NativeWindow
    WindowHandle handle() const override { return handle_; }
    void setTitle(const std::string& title) override;
    std::string title() const override;
    void move(Point position) override;
    Point position() const override;
    void show() override;
    void minimise() override;
    void restore() override;
    bool isMinimised() const override;
    void raise() override;
    void setInputEnabled(bool enabled) override;
    bool inputEnabled() const override { return inputEnabled_; }
    void startTimer(int id, unsigned periodMs) override;
    void stopTimer(int id) override;
    void captureMouse() override;
    void releaseMouse() override;
    void requestLeaveNotification() override { leaveRequested_ = true; }
    void present(const std::uint8_t* bgra, int stride, const Rect* rects, int count) override;
    void updateNow() override;
    std::vector<std::uint8_t> readBack(const Rect& area) const override;
    std::vector<Rect> takePresentedRects() override;

    // MessageTarget
    void handleMessage(const Message& message) override;

    // From the backend, on the UI thread.
    void invalidate(const Rect* area);
    void deliverTimerTick(int id);
    QWidget* widget() const { return widget_; }
    // What the program asked of the window (tests).
    int titleSets() const { return titleSets_; }
    int raises() const { return raises_; }

    // From the widget.
    void paint(QPaintEvent* event);
    void mousePress(QMouseEvent* event);
    void mouseRelease(QMouseEvent* event);
    void mouseMove(QMouseEvent* event);
    void wheel(QWheelEvent* event);
    void leave();
    void key(QKeyEvent* event);
    void closeRequest();

private:
    struct TimerState {
        QTimer* timer = nullptr;  // real clock; null on the virtual clock
    };

    void flushPresented(const QRegion& region);

    WindowEvents* events_;
    WindowWidget* widget_;
    WindowHandle handle_;
    QImage frame_;
    QRegion invalid_;         // to be painted by the program
    QRegion presented_;       // copied to the frame, not yet on the screen
    QRegion paintRegion_;     // region of the paint event in progress
    QRegion presentedInPaint_;
    bool inPaint_ = false;
    bool paintRequested_ = false;
    bool inputEnabled_ = true;
    bool leaveRequested_ = false;
    bool captured_ = false;
    // Double clicks are recognised here, so the order is down, up, double, up.
    bool lastPressWasDouble_ = false;
    bool havePress_ = false;
    unsigned long lastPressTime_ = 0;
    QPoint lastPressPoint_;
    std::map<int, TimerState> timers_;
    std::vector<Rect> presentedRects_;
    int titleSets_ = 0;
    int raises_ = 0;
};

}  // namespace platform::qt

#endif
