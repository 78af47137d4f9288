#include "platform/qt/QtWindow.h"

#include "platform/Clock.h"
#include "platform/Text1252.h"
#include "platform/qt/QtBackend.h"

#include <QApplication>
#include <QCloseEvent>
#include <QDeadlineTimer>
#include <QWindow>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QStyleHints>
#include <QTimer>
#include <QWheelEvent>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>

namespace platform::qt {
namespace {

Point pointOf(const QPointF& position) {
    return {static_cast<int>(std::floor(position.x())), static_cast<int>(std::floor(position.y()))};
}

Rect rectOf(const QRect& rect) { return {rect.x(), rect.y(), rect.width(), rect.height()}; }

// The cap keeps a long session from growing the test record without bound.
constexpr std::size_t presentedRectsLimit = 100000;

}  // namespace

// ---- WindowWidget ------------------------------------------------------------

WindowWidget::WindowWidget(QtWindow* owner, QWidget* parent) : QWidget(parent), owner_(owner) {
    setAttribute(Qt::WA_OpaquePaintEvent);
    setAttribute(Qt::WA_NoSystemBackground);
    setMouseTracking(true);
    setFocusPolicy(Qt::StrongFocus);
}

void WindowWidget::paintEvent(QPaintEvent* event) {
    if (owner_ != nullptr) owner_->paint(event);
}
void WindowWidget::mousePressEvent(QMouseEvent* event) {
    if (owner_ != nullptr) owner_->mousePress(event);
}
void WindowWidget::mouseReleaseEvent(QMouseEvent* event) {
    if (owner_ != nullptr) owner_->mouseRelease(event);
}
// Double clicks are judged here from the presses' times and places. A press
// that the toolkit takes for the second of a double click reaches a widget
// only as its double-click event, so that event counts as the press.
void WindowWidget::mouseDoubleClickEvent(QMouseEvent* event) {
    if (owner_ != nullptr) owner_->mousePress(event);
}
void WindowWidget::mouseMoveEvent(QMouseEvent* event) {
    if (owner_ != nullptr) owner_->mouseMove(event);
}
void WindowWidget::wheelEvent(QWheelEvent* event) {
    if (owner_ != nullptr) owner_->wheel(event);
}
void WindowWidget::leaveEvent(QEvent* /*event*/) {
    if (owner_ != nullptr) owner_->leave();
}
void WindowWidget::keyPressEvent(QKeyEvent* event) {
    if (owner_ != nullptr) owner_->key(event);
}
void WindowWidget::closeEvent(QCloseEvent* event) {
    // Closing is the program's decision: the window only passes the request on.
    event->ignore();
    if (owner_ != nullptr) owner_->closeRequest();
}

// ---- QtWindow ------------------------------------------------------------------

QtWindow::QtWindow(const WindowSpec& spec, WindowEvents* events)
    : events_(events), handle_(registerWindow(this)),
      frame_(std::max(spec.clientWidth, 1), std::max(spec.clientHeight, 1), QImage::Format_RGB32) {
    QtBackend* backend = QtBackend::instance();
    QWidget* parent = spec.parent != noWindow ? backend->widget(spec.parent) : nullptr;
    widget_ = new WindowWidget(this, parent);
    if (parent == nullptr) {
        Qt::WindowFlags flags = Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                                Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint;
        if (spec.topmost) flags |= Qt::WindowStaysOnTopHint;
        widget_->setWindowFlags(flags);
    } else {
        widget_->move(0, 0);
    }
    widget_->setFixedSize(spec.clientWidth, spec.clientHeight);
    widget_->setWindowTitle(QString::fromStdString(spec.title));
    frame_.fill(Qt::white);
    backend->addWindow(handle_, this);
}

QtWindow::~QtWindow() {
    while (!timers_.empty()) stopTimer(timers_.begin()->first);
    QtBackend::instance()->removeWindow(handle_);
    unregisterWindow(handle_);
    releaseMouse();
    widget_->detach();
    widget_->hide();
    // Qt may still be delivering an event to the widget further up the stack.
    widget_->deleteLater();
}

void QtWindow::setTitle(const std::string& title) {
    ++titleSets_;
    widget_->setWindowTitle(QString::fromStdString(title));
}

std::string QtWindow::title() const { return widget_->windowTitle().toStdString(); }

void QtWindow::move(Point position) { widget_->move(position.x, position.y); }

Point QtWindow::position() const { return {widget_->x(), widget_->y()}; }

void QtWindow::show() {
    widget_->show();
    invalid_ = QRegion(0, 0, frame_.width(), frame_.height());
}

void QtWindow::minimise() { widget_->showMinimized(); }

void QtWindow::restore() {
    if (widget_->isMinimized()) widget_->showNormal();
}

bool QtWindow::isMinimised() const { return widget_->isMinimized(); }

void QtWindow::raise() {
    ++raises_;
    widget_->raise();
    widget_->activateWindow();
}

void QtWindow::setInputEnabled(bool enabled) { inputEnabled_ = enabled; }

void QtWindow::startTimer(int id, unsigned periodMs) {
    stopTimer(id);
    TimerState& state = timers_[id];
    if (VirtualClock::enabled()) {
        QtBackend::instance()->scheduleVirtualTimer(handle_, id, periodMs);
        return;
    }
    state.timer = new QTimer(widget_);
    state.timer->setTimerType(Qt::PreciseTimer);
    QObject::connect(state.timer, &QTimer::timeout, widget_, [this, id] { deliverTimerTick(id); });
    state.timer->start(static_cast<int>(periodMs));
}

void QtWindow::stopTimer(int id) {
    auto found = timers_.find(id);
    if (found == timers_.end()) return;
    if (found->second.timer != nullptr) {
        found->second.timer->stop();
        found->second.timer->deleteLater();
    } else {
        QtBackend::instance()->cancelVirtualTimer(handle_, id);
    }
    timers_.erase(found);
}

void QtWindow::deliverTimerTick(int id) {
    if (timers_.count(id) != 0 && events_ != nullptr) events_->timer(id);
}

void QtWindow::captureMouse() {
    // While a button is down the toolkit already routes the mouse to this
    // window; the explicit grab keeps it so on screens that support one.
    captured_ = true;
    if (!QtBackend::instance()->headless()) widget_->grabMouse();
}

void QtWindow::releaseMouse() {
    if (!captured_) return;
    captured_ = false;
    if (!QtBackend::instance()->headless()) widget_->releaseMouse();
}

void QtWindow::present(const std::uint8_t* bgra, int stride, const Rect* rects, int count) {
    QRegion changed;
    for (int i = 0; i < count; ++i) {
        QRect area = QRect(rects[i].x, rects[i].y, rects[i].width, rects[i].height) & frame_.rect();
        if (presentedRects_.size() >= presentedRectsLimit) presentedRects_.clear();
        presentedRects_.push_back(rects[i]);
        if (area.isEmpty()) continue;
        for (int y = area.top(); y <= area.bottom(); ++y) {
            const auto* source = reinterpret_cast<const std::uint32_t*>(bgra + static_cast<std::ptrdiff_t>(y) * stride) + area.left();
            auto* target = reinterpret_cast<std::uint32_t*>(frame_.scanLine(y)) + area.left();
            for (int x = 0; x < area.width(); ++x) target[x] = source[x] | 0xFF000000u;  // alpha ignored
        }
        changed += area;
    }
    if (changed.isEmpty()) return;
    if (inPaint_) {
        presentedInPaint_ += changed - paintRegion_;
        return;
    }
    flushPresented(changed);
}

void QtWindow::flushPresented(const QRegion& region) {
    presented_ += region;
    widget_->update(region);
}

void QtWindow::updateNow() {
    // A window that was just shown can only be painted once the window
    // system has exposed it; until then a paint would be dropped.
    QWindow* handle = widget_->windowHandle();
    if (widget_->isVisible() && handle != nullptr && !handle->isExposed()) {
        QDeadlineTimer deadline(1000);
        while (!handle->isExposed() && !deadline.hasExpired()) {
            QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents | QEventLoop::WaitForMoreEvents, 10);
        }
    }
    QRegion pending = invalid_ | presented_;
    if (!pending.isEmpty()) widget_->repaint(pending);
}

