#include "framework/GUIPanelGroup.h"

#include "framework/GUIPanel.h"
#include "framework/GUIPanelGroupClient.h"
#include "framework/Log.h"

#include <algorithm>

GUIPanelGroup::GUIPanelGroup(int panelCount, int selectorSize, GUIPanelGroupClient* client, const char* source)
    : panelCount_(panelCount), selectorSize_(selectorSize), client_(client), source_(source) {
    if (panelCount < 1) fatalError("A panel group must count at least one panel.", source_, __LINE__);
    if (panelCount > maximumPanels) fatalError("Maximum number of panels exceeded.", source_, __LINE__);
}

GUIPanelGroup::~GUIPanelGroup() {
    for (GUIPanel* panel : panels_) delete panel;
}

void GUIPanelGroup::add(GUIPanel* panel) {
    if (addedCount() >= panelCount_) fatalError("Trying to add too many panels.", source_, __LINE__);
    if (panels_.empty()) {
        set(panel->x0, panel->y0, panel->x1, panel->y1);
    } else {
        set(std::min(x0, panel->x0), std::min(y0, panel->y0), std::max(x1, panel->x1), std::max(y1, panel->y1));
    }
    panels_.push_back(panel);
    panel->attach(window());
}

void GUIPanelGroup::checkComplete(int line) const {
    if (addedCount() < panelCount_) fatalError("Not all panels have been added.", source_, line);
}

void GUIPanelGroup::choose(int index) {
    const int previous = selected_;
    selected_ = index;
    if (client_ != nullptr) client_->panelChanged(this, previous, index);
    redraw();
}

void GUIPanelGroup::panel(int index) {
    checkComplete(__LINE__);
    if (index < 0 || index >= panelCount_) fatalError("Invalid panel index.", source_, __LINE__);
    if (index != selected_) choose(index);
}

void GUIPanelGroup::attach(Window* window) {
    GUIComponent::attach(window);
    for (GUIPanel* panel : panels_) panel->attach(window);
}

void GUIPanelGroup::draw(const GUIRectangle& clip) {
    checkComplete(__LINE__);
    if (!isVisible()) return;
    GUIRectangle part;
    if (clip.intersect(*shown(), part)) shown()->draw(part);
}

void GUIPanelGroup::mouseDown(const GUIPoint& point, bool doubleClick) {
    checkComplete(__LINE__);
    const int tab = selectorIndex(point);
    if (tab >= 0) {
        choose(tab);
    } else {
        shown()->mouseDown(point, doubleClick);
    }
}

void GUIPanelGroup::mouseUp(const GUIPoint& point) {
    checkComplete(__LINE__);
    shown()->mouseUp(point);
}

void GUIPanelGroup::mouseMove(const GUIPoint& point) {
    checkComplete(__LINE__);
    shown()->mouseMove(point);
}

void GUIPanelGroup::mouseWheel(const GUIPoint& point, int notches) {
    checkComplete(__LINE__);
    shown()->mouseWheel(point, notches);
}
