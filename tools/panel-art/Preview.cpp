// A picture of the panel as the editor will show it: the background with every control's
// image placed by the same rules the widgets use, at varied values, and a few keys lit.
// For looking at the art, not a test of the widgets.
#include "tools/panel-art/Preview.h"

#include "gui/PanelLayout.h"
#include "tools/panel-art/Art.h"

#include <cairo.h>
#include <cmath>
#include <map>
#include <string>

namespace panelart {

namespace {

using namespace moraine::gui;

struct Images {
    std::map<std::string, cairo_surface_t*> byName;
    ~Images() {
        for (auto& [name, s] : byName) cairo_surface_destroy(s);
    }
    cairo_surface_t* get(const char* name) const {
        auto it = byName.find(name ? name : "");
        return it == byName.end() ? nullptr : it->second;
    }
};

// Copies the image's (sx, sy, w, h) to (dx, dy) at 1:1, or scales the whole image into the
// destination when `scale` is set.
void blit(cairo_t* cr, cairo_surface_t* s, double dx, double dy, double w, double h, double sx,
          double sy, bool scale = false) {
    if (!s) return;
    cairo_save(cr);
    cairo_rectangle(cr, dx, dy, w, h);
    cairo_clip(cr);
    if (scale) {
        cairo_translate(cr, dx, dy);
        cairo_scale(cr, w / cairo_image_surface_get_width(s),
                    h / cairo_image_surface_get_height(s));
        cairo_set_source_surface(cr, s, 0, 0);
    } else {
        cairo_set_source_surface(cr, s, dx - sx, dy - sy);
    }
    cairo_paint(cr);
    cairo_restore(cr);
}

void strip(cairo_t* cr, cairo_surface_t* s, const PanelRect& d, int frames, int frame) {
    if (!s) return;
    const int fh = cairo_image_surface_get_height(s) / frames;
    const int iw = cairo_image_surface_get_width(s);
    cairo_save(cr);
    cairo_rectangle(cr, d.x, d.y, d.w, d.h);
    cairo_clip(cr);
    cairo_translate(cr, d.x, d.y);
    cairo_scale(cr, double(d.w) / iw, double(d.h) / fh);
    cairo_set_source_surface(cr, s, 0, -frame * fh);
    cairo_paint(cr);
    cairo_restore(cr);
}

void handle(cairo_t* cr, cairo_surface_t* s, const PanelRect& r, double v, bool vertical) {
    if (!s) return;
    const int iw = cairo_image_surface_get_width(s), ih = cairo_image_surface_get_height(s);
    if (vertical) {
        const int h = ih * r.w / iw;
        const int y = r.y + int((1 - v) * r.h) - h / 2;
        blit(cr, s, r.x, y, r.w, h, 0, 0);
    } else {
        const int w = iw * r.h / ih;
        const int x = r.x + int(r.w * v) - w / 2;
        blit(cr, s, x, r.y, w, r.h, 0, 0);
    }
}

} // namespace

void renderPreview(cairo_t* cr, const std::vector<ImageSpec>& all,
                   const std::function<cairo_surface_t*(const ImageSpec&)>& draw) {
    Images images;
    for (const ImageSpec& spec : all) images.byName[spec.name] = draw(spec);
    blit(cr, images.get(kBackgroundImage), 0, 0, kPanelWidth, kPanelHeight, 0, 0);
    int i = 0;
    for (const PanelControl& c : panelControls()) {
        const double v = std::fmod(0.13 + i++ * 0.37, 1.0);
        const PanelRect a = c.active();
        cairo_surface_t* img = images.get(c.image);
        switch (c.widget) {
        case PanelWidget::Slider:
            handle(cr, img, a, v, c.orientation == Orientation::Vertical);
            break;
        case PanelWidget::Button:
            if (c.action == PanelAction::Parameter && c.frames == 1)
                handle(cr, img, a, v > 0.5 ? 1 : 0, c.orientation == Orientation::Vertical);
            else if (c.buttonMode == ButtonMode::Toggle)
                strip(cr, img, a, c.frames, v > 0.5);
            else
                strip(cr, img, c.frame, c.frames, c.frames - 1);
            break;
        case PanelWidget::Knob:
            if (c.knobMode == 1) {
                strip(cr, img, c.frame, 1, 0);
                const double hw = c.frame.w / 2, hh = c.frame.h / 2;
                const double cx = c.frame.x + hw, cy = c.frame.y + hh;
                const double start = c.knobStart * -2 * M_PI;
                const double end = c.knobSweep * 2 * M_PI + start;
                const double ang = v * end - start + M_PI;
                const double r1 = hh - 2, r2 = hh - 5;
                cairo_set_source_rgb(cr, 200 / 255.0, 200 / 255.0, 200 / 255.0);
                cairo_set_line_width(cr, 3);
                cairo_move_to(cr, cx - std::sin(ang) * r2, cy + std::cos(ang) * r2);
                cairo_line_to(cr, cx - std::sin(ang) * r1, cy + std::cos(ang) * r1);
                cairo_stroke(cr);
            } else {
                strip(cr, img, a, c.frames, int(v * c.frames) % c.frames);
            }
            break;
        case PanelWidget::Meter:
            if (c.meterStyle == 3) {
                strip(cr, img, c.frame, 2, 1);
            } else {
                blit(cr, images.get(c.backImage), c.frame.x, c.frame.y, c.frame.w, c.frame.h, 0, 0,
                     true);
                cairo_save(cr);
                cairo_rectangle(cr, c.frame.x, c.frame.y, int(c.frame.w * 0.7), c.frame.h);
                cairo_clip(cr);
                blit(cr, img, c.frame.x, c.frame.y, c.frame.w, c.frame.h, 0, 0, true);
                cairo_restore(cr);
            }
            break;
        case PanelWidget::NotesArea:
            strip(cr, img, c.frame, 1, 0);
            break;
        case PanelWidget::Keyboard: {
            // Light C, C#, E, F#, B and the top note with the keyboard's own rectangles.
            const double kw = double(c.frame.w) / (c.keyHighest - c.keyLowest);
            const int notes[] = {48, 49, 52, 54, 59, 60, 63, 65, 70, 96};
            cairo_set_source_rgb(cr, 204 / 255.0, 51 / 255.0, 51 / 255.0);
            for (int n : notes) {
                const int x = int((n - c.keyLowest) * kw + c.frame.x);
                const int top = c.frame.y, mid = top + 66, low = top + c.frame.h - 10;
                const bool last = n == c.keyHighest;
                int ul = 0, ur = 15, ll = 0, lr = 0;
                switch (n % 12) {
                case 0:
                    ur = last ? 20 : 15, lr = 20;
                    break;
                case 2:
                    ll = -4, lr = 18;
                    break;
                case 4:
                    ul = 2, ll = -6, lr = 15;
                    break;
                case 5:
                    ur = last ? 22 : 15, lr = 22;
                    break;
                case 7:
                    ll = -3, lr = 19;
                    break;
                case 9:
                    ll = -6, lr = 16;
                    break;
                case 11:
                    ur = 13, ll = -8, lr = 13;
                    break;
                default:
                    break;
                }
                cairo_rectangle(cr, x + ul, top, ur - ul, mid - top);
                if (lr > ll) cairo_rectangle(cr, x + ll, mid, lr - ll, low - mid);
            }
            cairo_fill(cr);
            break;
        }
        case PanelWidget::Jack:
            if (i % 5 == 0) strip(cr, images.get("cableend.png"), c.frame, 1, 0);
            break;
        default:
            break;
        }
    }
}

} // namespace panelart
