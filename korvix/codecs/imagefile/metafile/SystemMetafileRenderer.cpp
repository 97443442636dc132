#include "SystemMetafileRenderer.h"

#include "codecs/CTextException.h"
#include "codecs/imagefile/MetafileSize.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <mutex>
#include <vector>

#include <cairo.h>
#include <emf2svg.h>
#include <librsvg/rsvg.h>
#include <libwmf/api.h>
#include <libwmf/gd.h>

namespace {

void fill(PixelBitmap& bitmap, std::uint32_t value)
{
    for (int y = 0; y < bitmap.height(); ++y)
        std::fill_n(reinterpret_cast<std::uint32_t*>(bitmap.row(y)), bitmap.width(), value);
}

// libwmf keeps process-wide state (fonts, the player's tables); one at a time.
std::mutex& wmfMutex()
{
    static std::mutex m;
    return m;
}

void renderWmf(const std::uint8_t* bytes, std::size_t size, const MetafileSize& px, PixelBitmap& bitmap)
{
    const std::lock_guard lock(wmfMutex());
    wmfAPI_Options options{};
    options.function = wmf_gd_function;
    wmfAPI* api = nullptr;
    const unsigned long flags = WMF_OPT_FUNCTION | WMF_OPT_IGNORE_NONFATAL | WMF_OPT_NO_ERROR;
    if (wmf_api_create(&api, flags, &options) != wmf_E_None || !api) {
        if (api)
            wmf_api_destroy(api);
        throw CTextException(10, "WMF: the renderer cannot start");
    }
    const std::unique_ptr<wmfAPI, decltype(&wmf_api_destroy)> guard(api, wmf_api_destroy);
    // libwmf reads through a non-const pointer but does not write.
    std::vector<unsigned char> copy(bytes, bytes + size);
    if (wmf_mem_open(api, copy.data(), static_cast<long>(copy.size())) != wmf_E_None)
        throw CTextException(1, "WMF: not a Windows metafile");
    wmfD_Rect box{};
    if (wmf_scan(api, 0, &box) != wmf_E_None)
        throw CTextException(1, "WMF: the metafile cannot be read");
    // The scan bounds only what is drawn; a placeable file's frame is its
    // bounding box, which libwmf measures in points from the window origin.
    if (api->File && api->File->placeable && api->File->pmh && api->File->pmh->Inch) {
        const wmfPlaceableMetaHeader& pmh = *api->File->pmh;
        box.TL.x = 0;
        box.TL.y = 0;
        box.BR.x = static_cast<float>((pmh.Right - pmh.Left) * 72.0 / pmh.Inch);
        box.BR.y = static_cast<float>((pmh.Bottom - pmh.Top) * 72.0 / pmh.Inch);
    }
    wmf_gd_t* device = WMF_GD_GetData(api);
    device->type = wmf_gd_image;
    device->bbox = box;
    device->width = static_cast<unsigned>(px.width);
    device->height = static_cast<unsigned>(px.height);
    if (wmf_play(api, 0, &box) != wmf_E_None || !device->gd_image)
        throw CTextException(1, "WMF: the metafile cannot be played");
    const int* pixels = wmf_gd_image_pixels(device->gd_image);
    if (!pixels)
        throw CTextException(1, "WMF: no image");
    // gd pixels are 0xAARRGGBB with a 7-bit alpha where 0 is opaque; the
    // drawing is composed over white.
    bitmap.create(px.width, px.height, 32, true);
    for (int y = 0; y < px.height; ++y) {
        auto* out = reinterpret_cast<std::uint32_t*>(bitmap.row(y));
        const int* in = pixels + static_cast<std::size_t>(y) * static_cast<std::size_t>(px.width);
        for (int x = 0; x < px.width; ++x) {
            const std::uint32_t v = static_cast<std::uint32_t>(in[x]);
            const std::uint32_t cover = 127 - ((v >> 24) & 0x7F);
            const auto over = [cover](std::uint32_t c) { return (c * cover + 255 * (127 - cover) + 63) / 127; };
            out[x] = 0xFF000000u | over((v >> 16) & 0xFF) << 16 | over((v >> 8) & 0xFF) << 8 | over(v & 0xFF);
        }
    }
}

void renderEmf(const std::uint8_t* bytes, std::size_t size, const MetafileSize& px, PixelBitmap& bitmap)
{
    generatorOptions options{};
    char nameSpace[] = "svg";
    options.nameSpace = nameSpace;
    options.emfplus = true;
    options.svgDelimiter = true;
    options.imgWidth = px.width;
    options.imgHeight = px.height;
    std::vector<char> copy(bytes, bytes + size);
    char* svg = nullptr;
    std::size_t svgLength = 0;
    const int ok = emf2svg(copy.data(), copy.size(), &svg, &svgLength, &options);
    const std::unique_ptr<char, decltype(&std::free)> svgGuard(svg, std::free);
    if (!ok || !svg)
        throw CTextException(1, "EMF: the metafile cannot be read");

    GError* error = nullptr;
    RsvgHandle* handle = rsvg_handle_new_from_data(reinterpret_cast<const guint8*>(svg), svgLength, &error);
    if (!handle) {
        const std::string text = error ? error->message : "unknown error";
        if (error)
            g_error_free(error);
        throw CTextException(1, "EMF: " + text);
    }
    const std::unique_ptr<RsvgHandle, decltype(&g_object_unref)> handleGuard(handle, g_object_unref);

    bitmap.create(px.width, px.height, 32, true);
    fill(bitmap, 0xFFFFFFFFu);
    // Cairo draws straight into the bitmap's bottom-up rows, flipped: its ARGB32
    // is our byte order, and over an opaque background premultiplication changes nothing.
    cairo_surface_t* surface = cairo_image_surface_create_for_data(bitmap.pixels(), CAIRO_FORMAT_ARGB32, px.width,
                                                                   px.height, bitmap.bytesPerLine());
    if (cairo_surface_status(surface) != CAIRO_STATUS_SUCCESS) {
        cairo_surface_destroy(surface);
        throw CTextException(10, "EMF: cannot create a drawing surface");
    }
    cairo_t* cr = cairo_create(surface);
    cairo_translate(cr, 0, px.height);
    cairo_scale(cr, 1, -1);
    const RsvgRectangle viewport{0, 0, static_cast<double>(px.width), static_cast<double>(px.height)};
    const gboolean drawn = rsvg_handle_render_document(handle, cr, &viewport, &error);
    cairo_destroy(cr);
    cairo_surface_destroy(surface);
    if (!drawn) {
        const std::string text = error ? error->message : "unknown error";
        if (error)
            g_error_free(error);
        throw CTextException(1, "EMF: " + text);
    }
}

}  // namespace

void SystemMetafileRenderer::render(int type, const std::uint8_t* bytes, std::size_t size, PixelBitmap& bitmap,
                                    const DecodeLimits& limits)
{
    if (type != IMAGE_WMF && type != IMAGE_EMF)
        throw CTextException(2, "not a metafile type");
    checkMetafileRecords(type, bytes, size);
    const MetafileSize px = metafileSize(type, bytes, size);
    // Both renderers hold a raster of the frame's size besides the bitmap: a
    // frame above the caller's budget is refused before either is made.
    checkDecodeLimits(px.width, px.height, limits, type == IMAGE_WMF ? "WMF" : "EMF");
    if (type == IMAGE_WMF)
        renderWmf(bytes, size, px, bitmap);
    else
        renderEmf(bytes, size, px, bitmap);
}
