// A lamp: the on image (key + "On") when enabled and on, the off image
// (key + "Off") when enabled and off, the disabled image (key + "Disabled")
// when not enabled, which a new indicator is. User-interface thread only.
#ifndef VELKARN_FRAMEWORK_GUIINDICATOR_H
#define VELKARN_FRAMEWORK_GUIINDICATOR_H

#include "framework/GUIComponent.h"

#include <memory>
#include <string>

class Image;

class GUIIndicator : public GUIComponent {
public:
    // The rectangle is (x, y) and the on image's size; the others differing
    // from it stop the program with "Dimensions of Indicator images don't
    // match.".
    GUIIndicator(int x, int y, const std::string& imageKey);
    ~GUIIndicator() override;

    // Disabling keeps the stored on flag (a later enable without it shows
    // the given one). Redraws only when a flag changed.
    void setState(bool enabled, bool on);
    bool isEnabled() const { return enabled_; }
    bool isOn() const { return on_; }

    void draw(const GUIRectangle& clip) override;

private:
    std::unique_ptr<Image> onImage_;
    std::unique_ptr<Image> offImage_;
    std::unique_ptr<Image> disabledImage_;
    bool enabled_ = false;
    bool on_ = false;
};

#endif
