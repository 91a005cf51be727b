// PNG decoding with libpng from the embedded bytes, and the image kinds' drawing.
#include "gui/Images.h"

#include "platform/Resources.h"

#include <cairo.h>
#include <png.h>

#include <algorithm>
#include <cctype>
#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <map>
#include <mutex>

namespace moraine::gui {

DecodedImage::~DecodedImage() {
    if (surface) cairo_surface_destroy(surface);
}

std::uint32_t premultiply(std::uint8_t r, std::uint8_t g, std::uint8_t b, std::uint8_t a) {
    if (a == 0) return 0;
    const auto mul = [a](std::uint8_t c) { return std::uint32_t((unsigned(c) * a) >> 8); };
    return (std::uint32_t(a) << 24) | (mul(r) << 16) | (mul(g) << 8) | mul(b);
}

namespace {

struct ReadCursor {
    const unsigned char* data;
    std::size_t size;
    std::size_t offset;
};

void readFromMemory(png_structp png, png_bytep out, png_size_t count) {
    auto* cursor = static_cast<ReadCursor*>(png_get_io_ptr(png));
    if (count > cursor->size - cursor->offset) png_error(png, "read past the end");
    std::memcpy(out, cursor->data + cursor->offset, count);
    cursor->offset += count;
}

// libpng reports through these; decoding errors end the decode without a message.
void quietError(png_structp png, png_const_charp) { png_longjmp(png, 1); }
void quietWarning(png_structp, png_const_charp) {}

void wrapSurface(DecodedImage& image) {
    image.surface = cairo_image_surface_create_for_data(
        reinterpret_cast<unsigned char*>(image.pixels.data()), CAIRO_FORMAT_ARGB32, image.width,
        image.height, image.width * 4);
}

// The decode proper; kept apart so nothing with a destructor lives across setjmp.
bool decodeInto(const ReadCursor& start, DecodedImage& image) {
    ReadCursor cursor = start;
    png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, quietError,
                                             quietWarning);
    if (!png) return false;
    png_infop info = png_create_info_struct(png);
    if (!info) {
        png_destroy_read_struct(&png, nullptr, nullptr);
        return false;
    }
    // Rows read so far stay in `image`; `bitmapMade` tells the caller whether there is one.
    static thread_local bool bitmapMade;
    bitmapMade = false;
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_read_struct(&png, &info, nullptr);
        return bitmapMade;
    }
    png_set_read_fn(png, &cursor, readFromMemory);
    png_read_info(png, info);
    png_uint_32 width = 0, height = 0;
    int depth = 0, colour = 0;
    png_get_IHDR(png, info, &width, &height, &depth, &colour, nullptr, nullptr, nullptr);
    if (width == 0 || height == 0 || width > 8192 || height > 8192) png_error(png, "size");
    if (colour == PNG_COLOR_TYPE_PALETTE) png_set_palette_to_rgb(png);
    if (colour == PNG_COLOR_TYPE_GRAY && depth < 8) png_set_expand_gray_1_2_4_to_8(png);
    if (colour == PNG_COLOR_TYPE_GRAY || colour == PNG_COLOR_TYPE_GRAY_ALPHA)
        png_set_gray_to_rgb(png);
    if (png_get_valid(png, info, PNG_INFO_tRNS))
        png_set_tRNS_to_alpha(png);
    else if (!(colour & PNG_COLOR_MASK_ALPHA))
        png_set_filler(png, 0xFF, PNG_FILLER_AFTER);
    if (depth == 16) png_set_strip_16(png);
    png_set_interlace_handling(png);
    png_read_update_info(png, info);
    if (png_get_rowbytes(png, info) != width * 4) png_error(png, "layout");

    image.width = int(width);
    image.height = int(height);
    image.pixels.assign(std::size_t(width) * height, 0);
    bitmapMade = true;
    // R, G, B, A bytes in each row: read in place, then turned into pre-multiplied words.
    for (png_uint_32 y = 0; y < height; ++y)
        png_read_row(png, reinterpret_cast<png_bytep>(&image.pixels[std::size_t(y) * width]),
                     nullptr);
    png_read_end(png, nullptr);
    png_destroy_read_struct(&png, &info, nullptr);
    return true;
}

void premultiplyAll(DecodedImage& image) {
    for (std::uint32_t& p : image.pixels) {
        const auto* b = reinterpret_cast<const std::uint8_t*>(&p);
        p = premultiply(b[0], b[1], b[2], b[3]);
    }
}

std::string lowerCase(const char* name) {
    std::string s(name ? name : "");
    for (char& c : s) c = char(std::tolower(static_cast<unsigned char>(c)));
    return s;
}

