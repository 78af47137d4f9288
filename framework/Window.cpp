#include "framework/Window.h"

#include "framework/GUIPanel.h"
#include "framework/Log.h"
#include "framework/Reporters.h"
#include "framework/Support.h"
#include "framework/Surface.h"
#include "framework/TimerClient.h"
#include "framework/WindowClient.h"
#include "platform/EventLoop.h"
#include "platform/MidiIn.h"

namespace {

constexpr int windowTimerId = 1;

GUIPoint pointOf(platform::Point point) { return GUIPoint(point.x, point.y); }

}  // namespace

Window::Window(const WindowParameters& parameters)
    : instance_(parameters.instance), client_(parameters.client), title_(parameters.title) {
    root_ = std::make_unique<GUIPanel>(0, 0, parameters.backgroundKey, true);
    width_ = root_->width;
    height_ = root_->height;

    platform::Point position{0, 0};
    if (parameters.parent == platform::noWindow) {
        position = placeFrame(width_, height_, parameters.xOffset, parameters.yOffset);
    }

    platform::WindowSpec spec;
    spec.clientWidth = width_;
    spec.clientHeight = height_;
    spec.title = title_;
    spec.topmost = parameters.topmost;
    spec.parent = parameters.parent;
    native_.reset(platform::createNativeWindow(spec, this));
    if (reportWindowsError(native_ != nullptr, __FILE__, __LINE__)) {
        handle_ = native_->handle();
        if (parameters.parent == platform::noWindow) native_->move(position);
    }

    surface_ = std::make_unique<Surface>(native_.get(), width_, height_);
    root_->attach(this);
    // The handle finds this object from now on (nothing below can fail).
    if (handle_ != platform::noWindow) platform::setWindowObject(handle_, this);
    if (native_ && parameters.showCommand != 0) {
        native_->show();
        native_->updateNow();
    }
}

Window::~Window() {
    stopTimer();
    if (handle_ != platform::noWindow) platform::setWindowObject(handle_, nullptr);
    native_.reset();
    root_.reset();
    surface_.reset();
}

Window* Window::fromHandle(platform::WindowHandle handle) {
    return static_cast<Window*>(platform::windowObject(handle));
}

platform::Point Window::placeFrame(int clientWidth, int clientHeight, int xOffset, int yOffset) {
    const platform::Rect work = platform::workArea();
    const platform::FrameExtents frame = platform::frameExtents();
    const int frameWidth = clientWidth + frame.left + frame.right;
    const int frameHeight = clientHeight + frame.top + frame.bottom;
    // Truncating division, as the centring always did.
    const int x = xOffset + (work.width - frameWidth + 1) / 2;
    const int y = yOffset + (work.height - frameHeight + 1) / 2;
    if (x < 0 || y < 0) fatalError("Please use a resolution of at least 1024 x 768.", __FILE__, __LINE__);
    return {work.x + x, work.y + y};
}

void Window::add(GUIComponent* component) {
    component->attach(this);
    root_->add(component);
}

void Window::postToClient(int wParam, int lParam) {
    reportWindowsError(platform::postMessage(handle_, platform::clientMessage,
                                             static_cast<std::uintptr_t>(static_cast<std::intptr_t>(wParam)), lParam),
                       __FILE__, __LINE__);
}

bool Window::confirmDiscard() {
    if (!modified_) return true;
    return askYesNo("File Has Been Modified",
                    "The current file has been modified, but not saved. Are you sure you want to proceed and to "
                    "discard the changes?");
}

void Window::redraw(const GUIRectangle& area) {
    GUIRectangle clip;
    if (clientArea().intersect(area, clip)) root_->draw(clip);
}

void Window::present() { surface_->present(); }

void Window::bringToFront() {
    if (!reportWindowsError(native_ != nullptr, __FILE__, __LINE__)) return;
    if (native_->isMinimised()) native_->restore();
    native_->raise();
}

void Window::enable() {
    if (native_) native_->setInputEnabled(true);
}

void Window::disable() {
    if (native_) native_->setInputEnabled(false);
}

void Window::startTimer(unsigned elapseMs, TimerClient* client) {
    if (client == nullptr) return;
    timerClient_ = client;
    if (native_) native_->startTimer(windowTimerId, elapseMs);
}