std::vector<std::uint8_t> QtWindow::readBack(const Rect& area) const {
    QRect clipped = QRect(area.x, area.y, area.width, area.height) & frame_.rect();
    std::vector<std::uint8_t> pixels(static_cast<std::size_t>(std::max(area.width, 0)) *
                                     static_cast<std::size_t>(std::max(area.height, 0)) * 4, 0);
    for (int y = clipped.top(); y <= clipped.bottom(); ++y) {
        const auto* source = reinterpret_cast<const std::uint32_t*>(frame_.constScanLine(y)) + clipped.left();
        std::uint8_t* target = pixels.data() + (static_cast<std::size_t>(y - area.y) * area.width + (clipped.left() - area.x)) * 4;
        std::memcpy(target, source, static_cast<std::size_t>(clipped.width()) * 4);
    }
    return pixels;
}

std::vector<Rect> QtWindow::takePresentedRects() {
    std::vector<Rect> rects;
    rects.swap(presentedRects_);
    return rects;
}

void QtWindow::handleMessage(const Message& message) {
    if (events_ != nullptr) events_->message(message);
}

void QtWindow::invalidate(const Rect* area) {
    if (area == nullptr) {
        // A paint request: with nothing invalid the program sees an all-zero
        // update rectangle; otherwise the invalid part is painted now.
        if (invalid_.isEmpty()) {
            if (events_ != nullptr) events_->paint(Rect{});
        } else {
            widget_->repaint(invalid_);
        }
        return;
    }
    QRect rect = QRect(area->x, area->y, area->width, area->height) & frame_.rect();
    if (rect.isEmpty()) return;
    invalid_ += rect;
    widget_->update(rect);
}

