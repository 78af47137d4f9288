// A component that shows a changeable text: the operations every text
// component of a window offers, whatever its direction.
#ifndef VELKARN_FRAMEWORK_GUITEXT_H
#define VELKARN_FRAMEWORK_GUITEXT_H

#include "framework/Color.h"
#include "framework/GUIComponent.h"

#include <string>

class GUIText : public GUIComponent {
public:
    // Sets the colour first, so that one redraw shows both changes.
    virtual void setTextAndColor(const std::string& text, Color color) = 0;
    virtual void setText(const std::string& text) = 0;
    virtual void setColor(Color color) = 0;
    // 0 left, 1 centred, 2 right.
    virtual void setAlignment(int alignment) = 0;
    // The whole text, also the characters that did not fit.
    virtual const std::string& text() = 0;
};

#endif
