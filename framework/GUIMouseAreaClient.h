#ifndef VELKARN_FRAMEWORK_GUIMOUSEAREACLIENT_H
#define VELKARN_FRAMEWORK_GUIMOUSEAREACLIENT_H

class GUIMouseArea;
struct GUIPoint;

// The mouse events that reach an invisible mouse area.
class GUIMouseAreaClient {
public:
    virtual ~GUIMouseAreaClient() = default;
    virtual void mouseDown(GUIMouseArea* /*area*/, const GUIPoint& /*point*/, bool /*doubleClick*/) {}
    virtual void mouseUp(GUIMouseArea* /*area*/, const GUIPoint& /*point*/) {}
    virtual void mouseMove(GUIMouseArea* /*area*/, const GUIPoint& /*point*/) {}
    virtual void mouseWheel(GUIMouseArea* /*area*/, const GUIPoint& /*point*/, int /*notches*/) {}
    virtual void mouseLeave(GUIMouseArea* /*area*/) {}
};

#endif
