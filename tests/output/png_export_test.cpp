// SPDX-License-Identifier: GPL-3.0-or-later
// PNG files decoded back with libpng, and what a failed export leaves behind.
#include "output/png_export.h"
#include "screen/screen_renderer.h"
#include "support/test_capture.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <png.h>

#include <cmath>
#include <random>
#include <vector>

namespace {

Capture MakeCapture(int32_t n)
{
    Capture capture = MakeTestCapture(n, {{SlotCh1, 0.5}, {SlotCh2, 2.0}});
    capture.triggerIndex = n / 2;
    for (int32_t i = 0; i < n; ++i) {
        capture.samples[SlotCh1][i] = 3.0 * std::sin(i * 0.002);
        capture.samples[SlotCh2][i] = (i / 700) % 2 == 0 ? 1.0 : -1.0;
    }
    return capture;
}

// The file decoded as 8-bit RGB; empty when libpng rejects it.
struct Decoded {
    int32_t width;
    int32_t height;
    std::vector<uint8_t> rgb;
};

Decoded DecodePng(const QString& path)
{
    Decoded decoded{};
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    const QByteArray name = QFile::encodeName(path);
    if (!png_image_begin_read_from_file(&image, name.constData())) return decoded;
    image.format = PNG_FORMAT_RGB;
    std::vector<uint8_t> buffer(PNG_IMAGE_SIZE(image));
    if (!png_image_finish_read(&image, nullptr, buffer.data(), 0, nullptr)) {
        png_image_free(&image);
        return decoded;
    }
    decoded.width = static_cast<int32_t>(image.width);
    decoded.height = static_cast<int32_t>(image.height);
    decoded.rgb = std::move(buffer);
    return decoded;
}

void ExpectSamePixels(const Decoded& decoded, const QImage& image)
{
    ASSERT_EQ(decoded.width, image.width());
    ASSERT_EQ(decoded.height, image.height());
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            const QRgb pixel = image.pixel(x, y);
            const uint8_t* p = &decoded.rgb[(static_cast<size_t>(y) * image.width() + x) * 3];
            ASSERT_EQ(p[0], qRed(pixel)) << x << ", " << y;
            ASSERT_EQ(p[1], qGreen(pixel)) << x << ", " << y;
            ASSERT_EQ(p[2], qBlue(pixel)) << x << ", " << y;
        }
    }
}

QByteArray ReadAll(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

} // namespace

TEST(PngExport, RoundTripsEveryPixelAsEightBitRgb)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    std::mt19937 random(7);
    // Odd widths have scan lines that are not a multiple of three or four bytes.
    const QSize sizes[] = {{600, 400}, {1, 1}, {3, 2}, {7, 5}, {333, 17}};
    for (const QSize& size : sizes) {
        SCOPED_TRACE(testing::Message() << size.width() << " x " << size.height());
        QImage image(size, QImage::Format_RGB32);
        for (int y = 0; y < size.height(); ++y)
            for (int x = 0; x < size.width(); ++x)
                image.setPixel(x, y, random() | 0xFF000000u);
        const QString path = dir.filePath(u"noise.png"_qs);
        ASSERT_TRUE(WritePng(image, path));

        const QByteArray bytes = ReadAll(path);
        ASSERT_GT(bytes.size(), 33);
        EXPECT_EQ(bytes.mid(12, 4), QByteArray("IHDR"));
        EXPECT_EQ(static_cast<uint8_t>(bytes[24]), 8); // bit depth
        EXPECT_EQ(static_cast<uint8_t>(bytes[25]), 2); // colour type RGB, no alpha
        ExpectSamePixels(DecodePng(path), image);
    }
}

TEST(PngExport, SavesTheImageRequestOfTheView)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    Capture capture = MakeCapture(6000);
    CaptureView view = NewCaptureView(capture);
    ZoomView(view, capture.samplesPerChannel, 3);
    view.cursorsShown = 1;
    view.cursor1 = 2000;
    view.cursor2 = 3500;
    const QString path = dir.filePath(u"screen.png"_qs);
    ASSERT_TRUE(SaveScreenAsPng(capture, view, path));

    const QImage expected = RenderScreenImage(capture, ImageRenderRequest(view));
    ExpectSamePixels(DecodePng(path), expected);
    // The image request is not the window's: it carries the TIME label and the scales.
    EXPECT_NE(expected, RenderScreenImage(capture, WindowRenderRequest(view)));

    // Replacing an existing file.
    ASSERT_TRUE(SaveScreenAsPng(capture, NewCaptureView(capture), path));
    ExpectSamePixels(DecodePng(path),
                     RenderScreenImage(capture, ImageRenderRequest(NewCaptureView(capture))));
}

TEST(PngExport, FailuresLeaveExistingFilesAndNoLeftovers)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString existing = dir.filePath(u"keep.png"_qs);
    {
        QFile file(existing);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("old contents");
    }
    ASSERT_TRUE(QDir(dir.path()).mkdir(u"folder.png"_qs));
    Capture capture = MakeCapture(100);
    CaptureView view = NewCaptureView(capture);
    CaptureView empty = view;
    empty.imageWidth = 0;
    QImage image(10, 10, QImage::Format_RGB32);
    image.fill(Qt::red);

    struct Case {
        const char* name;
        bool viaView;
        const QImage* image;
        const CaptureView* view;
        QString path;
    };
    const QImage nullImage;
    const Case cases[] = {
        {"null image", false, &nullImage, nullptr, existing},
        {"image of no size", true, nullptr, &empty, existing},
        {"missing directory", false, &image, nullptr, dir.filePath(u"missing/x.png"_qs)},
        {"directory in the way", false, &image, nullptr, dir.filePath(u"folder.png"_qs)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const bool written =
            c.viaView ? SaveScreenAsPng(capture, *c.view, c.path) : WritePng(*c.image, c.path);
        EXPECT_FALSE(written);
        EXPECT_EQ(ReadAll(existing), QByteArray("old contents"));
        const QStringList entries =
            QDir(dir.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden);
        EXPECT_EQ(entries, (QStringList{u"folder.png"_qs, u"keep.png"_qs}));
    }
}
