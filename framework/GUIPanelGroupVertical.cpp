#include "framework/GUIPanelGroupVertical.h"

GUIPanelGroupVertical::GUIPanelGroupVertical(int panelCount, int selectorSize, GUIPanelGroupClient* client)
    : GUIPanelGroup(panelCount, selectorSize, client, __FILE__) {}

int GUIPanelGroupVertical::selectorIndex(const GUIPoint& point) const {
    if (point.x < x0 || point.x >= x0 + selectorSize() || point.y < y0 || point.y > y1) return -1;
    return static_cast<int>(static_cast<long long>(point.y - y0) * panelCount() / height);
}
