// The panel's images: PNGs compiled into the plug-in, decoded once per process into
// pre-multiplied pixels that every editor shares, and the image kinds the controls draw
// with (frame strips, slider handles, revealed bars).
#pragma once

#include "gui/PanelLayout.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

typedef struct _cairo cairo_t;
typedef struct _cairo_surface cairo_surface_t;

namespace moraine::gui {

// Decoded pixels: 32 bits each, B, G, R, A in memory (cairo's native ARGB32 on a
// little-endian machine), colour already multiplied by alpha.
struct DecodedImage {
    int width = 0, height = 0;
    std::vector<std::uint32_t> pixels;
    cairo_surface_t* surface = nullptr; // wraps `pixels`, never written
    DecodedImage() = default;
    DecodedImage(const DecodedImage&) = delete;
    DecodedImage& operator=(const DecodedImage&) = delete;
    ~DecodedImage();
};

// One pixel's colour times its alpha, the way the blit expects it: (c × a) >> 8, and all
// zero when alpha is 0.
std::uint32_t premultiply(std::uint8_t r, std::uint8_t g, std::uint8_t b, std::uint8_t a);

// Decodes PNG bytes: palettes and grey become RGB, missing alpha becomes opaque, 16-bit
// channels become 8-bit. Null when the header cannot be read; a file damaged further on
// keeps what was decoded before the damage.
std::unique_ptr<DecodedImage> decodePng(std::string_view bytes);

// Where "fail to load image=%s\n" goes. Called at most once per image name per process.
using ImageFailureReporter = std::function<void(const std::string& text)>;

// The shared decoded image for a resource name (case-insensitive), decoding it on first
// use. Null when the resource is missing or unreadable; the failure is reported once.
std::shared_ptr<const DecodedImage> loadPanelImage(const char* name,
                                                   const ImageFailureReporter& report);

// Writes xRGB pixels (one word each, `stride` bytes a row) as an 8-bit RGB PNG.
bool writePng(const std::string& path, const std::uint32_t* pixels, int width, int height,
              int stride);

// Copies `src` (in image pixels) scaled onto `dst` with source-over and a constant alpha.
void blit(cairo_t* cr, const DecodedImage& image, const PanelRect& dst, const PanelRect& src,
          int alpha);

// CAUGuiGraphic: an image with its frames stacked vertically.
class CAUGuiGraphic {
public:
    CAUGuiGraphic(const char* name, int frames, const ImageFailureReporter& report);
    virtual ~CAUGuiGraphic() = default;
    bool hasBitmap() const { return image_ != nullptr; }
    int width() const { return image_ ? image_->width : 0; }
    int height() const { return image_ ? image_->height : 0; }
    int frameHeight() const { return image_ ? image_->height / frames_ : 0; }
    int frames() const { return frames_; }
    const std::string& name() const { return name_; }
    const DecodedImage* image() const { return image_.get(); }
    // Frame truncate((n − 1) × v) into `dst`.
    virtual void draw(cairo_t* cr, const PanelRect& dst, float v, int alpha = 255) const;
    // A destination-sized area from (sx, sy) of the image, unscaled.
    void copyFrom(cairo_t* cr, const PanelRect& dst, int sx, int sy, int alpha = 255) const;
    void drawScaled(cairo_t* cr, const PanelRect& dst, int alpha = 255) const;
    static int frameFor(int frames, float v);

protected:
    std::string name_;
    int frames_;
    std::shared_ptr<const DecodedImage> image_;
};

// CAUGuiHandleImage: a slider or switch handle placed along its track.
class CAUGuiHandleImage : public CAUGuiGraphic {
public:
    CAUGuiHandleImage(const char* name, int xOffset, int yOffset, Orientation orientation,
                      const ImageFailureReporter& report);
    PanelRect handleRect(const PanelRect& track, float v) const;
    void draw(cairo_t* cr, const PanelRect& track, float v, int alpha = 255) const override;
    // The rectangle for an image of this size, whether or not it loaded.
    static PanelRect handleRect(int imageWidth, int imageHeight, int xOffset, int yOffset,
                                Orientation orientation, const PanelRect& track, float v);

private:
    int xOffset_, yOffset_;
    Orientation orientation_;
};

// CAUGuiCroppingImage: a bar revealed from one side up to the value.
class CAUGuiCroppingImage : public CAUGuiGraphic {
public:
    CAUGuiCroppingImage(const char* name, int xExtent, int yExtent, int sides, int mode,
                        const ImageFailureReporter& report);
    void draw(cairo_t* cr, const PanelRect& dst, float v, int alpha = 255) const override;
    // The destination part that shows at value v (mode 0 and 2), in panel pixels.
    static PanelRect revealRect(int imageWidth, int imageHeight, int xExtent, int yExtent,
                                int sides, int mode, const PanelRect& dst, float v);

private:
    int xExtent_, yExtent_, sides_, mode_;
};

} // namespace moraine::gui
