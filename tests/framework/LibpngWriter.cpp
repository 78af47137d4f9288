#include "LibpngWriter.h"

#include <png.h>

#include <csetjmp>
#include <cstdio>

bool writeWithLibpng(const std::string& path, int width, int height, int channels,
                     const std::vector<std::uint8_t>& pixels, int filterType) {
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (file == nullptr) return false;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png != nullptr ? png_create_info_struct(png) : nullptr;
    bool ok = false;
    if (info != nullptr && setjmp(png_jmpbuf(png)) == 0) {
        png_init_io(png, file);
        png_set_IHDR(png, info, static_cast<png_uint_32>(width), static_cast<png_uint_32>(height), 8,
                     channels == 4 ? PNG_COLOR_TYPE_RGB_ALPHA : PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE,
                     PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
        // libpng takes a mask of allowed filters (PNG_FILTER_NONE is bit 3);
        // a single bit forces that filter on every row.
        png_set_filter(png, PNG_FILTER_TYPE_BASE, PNG_FILTER_NONE << filterType);
        png_write_info(png, info);
        const std::size_t rowBytes = static_cast<std::size_t>(width) * static_cast<std::size_t>(channels);
        for (int y = 0; y < height; ++y) {
            png_write_row(png, const_cast<png_bytep>(pixels.data() + static_cast<std::size_t>(y) * rowBytes));
        }
        png_write_end(png, info);
        ok = true;
    }
    png_destroy_write_struct(&png, &info);
    return std::fclose(file) == 0 && ok;
}