std::string_view findResourceIgnoringCase(const char* name) {
    std::string_view bytes = findResource(name);
    if (!bytes.empty()) return bytes;
    // The panel asks in mixed case; the stored name may differ in case.
    const PanelImage* known = findPanelImage(name);
    if (known && std::strcmp(known->name, name) != 0) bytes = findResource(known->name);
    if (bytes.empty()) bytes = findResource(lowerCase(name));
    return bytes;
}

} // namespace

std::unique_ptr<DecodedImage> decodePng(std::string_view bytes) {
    if (bytes.size() < 8 || png_sig_cmp(reinterpret_cast<png_const_bytep>(bytes.data()), 0, 8))
        return nullptr;
    auto image = std::make_unique<DecodedImage>();
    const ReadCursor cursor{reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size(), 0};
    if (!decodeInto(cursor, *image)) return nullptr;
    premultiplyAll(*image);
    wrapSurface(*image);
    return image;
}

std::shared_ptr<const DecodedImage> loadPanelImage(const char* name,
                                                   const ImageFailureReporter& report) {
    static std::mutex mutex;
    static std::map<std::string, std::shared_ptr<const DecodedImage>> cache;
    const std::string key = lowerCase(name);
    bool failed = false;
    std::shared_ptr<const DecodedImage> result;
    {
        std::lock_guard<std::mutex> lock(mutex);
        auto found = cache.find(key);
        if (found != cache.end()) return found->second;
        const std::string_view bytes = findResourceIgnoringCase(name);
        result = bytes.empty() ? nullptr : std::shared_ptr<const DecodedImage>(decodePng(bytes));
        failed = bytes.empty();
        // Kept for the life of the process: instances share it, and a missing image is
        // reported once.
        cache.emplace(key, result);
    }
    if (failed) {
        char text[300];
        std::snprintf(text, sizeof text, "fail to load image=%s\n", name ? name : "");
        std::printf("%s", text);
        if (report) report(text);
    }
    return result;
}

bool writePng(const std::string& path, const std::uint32_t* pixels, int width, int height,
              int stride) {
    cairo_surface_t* s = cairo_image_surface_create_for_data(
        reinterpret_cast<unsigned char*>(const_cast<std::uint32_t*>(pixels)), CAIRO_FORMAT_RGB24,
        width, height, stride);
    const bool ok = cairo_surface_write_to_png(s, path.c_str()) == CAIRO_STATUS_SUCCESS;
    cairo_surface_destroy(s);
    return ok;
}

void blit(cairo_t* cr, const DecodedImage& image, const PanelRect& dst, const PanelRect& src,
          int alpha) {
    if (!image.surface || dst.empty() || src.empty()) return;
    cairo_save(cr);
    cairo_rectangle(cr, dst.x, dst.y, dst.w, dst.h);
    cairo_clip(cr);
    cairo_translate(cr, dst.x, dst.y);
    const bool scaled = dst.w != src.w || dst.h != src.h;
    if (scaled) cairo_scale(cr, double(dst.w) / src.w, double(dst.h) / src.h);
    cairo_set_source_surface(cr, image.surface, -src.x, -src.y);
    cairo_pattern_set_filter(cairo_get_source(cr),
                             scaled ? CAIRO_FILTER_BILINEAR : CAIRO_FILTER_NEAREST);
    cairo_set_operator(cr, CAIRO_OPERATOR_OVER);
    if (alpha >= 255)
        cairo_paint(cr);
    else
        cairo_paint_with_alpha(cr, std::max(0, alpha) / 255.0);
    cairo_restore(cr);
}

// ---------------------------------------------------------------- image kinds

CAUGuiGraphic::CAUGuiGraphic(const char* name, int frames, const ImageFailureReporter& report)
    : name_(name ? name : ""), frames_(frames < 2 ? 1 : frames),
      image_(loadPanelImage(name, report)) {}

int CAUGuiGraphic::frameFor(int frames, float v) {
    const int f = int((frames - 1) * v);
    return std::clamp(f, 0, std::max(0, frames - 1));
}

void CAUGuiGraphic::draw(cairo_t* cr, const PanelRect& dst, float v, int alpha) const {
    if (!image_) return;
    const int frame = frameFor(frames_, v);
    blit(cr, *image_, dst, {0, frame * frameHeight(), image_->width, frameHeight()}, alpha);
}

void CAUGuiGraphic::copyFrom(cairo_t* cr, const PanelRect& dst, int sx, int sy, int alpha) const {
    if (!image_) return;
    blit(cr, *image_, dst, {sx, sy, dst.w, dst.h}, alpha);
}

