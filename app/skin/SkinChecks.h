// The checks that fail the build when the skin would break the program's
// loaders or layout: images of one key with unequal sizes (the loaders stop
// the program), panels of one group with unequal sizes, a control outside
// the background or panel it lies on, and painted pixels where an image
// must stay transparent.
#ifndef VELKARN_APP_SKIN_SKINCHECKS_H
#define VELKARN_APP_SKIN_SKINCHECKS_H

#include "app/skin/SkinArt.h"
#include "app/skin/SkinTable.h"

#include <string>
#include <vector>

// Every problem found, one sentence each; empty when the skin is sound.
std::vector<std::string> checkSkin(const SkinTable& table, const std::vector<SkinImage>& images);

#endif
