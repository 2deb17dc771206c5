#include "uiframework/image_cache.h"

#include <cstring>

#include "utils/trace_log.h"

namespace Ui {

namespace {

struct PngReader {
    std::string_view data;
    size_t offset = 0;
};

cairo_status_t ReadPngChunk(void* closure, unsigned char* out, unsigned int length) {
    auto* reader = static_cast<PngReader*>(closure);
    if (reader->data.size() - reader->offset < length)
        return CAIRO_STATUS_READ_ERROR;
    std::memcpy(out, reader->data.data() + reader->offset, length);
    reader->offset += length;
    return CAIRO_STATUS_SUCCESS;
}

}  // namespace

std::shared_ptr<Image> DecodePng(std::string_view bytes) {
    static const unsigned char kSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    if (bytes.size() < 8 || std::memcmp(bytes.data(), kSignature, 8) != 0)
        return nullptr;
    PngReader reader{bytes, 0};
    cairo_surface_t* s = cairo_image_surface_create_from_png_stream(ReadPngChunk, &reader);
    if (cairo_surface_status(s) != CAIRO_STATUS_SUCCESS) {
        cairo_surface_destroy(s);
        return nullptr;
    }
    // Draw everything from ARGB32 so masks and pixel access see one format.
    if (cairo_image_surface_get_format(s) != CAIRO_FORMAT_ARGB32) {
        int w = cairo_image_surface_get_width(s), h = cairo_image_surface_get_height(s);
        cairo_surface_t* argb = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, w, h);
        cairo_t* cr = cairo_create(argb);
        cairo_set_source_surface(cr, s, 0, 0);
        cairo_paint(cr);
        cairo_destroy(cr);
        cairo_surface_destroy(s);
        s = argb;
    }
    return std::make_shared<Image>(s);
}

void ApplyMask(Image& image, uint32_t rgb) {
    cairo_surface_t* s = image.Surface();
    cairo_surface_flush(s);
    unsigned char* data = cairo_image_surface_get_data(s);
    int stride = cairo_image_surface_get_stride(s);
    for (int y = 0; y < image.Height(); ++y) {
        auto* row = reinterpret_cast<uint32_t*>(data + y * stride);
        for (int x = 0; x < image.Width(); ++x) {
            // Premultiplied: an opaque pixel's colour bits are its colour.
            if ((row[x] >> 24) == 0xFF && (row[x] & 0x00FFFFFFu) == (rgb & 0x00FFFFFFu)) {
                row[x] = 0;
            }
        }
    }
    cairo_surface_mark_dirty(s);
}

std::shared_ptr<Image> ImageCache::Get(ResourceSource& source, std::wstring_view name, bool hasMask,
                                       uint32_t mask) {
    std::wstring key = NormalizeResourceName(name);
    for (wchar_t& c : key) {
        if (c >= L'A' && c <= L'Z')
            c = static_cast<wchar_t>(c - L'A' + L'a');
    }
    if (hasMask) {
        wchar_t buf[16];
        swprintf(buf, 16, L"|%06X", mask & 0xFFFFFFu);
        key += buf;
    }
    auto it = images_.find(key);
    if (it != images_.end())
        return it->second;
    std::shared_ptr<Image> image;
    std::string bytes;
    if (!source.Read(name, bytes)) {
        TRACE(L"image %ls not found in %ls", std::wstring(name).c_str(), source.Describe().c_str());
    } else {
        image = DecodePng(bytes);
        if (!image) {
            TRACE(L"image %ls is not a readable PNG (%zu bytes)", std::wstring(name).c_str(),
                  bytes.size());
        } else if (hasMask) {
            ApplyMask(*image, mask);
        }
    }
    images_.emplace(key, image);
    return image;
}

}  // namespace Ui
