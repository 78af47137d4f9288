// The skinned push button: up and down images of one size (key + "Up",
// key + "Down") and a mask (key + "Mask") whose transparent pixels take no
// click. Momentary buttons (mode 0) go down on a press and up on the
// release, toggles (mode 1) flip on every press, any other mode latches:
// a press sets it down and only setUp brings it up again. Presses and
// releases go to a ButtonClient (may be null, not owned). User-interface
// thread only.
#ifndef VELKARN_FRAMEWORK_GUIBUTTON_H
#define VELKARN_FRAMEWORK_GUIBUTTON_H

#include "framework/GUIComponent.h"

#include <memory>
#include <string>

class ButtonClient;
class Image;
class ImageHolder;

class GUIButton : public GUIComponent {
public:
    static constexpr int momentary = 0;
    static constexpr int toggle = 1;
    static constexpr int latching = 2;

    // The rectangle is (x, y) and the size of the up image. The down image
    // or the mask differing from it in size stops the program with
    // "Dimensions of button images / mask don't match.".
    GUIButton(int x, int y, const std::string& imageKey, ButtonClient* client, int mode, bool initiallyDown);
    ~GUIButton() override;

    void draw(const GUIRectangle& clip) override;
    // A press on an opaque mask pixel; the new face is presented before the
    // client hears of it.
    void mouseDown(const GUIPoint& point, bool doubleClick) override;
    // Ends a momentary press wherever the pointer is: the client is told,
    // then the button redrawn.
    void mouseUp(const GUIPoint& point) override;

    // Change the state and redraw when it changes; the client is not told.
    void setDown();
    void setUp();
    bool isDown() const { return down_; }
    int mode() const { return mode_; }

private:
    // Shows the new face now (redraw, then present) before a client runs.
    void showAtOnce();

    std::unique_ptr<Image> upImage_;
    std::unique_ptr<Image> downImage_;
    std::unique_ptr<ImageHolder> mask_;
    ButtonClient* client_;
    int mode_;
    bool down_;
};

#endif
