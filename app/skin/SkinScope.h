// The scope's two windows: the rows of their images and the art of their
// backgrounds, panels and character images.
#ifndef VELKARN_APP_SKIN_SKINSCOPE_H
#define VELKARN_APP_SKIN_SKINSCOPE_H

#include "app/skin/SkinTable.h"

#include <vector>

// The scope's panel group and its rows, in table order.
SkinGroup skinScopeGroup();
std::vector<SkinRow> skinScopeRows();

#endif