void CAUGuiGraphic::drawScaled(cairo_t* cr, const PanelRect& dst, int alpha) const {
    if (!image_) return;
    blit(cr, *image_, dst, {0, 0, image_->width, image_->height}, alpha);
}

CAUGuiHandleImage::CAUGuiHandleImage(const char* name, int xOffset, int yOffset,
                                     Orientation orientation, const ImageFailureReporter& report)
    : CAUGuiGraphic(name, 1, report), xOffset_(xOffset), yOffset_(yOffset),
      orientation_(orientation) {}

PanelRect CAUGuiHandleImage::handleRect(int iw, int ih, int xOffset, int yOffset, Orientation o,
                                        const PanelRect& r, float v) {
    PanelRect h;
    if (iw <= 0 || ih <= 0) return h;
    if (o == Orientation::Vertical) {
        h.w = r.w;
        h.h = ih * r.w / iw;
        h.x = r.x - xOffset;
        h.y = r.y + int((1.0f - v) * r.h) - yOffset - h.h / 2;
    } else {
        h.h = r.h;
        h.w = iw * r.h / ih;
        h.x = r.x + int(r.w * v) - h.w / 2 + xOffset;
        h.y = r.y - yOffset;
    }
    return h;
}

PanelRect CAUGuiHandleImage::handleRect(const PanelRect& track, float v) const {
    return handleRect(width(), height(), xOffset_, yOffset_, orientation_, track, v);
}

void CAUGuiHandleImage::draw(cairo_t* cr, const PanelRect& track, float v, int alpha) const {
    if (!image_) return;
    const PanelRect h = handleRect(track, v);
    // The handle is scaled to the track's thickness.
    blit(cr, *image_, h, {0, 0, image_->width, image_->height}, alpha);
}

CAUGuiCroppingImage::CAUGuiCroppingImage(const char* name, int xExtent, int yExtent, int sides,
                                         int mode, const ImageFailureReporter& report)
    : CAUGuiGraphic(name, 1, report), xExtent_(xExtent), yExtent_(yExtent),
      sides_(sides == 0 ? 2 : sides), mode_(mode) {}

PanelRect CAUGuiCroppingImage::revealRect(int iw, int ih, int xExtent, int yExtent, int sides,
                                          int mode, const PanelRect& d, float v) {
    PanelRect r = d;
    if (iw <= 0 || ih <= 0) return r;
    const float sx = float(d.w) / float(iw), sy = float(d.h) / float(ih);
    const float ex = (float(iw) / 2 + float(xExtent)) * sx;
    const float ey = (float(ih) / 2 + float(yExtent)) * sy;
    const float k = 1.0f - v;
    const auto cut = [&](float extent, int size) {
        if (mode == 2 && extent < float(size)) return int((float(size) - extent) * k);
        return int(extent * k);
    };
    if ((sides & 1) && ex > 0) {
        const int c = int(ex * k);
        r.x += c;
        r.w -= c;
    }
    if ((sides & 2) && ey > 0) {
        const int c = int(ey * k);
        r.y += c;
        r.h -= c;
    }
    if ((sides & 4) && ex > 0) r.w -= cut(ex, d.w);
    if ((sides & 8) && ey > 0) r.h -= cut(ey, d.h);
    r.w = std::max(0, r.w);
    r.h = std::max(0, r.h);
    return r;
}

void CAUGuiCroppingImage::draw(cairo_t* cr, const PanelRect& d, float v, int alpha) const {
    if (!image_ || d.empty()) return;
    if (mode_ == 1) {
        // The whole image slides instead of being cut.
        const float k = 1.0f - v;
        PanelRect moved = d;
        if (sides_ & 1) moved.x -= int(d.w * k);
        if (sides_ & 4) moved.x += int(d.w * k);
        if (sides_ & 2) moved.y += int(d.h * k);
        if (sides_ & 8) moved.y -= int(d.h * k);
        cairo_save(cr);
        cairo_rectangle(cr, d.x, d.y, d.w, d.h);
        cairo_clip(cr);
        blit(cr, *image_, moved, {0, 0, image_->width, image_->height}, alpha);
        cairo_restore(cr);
        return;
    }
    const PanelRect r =
        revealRect(image_->width, image_->height, xExtent_, yExtent_, sides_, mode_, d, v);
    if (r.empty()) return;
    const int sw = std::max(1, int(float(image_->width) * float(r.w) / float(d.w)));
    blit(cr, *image_, r, {0, 0, sw, image_->height}, alpha);
}

} // namespace moraine::gui
