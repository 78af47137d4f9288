// An invisible rectangle that passes the mouse to a GUIMouseAreaClient (not
// owned; none: every event is ignored), so that a window can react to the
// mouse over part of its background. Presses, moves and wheel turns count
// only inside the area; releases and the pointer leaving the window always
// reach the client. User-interface thread only.
#ifndef VELKARN_FRAMEWORK_GUIMOUSEAREA_H
#define VELKARN_FRAMEWORK_GUIMOUSEAREA_H

#include "framework/GUIComponent.h"

class GUIMouseAreaClient;

class GUIMouseArea : public GUIComponent {
public:
    GUIMouseArea(int x, int y, int width, int height, GUIMouseAreaClient* client);

    void mouseDown(const GUIPoint& point, bool doubleClick) override;
    void mouseUp(const GUIPoint& point) override;
    void mouseMove(const GUIPoint& point) override;
    void mouseWheel(const GUIPoint& point, int notches) override;
    void mouseLeave() override;

private:
    GUIMouseAreaClient* client_;
};

#endif
