#include "tools/panel-art/Png.h"

#include <cstring>

#include <csetjmp>
#include <cstdio>
#include <png.h>

namespace panelart {

Rgba fromCairo(const unsigned char* data, int width, int height, int stride) {
    Rgba out;
    out.width = width;
    out.height = height;
    out.pixels.resize(std::size_t(width) * height * 4);
    for (int y = 0; y < height; ++y) {
        const auto* row = reinterpret_cast<const std::uint32_t*>(data + std::size_t(y) * stride);
        for (int x = 0; x < width; ++x) {
            const std::uint32_t p = row[x];
            const unsigned a = p >> 24;
            unsigned rgb[3] = {(p >> 16) & 0xff, (p >> 8) & 0xff, p & 0xff};
            std::uint8_t* o = &out.pixels[(std::size_t(y) * width + x) * 4];
            for (int c = 0; c < 3; ++c)
                o[c] = a == 0 ? 0 : std::uint8_t((rgb[c] * 255 + a / 2) / a);
            o[3] = std::uint8_t(a);
        }
    }
    return out;
}

namespace {

// The part libpng may jump back into on an error: it owns nothing with a destructor, so the
// jump skips none, and no local can be clobbered by it.
bool writeRows(std::FILE* f, const Rgba& image, bool withAlpha, std::uint8_t* row) {
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png ? png_create_info_struct(png) : nullptr;
    if (!info || setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        return false;
    }
    png_init_io(png, f);
    png_set_compression_level(png, 9);
    png_set_filter(png, 0, PNG_ALL_FILTERS);
    png_set_IHDR(png, info, png_uint_32(image.width), png_uint_32(image.height), 8,
                 withAlpha ? PNG_COLOR_TYPE_RGBA : PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    for (int y = 0; y < image.height; ++y) {
        const std::uint8_t* src = &image.pixels[std::size_t(y) * image.width * 4];
        if (withAlpha) {
            std::memcpy(row, src, std::size_t(image.width) * 4);
        } else {
            for (int x = 0; x < image.width; ++x)
                for (int c = 0; c < 3; ++c) row[std::size_t(x) * 3 + c] = src[x * 4 + c];
        }
        png_write_row(png, row);
    }
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    return true;
}

} // namespace

bool writePng(const std::string& path, const Rgba& image, bool withAlpha) {
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) return false;
    std::vector<std::uint8_t> row(std::size_t(image.width) * 4);
    const bool written = writeRows(f, image, withAlpha, row.data());
    const bool closed = std::fclose(f) == 0;
    return written && closed;
}

bool readPng(const std::string& path, Rgba& image, bool& hadAlpha) {
    FILE* f = std::fopen(path.c_str(), "rb");
    if (!f) return false;
    png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png ? png_create_info_struct(png) : nullptr;
    if (!info || setjmp(png_jmpbuf(png))) {
        png_destroy_read_struct(&png, &info, nullptr);
        std::fclose(f);
        return false;
    }
    png_init_io(png, f);
    png_read_info(png, info);
    const int colourType = png_get_color_type(png, info);
    hadAlpha = (colourType & PNG_COLOR_MASK_ALPHA) != 0 || png_get_valid(png, info, PNG_INFO_tRNS);
    png_set_expand(png);
    png_set_strip_16(png);
    png_set_gray_to_rgb(png);
    png_set_filler(png, 0xff, PNG_FILLER_AFTER);
    png_read_update_info(png, info);
    image.width = int(png_get_image_width(png, info));
    image.height = int(png_get_image_height(png, info));
    image.pixels.assign(std::size_t(image.width) * image.height * 4, 0); // before: see above
    for (int y = 0; y < image.height; ++y)
        png_read_row(png, &image.pixels[std::size_t(y) * image.width * 4], nullptr);
    png_read_end(png, nullptr);
    png_destroy_read_struct(&png, &info, nullptr);
    std::fclose(f);
    return true;
}

} // namespace panelart
