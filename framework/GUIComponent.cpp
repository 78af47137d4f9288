#include "framework/GUIComponent.h"

#include "framework/Window.h"

void GUIComponent::show() {
    visible_ = true;
    redraw();
}

void GUIComponent::hide() {
    visible_ = false;
    redraw();
}

void GUIComponent::redraw() { redraw(*this); }

void GUIComponent::redraw(const GUIRectangle& area) {
    if (window_ != nullptr) window_->redraw(area);
}
