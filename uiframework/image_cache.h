// Internal: decoded images by resource name, shared by all windows of the runtime.
#pragma once

#include <cairo.h>

#include <map>
#include <memory>
#include <string>
#include <string_view>

#include "uiframework/resource_source.h"

namespace Ui {

/// Owns one decoded image (ARGB32, premultiplied).
class Image {
public:
    explicit Image(cairo_surface_t* s) : surface_(s) {}
    ~Image() { cairo_surface_destroy(surface_); }
    Image(const Image&) = delete;
    Image& operator=(const Image&) = delete;
    cairo_surface_t* Surface() const { return surface_; }
    int Width() const { return cairo_image_surface_get_width(surface_); }
    int Height() const { return cairo_image_surface_get_height(surface_); }

private:
    cairo_surface_t* surface_;
};

/// Decodes PNG bytes through cairo; null (traced by the caller) when they are not a PNG.
std::shared_ptr<Image> DecodePng(std::string_view bytes);

/// Makes every opaque pixel of colour `rgb` (0xRRGGBB) fully transparent.
void ApplyMask(Image& image, uint32_t rgb);

class ImageCache {
public:
    /// The image `name` (mask applied when `hasMask`), decoded once; null when the source
    /// has no such resource or it does not decode (also remembered).
    std::shared_ptr<Image> Get(ResourceSource& source, std::wstring_view name, bool hasMask,
                               uint32_t mask);
    void Clear() { images_.clear(); }
    size_t Size() const { return images_.size(); }

private:
    std::map<std::wstring, std::shared_ptr<Image>> images_;
};

}  // namespace Ui
