// Several panels at one place, one of them shown; a click in the selector
// band (part of each panel's own background) shows another. The group
// draws nothing but the shown panel and passes mouse calls only to it
// (mouse leave to none). It owns up to 100 panels and is usable once all
// the panels announced to its constructor have been added; until then a
// draw, a mouse call or panel() stops the program with "Not all panels have
// been added.". GUIPanelGroupHorizontal has its band along the top edge,
// GUIPanelGroupVertical along the left edge. User-interface thread only.
#ifndef VELKARN_FRAMEWORK_GUIPANELGROUP_H
#define VELKARN_FRAMEWORK_GUIPANELGROUP_H

#include "framework/GUIComponent.h"

#include <vector>

class GUIPanel;
class GUIPanelGroupClient;

class GUIPanelGroup : public GUIComponent {
public:
    static constexpr int maximumPanels = 100;

    // Deletes the added panels.
    ~GUIPanelGroup() override;

    // Shows the panel at the index (0 .. panelCount - 1, else "Invalid panel
    // index."): the client is told and the group redrawn; nothing happens
    // when it is shown already.
    virtual void panel(int index);

    // Takes the panel and attaches it to the group's window; the group's
    // rectangle grows to hold every panel. One more than announced stops
    // the program with "Trying to add too many panels.".
    void add(GUIPanel* panel);
    int selectedIndex() const { return selected_; }
    int panelCount() const { return panelCount_; }
    int addedCount() const { return static_cast<int>(panels_.size()); }

    void attach(Window* window) override;
    void draw(const GUIRectangle& clip) override;
    // A press in the selector band shows the panel of that tab (the client
    // is told even when it was shown already); any other goes to the shown
    // panel.
    void mouseDown(const GUIPoint& point, bool doubleClick) override;
    void mouseUp(const GUIPoint& point) override;
    void mouseMove(const GUIPoint& point) override;
    void mouseWheel(const GUIPoint& point, int notches) override;

protected:
    // panelCount must lie in 1..100 ("A panel group must count at least one
    // panel.", "Maximum number of panels exceeded."). The rectangle is the
    // pixel (0, 0) until the first panel comes. Fatal texts are reported
    // against `source`, the form's own unit.
    GUIPanelGroup(int panelCount, int selectorSize, GUIPanelGroupClient* client, const char* source);

    // The tab under the point when it lies in the selector band, else -1.
    virtual int selectorIndex(const GUIPoint& point) const = 0;
    int selectorSize() const { return selectorSize_; }

private:
    void checkComplete(int line) const;
    void choose(int index);
    GUIPanel* shown() const { return panels_[static_cast<std::size_t>(selected_)]; }

    int panelCount_;
    int selectorSize_;
    GUIPanelGroupClient* client_;
    const char* source_;
    std::vector<GUIPanel*> panels_;
    int selected_ = 0;
};

#endif
