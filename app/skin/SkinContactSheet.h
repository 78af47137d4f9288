// The contact sheet of the skin: every image at 1x and 2x (nearest
// neighbour) on a checkerboard that shows its transparency, with its file
// name under it, in table order.
#ifndef VELKARN_APP_SKIN_SKINCONTACTSHEET_H
#define VELKARN_APP_SKIN_SKINCONTACTSHEET_H

#include "app/skin/SkinArt.h"

#include <memory>
#include <vector>

class Image;

std::unique_ptr<Image> makeContactSheet(const std::vector<SkinImage>& images, const SkinFont& font);

#endif
