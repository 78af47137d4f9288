// One archive image that can be unloaded and loaded again (while unloaded
// the panel below shows through). It draws whether hidden or not.
// User-interface thread only.
#ifndef VELKARN_FRAMEWORK_GUIIMAGE_H
#define VELKARN_FRAMEWORK_GUIIMAGE_H

#include "framework/GUIComponent.h"

#include <memory>
#include <string>

class Image;

class GUIImage : public GUIComponent {
public:
    static constexpr std::size_t maximumKeyLength = 511;

    // Keeps the key (its first 511 characters), loads the image and takes
    // its size at (x, y).
    GUIImage(int x, int y, const std::string& imageKey);
    ~GUIImage() override;

    // Each redraws only when it changes something.
    void load();
    void unload();
    bool isLoaded() const { return image_ != nullptr; }

    void draw(const GUIRectangle& clip) override;

private:
    std::string imageKey_;
    std::unique_ptr<Image> image_;
};

#endif
