// A component that shows a number the user can change: the operations of
// every number display.
#ifndef VELKARN_FRAMEWORK_GUINUMBER_H
#define VELKARN_FRAMEWORK_GUINUMBER_H

#include "framework/GUIComponent.h"

class GUINumberClient;

class GUINumber : public GUIComponent {
public:
    // Shows the value; the listener is not told.
    virtual void setValue(float value) = 0;
    virtual float value() = 0;
    // Tells the listener the current value.
    virtual void notifyListener() = 0;
    virtual void setListener(GUINumberClient* listener) = 0;
};

#endif
