// Owns one archive image: the hit-test masks of buttons, sliders, the
// marker map and the scrollbar (tested with Image::isTransparent).
#ifndef VELKARN_FRAMEWORK_IMAGEHOLDER_H
#define VELKARN_FRAMEWORK_IMAGEHOLDER_H

#include "framework/Image.h"

#include <memory>
#include <string>

class ImageHolder {
public:
    // Image(key, false); its texts are thrown on.
    explicit ImageHolder(const std::string& key);
    virtual ~ImageHolder();

    ImageHolder(const ImageHolder&) = delete;
    ImageHolder& operator=(const ImageHolder&) = delete;

    Image* image() const { return image_.get(); }

private:
    std::unique_ptr<Image> image_;
};

#endif
