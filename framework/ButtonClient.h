#ifndef VELKARN_FRAMEWORK_BUTTONCLIENT_H
#define VELKARN_FRAMEWORK_BUTTONCLIENT_H

class GUIButton;

class ButtonClient {
public:
    virtual ~ButtonClient() = default;
    virtual void buttonPressed(GUIButton* /*button*/) {}
    // A momentary button released, or a toggle switched off.
    virtual void buttonReleased(GUIButton* /*button*/) {}
};

#endif
