// A thumb that scrolls a list of items: its position stands for the index of
// the first item a view shows. GUIScrollbarVertical is the one form.
#ifndef VELKARN_FRAMEWORK_GUISCROLLBAR_H
#define VELKARN_FRAMEWORK_GUISCROLLBAR_H

#include "framework/GUIComponent.h"

class GUIScrollbar : public GUIComponent {
public:
    // A new list: total items, visibleItems of them shown from first on.
    virtual void setRange(int total, int visibleItems, int first) = 0;
    // While locked a press does not grab the thumb; a drag under way goes on.
    virtual void lock() = 0;
    virtual void unlock() = 0;
};

#endif
