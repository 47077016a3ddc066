// SPDX-License-Identifier: GPL-3.0-or-later
#include "output/png_export.h"

#include "output/text_file.h"
#include "screen/screen_renderer.h"

#include <png.h>

#include <new>
#include <string>

namespace {

// libpng reports errors by calling this and never returning; the jump lands in EncodePng.
// Nothing is printed: the caller turns failure into its own message.
[[noreturn]] void PngError(png_structp png, png_const_charp)
{
    png_longjmp(png, 1);
}

void PngWarning(png_structp, png_const_charp) {}

void PngWrite(png_structp png, png_bytep data, size_t length)
{
    // No exception may cross libpng's C frames: a failed allocation becomes its error.
    bool appended = true;
    try {
        static_cast<std::string*>(png_get_io_ptr(png))
            ->append(reinterpret_cast<const char*>(data), length);
    } catch (const std::bad_alloc&) {
        appended = false;
    }
    if (!appended) png_error(png, "out of memory");
}

void PngFlush(png_structp) {}

// Encodes a Format_RGB888 image into `out`. Holds no C++ objects across setjmp, so a jump
// out of libpng skips no destructor.
bool EncodePng(const QImage& rgb, std::string* out)
{
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, PngError, PngWarning);
    if (png == nullptr) return false;
    png_infop info = png_create_info_struct(png);
    if (info == nullptr) {
        png_destroy_write_struct(&png, nullptr);
        return false;
    }
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        return false;
    }
    png_set_write_fn(png, out, PngWrite, PngFlush);
    png_set_IHDR(png, info, static_cast<png_uint_32>(rgb.width()),
                 static_cast<png_uint_32>(rgb.height()), 8, PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    for (int y = 0; y < rgb.height(); ++y)
        png_write_row(png, rgb.constScanLine(y));
    png_write_end(png, info);
    png_destroy_write_struct(&png, &info);
    return true;
}

} // namespace

bool WritePng(const QImage& image, const QString& path)
{
    if (image.isNull()) return false;
    const QImage rgb = image.convertToFormat(QImage::Format_RGB888);
    if (rgb.isNull()) return false;
    // The whole picture is encoded before the target is touched, so that an encoder failure
    // leaves even a file written in place as it was; the writing itself is the exports'
    // safe path.
    std::string encoded;
    if (!EncodePng(rgb, &encoded)) return false;
    ExportFile file{};
    if (!OpenExportFile(file, path)) return false;
    file.pending = std::move(encoded);
    return CommitExportFile(file);
}

bool SaveScreenAsPng(const Capture& capture, const CaptureView& view, const QString& path)
{
    const QImage image = RenderScreenImage(capture, ImageRenderRequest(view));
    if (image.isNull()) return false;
    return WritePng(image, path);
}
