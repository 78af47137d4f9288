#include "app/skin/SkinFont.h"

#include "app/skin/SkinPainter.h"

#include <ft2build.h>
#include FT_FREETYPE_H

#include <algorithm>
#include <cmath>
#include <stdexcept>

struct SkinFont::Face {
    FT_Library library = nullptr;
    FT_Face face = nullptr;
    ~Face() {
        if (face) FT_Done_Face(face);
        if (library) FT_Done_FreeType(library);
    }
};

SkinFont::SkinFont(const std::string& path, int pixelSize) : face_(std::make_unique<Face>()), pixelSize_(pixelSize) {
    if (FT_Init_FreeType(&face_->library) != 0) throw std::runtime_error("FreeType does not start");
    if (FT_New_Face(face_->library, path.c_str(), 0, &face_->face) != 0) {
        throw std::runtime_error("Cannot read the font " + path);
    }
    if (FT_Set_Pixel_Sizes(face_->face, 0, static_cast<FT_UInt>(pixelSize)) != 0) {
        throw std::runtime_error("The font " + path + " has no size " + std::to_string(pixelSize));
    }
}

SkinFont::~SkinFont() = default;

SkinFont::Extent SkinFont::measure(const std::string& text) const {
    Extent extent;
    bool first = true;
    int pen = 0;
    for (unsigned char c : text) {
        if (FT_Load_Char(face_->face, c, FT_LOAD_RENDER) != 0) continue;
        const FT_GlyphSlot glyph = face_->face->glyph;
        if (glyph->bitmap.width > 0 && glyph->bitmap.rows > 0) {
            const int left = pen + glyph->bitmap_left;
            const int top = -glyph->bitmap_top;
            const int right = left + static_cast<int>(glyph->bitmap.width);
            const int bottom = top + static_cast<int>(glyph->bitmap.rows);
            if (first) {
                extent.left = left;
                extent.top = top;
                extent.right = right;
                extent.bottom = bottom;
                first = false;
            } else {
                extent.left = std::min(extent.left, left);
                extent.top = std::min(extent.top, top);
                extent.right = std::max(extent.right, right);
                extent.bottom = std::max(extent.bottom, bottom);
            }
        }
        pen += static_cast<int>(glyph->advance.x >> 6);
    }
    extent.advance = pen;
    return extent;
}

void SkinFont::draw(SkinPainter& painter, const std::string& text, int x, int baseline, Color colour) const {
    int pen = x;
    for (unsigned char c : text) {
        if (FT_Load_Char(face_->face, c, FT_LOAD_RENDER) != 0) continue;
        const FT_GlyphSlot glyph = face_->face->glyph;
        const FT_Bitmap& bitmap = glyph->bitmap;
        for (unsigned row = 0; row < bitmap.rows; ++row) {
            for (unsigned column = 0; column < bitmap.width; ++column) {
                const int value = bitmap.buffer[static_cast<int>(row) * bitmap.pitch + static_cast<int>(column)];
                if (value == 0) continue;
                painter.blend(pen + glyph->bitmap_left + static_cast<int>(column),
                              baseline - glyph->bitmap_top + static_cast<int>(row), colour,
                              static_cast<float>(value) / 255.0f);
            }
        }
        pen += static_cast<int>(glyph->advance.x >> 6);
    }
}

void SkinFont::drawCentred(SkinPainter& painter, const std::string& text, float cx, float cy, Color colour) const {
    const Extent extent = measure(text);
    const float width = static_cast<float>(extent.right - extent.left);
    const float height = static_cast<float>(extent.bottom - extent.top);
    const int x = static_cast<int>(std::lround(cx - width / 2)) - extent.left;
    const int baseline = static_cast<int>(std::lround(cy - height / 2)) - extent.top;
    draw(painter, text, x, baseline, colour);
}