void QtWindow::paint(QPaintEvent* event) {
    paintRegion_ = event->region();
    QRegion invalid = invalid_ | (paintRegion_ - presented_);
    invalid_ = QRegion();
    presented_ = QRegion();
    if (!invalid.isEmpty() && events_ != nullptr) {
        inPaint_ = true;
        events_->paint(rectOf(invalid.boundingRect()));
        inPaint_ = false;
    }
    {
        QPainter painter(widget_);
        for (const QRect& rect : paintRegion_) painter.drawImage(rect.topLeft(), frame_, rect);
    }
    paintRegion_ = QRegion();
    if (!presentedInPaint_.isEmpty()) {
        QRegion rest = presentedInPaint_;
        presentedInPaint_ = QRegion();
        flushPresented(rest);
    }
}

void QtWindow::mousePress(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton || !inputEnabled_ || events_ == nullptr) return;
    Point point = pointOf(event->position());
    QPoint here(point.x, point.y);
    const QStyleHints* hints = QGuiApplication::styleHints();
    const int distance = hints->mouseDoubleClickDistance();
    bool isDouble = havePress_ && !lastPressWasDouble_ &&
                    event->timestamp() - lastPressTime_ <= static_cast<unsigned long>(hints->mouseDoubleClickInterval()) &&
                    std::abs(here.x() - lastPressPoint_.x()) <= distance && std::abs(here.y() - lastPressPoint_.y()) <= distance;
    havePress_ = true;
    lastPressWasDouble_ = isDouble;
    lastPressTime_ = event->timestamp();
    lastPressPoint_ = here;
    if (isDouble) {
        events_->mouseDoubleClick(point);
    } else {
        events_->mouseDown(point);
    }
}

void QtWindow::mouseRelease(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton || !inputEnabled_ || events_ == nullptr) return;
    events_->mouseUp(pointOf(event->position()));
}

void QtWindow::mouseMove(QMouseEvent* event) {
    if (!inputEnabled_ || events_ == nullptr) return;
    events_->mouseMove(pointOf(event->position()));
}

void QtWindow::wheel(QWheelEvent* event) {
    if (!inputEnabled_ || events_ == nullptr) return;
    int delta = event->angleDelta().y();
    if (delta == 0) return;
    events_->mouseWheel(pointOf(event->position()), delta);
}

void QtWindow::leave() {
    if (!leaveRequested_ || events_ == nullptr) return;
    leaveRequested_ = false;
    events_->mouseLeave();
}

void QtWindow::key(QKeyEvent* event) {
    if (!inputEnabled_ || events_ == nullptr) return;
    switch (event->key()) {
    case Qt::Key_Backspace: events_->character(8); return;
    case Qt::Key_Tab: events_->character(9); return;
    case Qt::Key_Return:
    case Qt::Key_Enter: events_->character(13); return;
    case Qt::Key_Escape: events_->character(27); return;
    default: break;
    }
    const std::u32string characters = event->text().toStdU32String();
    for (char32_t c : characters) {
        int byte = unicodeToCp1252(c);
        if (byte >= 0) events_->character(static_cast<std::uint8_t>(byte));  // unmappable ones are dropped
    }
}

void QtWindow::closeRequest() {
    if (events_ != nullptr) events_->closeRequested();
}

}  // namespace platform::qt
