// 8-bit PNG files for the art tool: cairo's premultiplied pixels out as straight RGBA or
// RGB, and back in for comparison.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace panelart {

// Straight-alpha RGBA pixels, row after row, 4 bytes a pixel.
struct Rgba {
    int width = 0, height = 0;
    std::vector<std::uint8_t> pixels;
};

// Unpremultiplies an ARGB32 cairo surface's data (native byte order) into RGBA.
Rgba fromCairo(const unsigned char* data, int width, int height, int stride);

// Writes `image` as an 8-bit PNG, RGBA, or RGB when `withAlpha` is false. No time or text
// chunks and fixed compression settings, so the same pixels give the same bytes.
bool writePng(const std::string& path, const Rgba& image, bool withAlpha);

// Reads any 8-bit PNG as RGBA (RGB gets alpha 255); false when the file cannot be read.
bool readPng(const std::string& path, Rgba& image, bool& hadAlpha);

} // namespace panelart
