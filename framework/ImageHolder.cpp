#include "framework/ImageHolder.h"

ImageHolder::ImageHolder(const std::string& key) : image_(std::make_unique<Image>(key, false)) {}

ImageHolder::~ImageHolder() = default;
