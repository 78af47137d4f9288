#include "framework/GUIPanel.h"

#include "framework/Image.h"
#include "framework/Log.h"
#include "framework/Window.h"

GUIPanel::GUIPanel(int x, int y, const std::string& backgroundKey, bool opaque)
    : background_(std::make_unique<Image>(backgroundKey, false)), opaque_(opaque) {
    setOriginSize(x, y, background_->width(), background_->height());
}

GUIPanel::~GUIPanel() {
    for (GUIComponent* child : children_) delete child;
}

void GUIPanel::add(GUIComponent* child) {
    if (count() >= maximumChildren) fatalError("Maximum number of GUI components reached.", __FILE__, __LINE__);
    children_.push_back(child);
    child->attach(window());
}

void GUIPanel::attach(Window* window) {
    GUIComponent::attach(window);
    for (GUIComponent* child : children_) child->attach(window);
}

void GUIPanel::draw(const GUIRectangle& clip) {
    if (!isVisible()) return;
    Window* target = window();
    if (target != nullptr) {
        if (opaque_) {
            target->copyImage(*background_, clip.x0, clip.y0, clip.x0 - x0, clip.y0 - y0, clip.width, clip.height);
        } else {
            target->blendImage(*background_, clip.x0, clip.y0, clip.x0 - x0, clip.y0 - y0, clip.width, clip.height);
        }
    }
    GUIRectangle part;
    for (GUIComponent* child : children_) {
        if (clip.intersect(*child, part)) child->draw(part);
    }
}

void GUIPanel::mouseDown(const GUIPoint& point, bool doubleClick) {
    for (GUIComponent* child : children_) child->mouseDown(point, doubleClick);
}

void GUIPanel::mouseUp(const GUIPoint& point) {
    for (GUIComponent* child : children_) child->mouseUp(point);
}

void GUIPanel::mouseMove(const GUIPoint& point) {
    for (GUIComponent* child : children_) child->mouseMove(point);
}

void GUIPanel::mouseWheel(const GUIPoint& point, int notches) {
    for (GUIComponent* child : children_) child->mouseWheel(point, notches);
}

void GUIPanel::mouseLeave() {
    for (GUIComponent* child : children_) child->mouseLeave();
}
