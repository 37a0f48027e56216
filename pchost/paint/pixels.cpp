#include "pchost/paint/pixels.h"

#include <memory>
#include <stdexcept>

#include <cairo.h>

#include "pchost/paint/cairopainter.h"

namespace pchost {

namespace {

using Surface = std::unique_ptr<cairo_surface_t, decltype(&cairo_surface_destroy)>;

Surface paintedScreen()
{
    Surface surface(cairo_image_surface_create(CAIRO_FORMAT_RGB24, screenWidth, screenHeight),
        cairo_surface_destroy);
    cairo_t* cr = cairo_create(surface.get());
    paintScene(cr, buildScene());
    cairo_status_t status = cairo_status(cr);
    cairo_destroy(cr);
    if (status != CAIRO_STATUS_SUCCESS)
        throw std::runtime_error(std::string("cannot paint the screen: ") +
            cairo_status_to_string(status));
    cairo_surface_flush(surface.get());
    return surface;
}

} // namespace

Picture paintScreen()
{
    Surface surface = paintedScreen();
    Picture picture{screenWidth, screenHeight, {}};
    const unsigned char* data = cairo_image_surface_get_data(surface.get());
    int stride = cairo_image_surface_get_stride(surface.get());
    for (int y = 0; y < screenHeight; ++y) {
        const auto* row = reinterpret_cast<const uint32_t*>(data + y * stride);
        for (int x = 0; x < screenWidth; ++x)
            picture.pixels.push_back(row[x] & 0xffffff);
    }
    return picture;
}

void writeScreenPng(const std::string& file)
{
    cairo_status_t status = cairo_surface_write_to_png(paintedScreen().get(), file.c_str());
    if (status != CAIRO_STATUS_SUCCESS)
        throw std::runtime_error("cannot write " + file + ": " + cairo_status_to_string(status));
}

} // namespace pchost
