// A fixed-size skinned window of the program (main window, beat mapper,
// browser, previewer, scope): the root panel showing its background image
// and the component tree below it, its back Surface, its title with the
// document's file name and a modified mark, and window timer 1. Platform
// events become calls on the root panel and on the owner's WindowClient;
// after every handled input message but the mouse leaving, the window
// presents what was drawn.
//
// Everything runs on the user-interface thread; other threads reach a
// window only through postToClient (and the layer's paint requests).
#ifndef VELKARN_FRAMEWORK_WINDOW_H
#define VELKARN_FRAMEWORK_WINDOW_H

#include "framework/Color.h"
#include "framework/GUIRectangle.h"
#include "platform/Messages.h"
#include "platform/NativeWindow.h"

#include <memory>
#include <string>

class GUIComponent;
class GUIPanel;
class Image;
class Surface;
class TimerClient;
class WindowClient;

namespace platform {
class MidiIn;
}

struct WindowParameters {
    void* instance = nullptr;
    int showCommand = 1;  // 1 shows the window normally
    std::string backgroundKey;
    std::string title;
    WindowClient* client = nullptr;
    platform::WindowHandle parent = platform::noWindow;  // set: a child window at (0, 0) of it
    bool topmost = false;
    int xOffset = 0;  // shift from the centred position
    int yOffset = 0;
};

class Window : private platform::WindowEvents {
public:
    // Creates and shows the window, sized to its background image and, when
    // top-level, centred in the work area (see placeFrame). The background
    // loader's texts are thrown on.
    explicit Window(const WindowParameters& parameters);
    ~Window() override;

    Window(const Window&) = delete;
    Window& operator=(const Window&) = delete;

    // The object of a window handle; null for unknown or destroyed handles.
    static Window* fromHandle(platform::WindowHandle handle);

    // Where a top-level window with this client size goes: centred in the
    // work area with the layer's frame around it, shifted by the offsets.
    // Stops the program with "Please use a resolution of at least 1024 x
    // 768." when the centred frame would start left of or above the work
    // area.
    static platform::Point placeFrame(int clientWidth, int clientHeight, int xOffset, int yOffset);

    // Attaches the component to this window, then adds it to the root panel
    // (which owns it from then on).
    void add(GUIComponent* component);
    // The receiver of the MIDI input messages (null: they are dropped).
    void setMidiIn(platform::MidiIn* midiIn) { midiIn_ = midiIn; }
    // Any thread: WindowClient::postedMessage(window, wParam, lParam)
    // follows on the user-interface thread.
    void postToClient(int wParam, int lParam);
    // True when not modified; otherwise the user's answer to the "File Has
    // Been Modified" question.
    bool confirmDiscard();

    // The root panel draws everything that meets the area (cut to the
    // client area; nothing when they do not meet) into the back image; the
    // next present shows it.
    void redraw(const GUIRectangle& area);
    void present();
    void bringToFront();
    // Mouse and keyboard input on or off; paints and timers go on.
    void enable();
    void disable();
    // Window timer 1: every period the client's windowTimer, then a
    // present. A null client does nothing.
    void startTimer(unsigned elapseMs, TimerClient* client);
    void stopTimer();
    void setFileName(const std::string& fileName);
    void setModified(bool modified);

    // Drawing into the back image (see Surface).
    void copyImage(const Image& image, int dstX, int dstY, int srcX, int srcY, int width, int height);
    void blendImage(const Image& image, int dstX, int dstY, int srcX, int srcY, int width, int height);
    void blendFill(int red, int green, int blue, int alpha, int x, int y, int width, int height);
    void blendPixel(Color color, int x, int y);
    void blendVerticalLine(int red, int green, int blue, int alpha, int x, int y0, int y1);
    void blendHorizontalLine(int red, int green, int blue, int alpha, int x0, int x1, int y);

    int width() const { return width_; }
    int height() const { return height_; }
    platform::WindowHandle handle() const { return handle_; }
    void* instance() const { return instance_; }
    const std::string& title() const { return title_; }
    const std::string& fileName() const { return fileName_; }
    bool isModified() const { return modified_; }
    GUIPanel* root() const { return root_.get(); }
    Surface* surface() const { return surface_.get(); }
    // The layer's window (null when none could be made).
    platform::NativeWindow* nativeWindow() const { return native_.get(); }

private:
    // platform::WindowEvents
    void paint(const platform::Rect& update) override;
    void closeRequested() override;
    void character(std::uint8_t code) override;
    void timer(int id) override;
    void mouseMove(platform::Point point) override;
    void mouseDown(platform::Point point) override;
    void mouseUp(platform::Point point) override;
    void mouseDoubleClick(platform::Point point) override;
    void mouseWheel(platform::Point point, int delta) override;
    void mouseLeave() override;
    void message(const platform::Message& message) override;

    void updateTitle();
    GUIRectangle clientArea() const { return GUIRectangle(0, 0, width_ - 1, height_ - 1); }

    void* instance_;
    WindowClient* client_;
    int width_ = 0;
    int height_ = 0;
    platform::WindowHandle handle_ = platform::noWindow;
    platform::MidiIn* midiIn_ = nullptr;
    std::unique_ptr<GUIPanel> root_;
    std::unique_ptr<Surface> surface_;
    std::unique_ptr<platform::NativeWindow> native_;
    std::string title_;
    std::string fileName_;
    bool modified_ = false;
    TimerClient* timerClient_ = nullptr;
    // Whether a leave notification has been asked for since the mouse last
    // left: one flag per window, so each of them learns when it is left.
    bool leaveTracking_ = false;
};

#endif
