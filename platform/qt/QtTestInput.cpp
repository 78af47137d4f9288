// Input through Qt's event delivery: mouse and keys through the window
// system interface (which refuses input to windows a modal dialog blocks),
// the wheel, leave and close events sent to the widget after the same
// modality test.
#include "platform/TestInput.h"

#include "platform/qt/QtBackend.h"
#include "platform/qt/QtWindow.h"

#include <QApplication>
#include <QCloseEvent>
#include <QTest>
#include <QWheelEvent>
#include <QWidget>
#include <QWindow>

namespace platform::test_input {
namespace {

QWidget* widgetOf(WindowHandle window) {
    qt::QtBackend* backend = qt::QtBackend::instance();
    return backend != nullptr ? backend->widget(window) : nullptr;
}

const qt::QtWindow* qtWindowOf(WindowHandle window) {
    qt::QtBackend* backend = qt::QtBackend::instance();
    return backend != nullptr ? backend->window(window) : nullptr;
}

QWindow* windowOf(WindowHandle handle) {
    QWidget* widget = widgetOf(handle);
    return widget != nullptr ? widget->window()->windowHandle() : nullptr;
}

QPoint inWindow(WindowHandle handle, Point point) {
    QWidget* widget = widgetOf(handle);
    return widget->mapTo(widget->window(), QPoint(point.x, point.y));
}

// Whether a modal window other than this one (or one of its own children)
// keeps input from it, as QGuiApplication decides for window-system events.
bool blockedByModal(QWidget* widget) {
    QWindow* modal = QGuiApplication::modalWindow();
    QWindow* target = widget->window()->windowHandle();
    if (modal == nullptr || target == nullptr || modal == target) return false;
    if (modal->modality() == Qt::ApplicationModal) return true;
    for (QWindow* parent = modal->transientParent(); parent != nullptr; parent = parent->transientParent()) {
        if (parent == target) return true;
    }
    return false;
}

}  // namespace

bool press(WindowHandle window, Point point) {
    QWindow* target = windowOf(window);
    if (target == nullptr) return false;
    QTest::mousePress(target, Qt::LeftButton, Qt::NoModifier, inWindow(window, point));
    return true;
}

bool release(WindowHandle window, Point point) {
    QWindow* target = windowOf(window);
    if (target == nullptr) return false;
    QTest::mouseRelease(target, Qt::LeftButton, Qt::NoModifier, inWindow(window, point));
    return true;
}

bool click(WindowHandle window, Point point) { return press(window, point) && release(window, point); }

bool doubleClick(WindowHandle window, Point point) {
    QWindow* target = windowOf(window);
    if (target == nullptr) return false;
    QTest::mouseDClick(target, Qt::LeftButton, Qt::NoModifier, inWindow(window, point));
    return true;
}

bool move(WindowHandle window, Point point) {
    QWindow* target = windowOf(window);
    if (target == nullptr) return false;
    QTest::mouseMove(target, inWindow(window, point));
    return true;
}

bool wheel(WindowHandle window, Point point, int delta) {
    QWidget* widget = widgetOf(window);
    if (widget == nullptr) return false;
    if (blockedByModal(widget)) return true;
    const QPointF at(point.x, point.y);
    QWheelEvent event(at, widget->mapToGlobal(at), QPoint(), QPoint(0, delta), Qt::NoButton, Qt::NoModifier,
                      Qt::NoScrollPhase, false);
    QApplication::sendEvent(widget, &event);
    return true;
}

bool leave(WindowHandle window) {
    QWidget* widget = widgetOf(window);
    if (widget == nullptr) return false;
    QEvent event(QEvent::Leave);
    QApplication::sendEvent(widget, &event);
    return true;
}

bool type(WindowHandle window, const std::string& text) {
    QWindow* target = windowOf(window);
    if (target == nullptr) return false;
    for (char32_t character : QString::fromStdString(text).toStdU32String()) {
        QTest::sendKeyEvent(QTest::Click, target, Qt::Key_unknown, QString::fromUcs4(&character, 1), Qt::NoModifier);
    }
    return true;
}

bool close(WindowHandle window) {
    QWidget* widget = widgetOf(window);
    if (widget == nullptr) return false;
    if (blockedByModal(widget)) return true;
    QCloseEvent event;
    QApplication::sendEvent(widget, &event);
    return true;
}

CursorShape cursorShape(WindowHandle window) {
    QWidget* widget = widgetOf(window);
    if (widget == nullptr) return CursorShape::Arrow;
    switch (widget->cursor().shape()) {
    case Qt::PointingHandCursor:
        return CursorShape::Hand;
    case Qt::WaitCursor:
        return CursorShape::Wait;
    default:
        return CursorShape::Arrow;
    }
}

int titleSets(WindowHandle window) {
    const qt::QtWindow* target = qtWindowOf(window);
    return target != nullptr ? target->titleSets() : 0;
}

int raises(WindowHandle window) {
    const qt::QtWindow* target = qtWindowOf(window);
    return target != nullptr ? target->raises() : 0;
}

}  // namespace platform::test_input
