#include "framework/GUIPanelGroupHorizontal.h"

GUIPanelGroupHorizontal::GUIPanelGroupHorizontal(int panelCount, int selectorSize, GUIPanelGroupClient* client)
    : GUIPanelGroup(panelCount, selectorSize, client, __FILE__) {}

int GUIPanelGroupHorizontal::selectorIndex(const GUIPoint& point) const {
    if (point.x < x0 || point.x > x1 || point.y < y0 || point.y >= y0 + selectorSize()) return -1;
    return static_cast<int>(static_cast<long long>(point.x - x0) * panelCount() / width);
}