void Window::stopTimer() {
    if (timerClient_ == nullptr) return;
    timerClient_ = nullptr;
    if (native_) native_->stopTimer(windowTimerId);
}

void Window::setFileName(const std::string& fileName) {
    fileName_ = fileName;
    updateTitle();
}

void Window::setModified(bool modified) {
    if (modified == modified_) return;
    modified_ = modified;
    updateTitle();
}

void Window::updateTitle() {
    std::string text = title_;
    if (!fileName_.empty()) text += " :: " + fileName_;
    if (modified_) text += " [changed]";
    if (reportWindowsError(native_ != nullptr, __FILE__, __LINE__)) native_->setTitle(text);
}

// ---- Drawing ---------------------------------------------------------------

void Window::copyImage(const Image& image, int dstX, int dstY, int srcX, int srcY, int width, int height) {
    surface_->copyImage(image, dstX, dstY, srcX, srcY, width, height);
}

void Window::blendImage(const Image& image, int dstX, int dstY, int srcX, int srcY, int width, int height) {
    surface_->blendImage(image, dstX, dstY, srcX, srcY, width, height);
}

void Window::blendFill(int red, int green, int blue, int alpha, int x, int y, int width, int height) {
    surface_->blendFill(red, green, blue, alpha, x, y, width, height);
}

void Window::blendPixel(Color color, int x, int y) { surface_->blendPixel(color, x, y); }

void Window::blendVerticalLine(int red, int green, int blue, int alpha, int x, int y0, int y1) {
    surface_->blendVerticalLine(red, green, blue, alpha, x, y0, y1);
}

void Window::blendHorizontalLine(int red, int green, int blue, int alpha, int x0, int x1, int y) {
    surface_->blendHorizontalLine(red, green, blue, alpha, x0, x1, y);
}

// ---- Platform events ---------------------------------------------------------

void Window::paint(const platform::Rect& update) {
    // An all-zero update rectangle is a paint request while nothing was
    // invalid: nothing to draw, but the client still hears of the paint.
    if (!isZeroRect(update)) {
        redraw(GUIRectangle(update));
        present();
    }
    if (client_ != nullptr) client_->painted(this);
}

void Window::closeRequested() {
    // Closing is the message loop's decision; the window only asks for it.
    if (client_ == nullptr || client_->canClose(this)) {
        reportWindowsError(platform::postMessage(handle_, platform::closeRequestMessage, 0, 0), __FILE__, __LINE__);
    }
}

void Window::character(std::uint8_t code) {
    if (client_ != nullptr) client_->character(this, code);
    present();
}

void Window::timer(int /*id*/) {
    if (timerClient_ != nullptr) timerClient_->windowTimer(this);
    present();
}

void Window::mouseMove(platform::Point point) {
    if (!leaveTracking_) {
        leaveTracking_ = true;
        if (native_) native_->requestLeaveNotification();
    }
    root_->mouseMove(pointOf(point));
    present();
}

void Window::mouseDown(platform::Point point) {
    if (native_) native_->captureMouse();
    root_->mouseDown(pointOf(point), false);
    present();
}

void Window::mouseUp(platform::Point point) {
    if (native_) native_->releaseMouse();
    root_->mouseUp(pointOf(point));
    present();
}

void Window::mouseDoubleClick(platform::Point point) {
    if (native_) native_->captureMouse();
    root_->mouseDown(pointOf(point), true);
    present();
}

void Window::mouseWheel(platform::Point point, int delta) {
    root_->mouseWheel(pointOf(point), delta / 120);  // truncated toward zero
    present();
}

void Window::mouseLeave() {
    leaveTracking_ = false;
    root_->mouseLeave();
}

void Window::message(const platform::Message& message) {
    if (platform::isMidiInputMessage(message.id)) {
        if (midiIn_ != nullptr) midiIn_->inputCallback(message.id, message.wParam, message.lParam);
        return;
    }
    switch (message.id) {
    case platform::redrawMessage:
        redraw(clientArea());
        present();
        break;
    case platform::clientMessage:
        if (client_ != nullptr) {
            client_->postedMessage(this, static_cast<int>(message.wParam), static_cast<int>(message.lParam));
        }
        present();
        break;
    default: break;
    }
}
