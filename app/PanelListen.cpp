#include "app/PanelListen.h"

#include "app/ApplicationInterface.h"
#include "framework/GUIButton.h"
#include "framework/GUIPanelGroup.h"
#include "framework/GUISliderHorizontal.h"
#include "framework/GUISliderVertical.h"

PanelListen::PanelListen(GUIPanelGroup* group, ApplicationInterface* application)
    : GUIPanel(830, 10, "velkarn/panelGroup/listen", true),
      application_(application),
      stop_(new GUIButton(912, 25, "velkarn/button/listen/stop", this, GUIButton::momentary, false)),
      horizontal_(new GUISliderHorizontal(905, 82, 76, 26, "slider/round20", 0.5f, 0.0f, 1.0f, true, this)),
      vertical_(new GUISliderVertical(950, 128, 26, 106, "slider/round20", 0.9f, 0.0f, 1.0f, true, this)) {
    add(stop_);
    add(horizontal_);
    add(vertical_);
    group->add(this);
}

void PanelListen::listenGains(float& first, float& second) const {
    const float h = horizontalValue_.load(std::memory_order_relaxed);
    const float v = verticalValue_.load(std::memory_order_relaxed);
    first = v * (1.0f - h);
    second = v * h;
}

void PanelListen::setSliders(float horizontal, float vertical) {
    horizontal_->setValue(horizontal);
    vertical_->setValue(vertical);
    refresh();
}

void PanelListen::refresh() {
    horizontal_->notifyListener();
    vertical_->notifyListener();
}

void PanelListen::buttonPressed(GUIButton* button) {
    if (button == stop_) application_->stopSecondRenderers();
}

void PanelListen::sliderChanged(GUISlider* slider, float value) {
    if (slider == horizontal_) horizontalValue_.store(value, std::memory_order_relaxed);
    if (slider == vertical_) verticalValue_.store(value, std::memory_order_relaxed);
}
