// SPDX-License-Identifier: GPL-3.0-or-later
// Draws the viewer's stored pictures: the 144 x 144 background tile of the multi-document
// area, the 32 icons (16 x 16) of the settings tree in one strip and the program icon in 16,
// 32 and 48 pixels. Run by draw_artwork.sh; the PNGs it writes are committed beside it.
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QPainterPath>

#include <cmath>
#include <map>
#include <vector>

using namespace Qt::StringLiterals;

namespace {

// A 5-row pixel font: letters of about three columns stay readable at 16 pixels, where a
// scaled outline font turns to grey mush.
const std::map<QChar, std::vector<const char*>> Glyphs = {
    {u'A', {".X.", "X.X", "XXX", "X.X", "X.X"}}, {u'B', {"XX.", "X.X", "XX.", "X.X", "XX."}},
    {u'C', {".XX", "X..", "X..", "X..", ".XX"}}, {u'G', {".XX", "X..", "X.X", "X.X", ".XX"}},
    {u'H', {"X.X", "X.X", "XXX", "X.X", "X.X"}}, {u'I', {"X", "X", "X", "X", "X"}},
    {u'L', {"X..", "X..", "X..", "X..", "XXX"}}, {u'l', {"X.", "X.", "X.", "X.", "XX"}},
    {u'M', {"X.X", "XXX", "XXX", "X.X", "X.X"}}, {u'N', {"X..X", "XX.X", "X.XX", "X..X", "X..X"}},
    {u'n', {"XX.", "X.X", "X.X", "X.X", "X.X"}}, {u'O', {".X.", "X.X", "X.X", "X.X", ".X."}},
    {u'R', {"XX.", "X.X", "XX.", "X.X", "X.X"}}, {u'S', {".XX", "X..", ".X.", "..X", "XX."}},
    {u'T', {"XXX", ".X.", ".X.", ".X.", ".X."}}, {u'U', {"X.X", "X.X", "X.X", "X.X", "XXX"}},
    {u'W', {"X.X", "X.X", "X.X", "XXX", "X.X"}}, {u'1', {".X.", "XX.", ".X.", ".X.", "XXX"}},
    {u'2', {"XX.", "..X", ".X.", "X..", "XXX"}}, {u'+', {"...", ".X.", "XXX", ".X.", "..."}},
};

int TextWidth(const QString& text)
{
    int width = 0;
    for (QChar ch : text)
        width += static_cast<int>(strlen(Glyphs.at(ch)[0])) + 1;
    return width > 0 ? width - 1 : 0;
}

void PixelText(QImage& image, int x, int y, const QString& text, QColor colour)
{
    for (QChar ch : text) {
        const auto& rows = Glyphs.at(ch);
        const int w = static_cast<int>(strlen(rows[0]));
        for (int r = 0; r < 5; ++r)
            for (int c = 0; c < w; ++c)
                if (rows[r][c] == 'X' && image.rect().contains(x + c, y + r))
                    image.setPixelColor(x + c, y + r, colour);
        x += w + 1;
    }
}

void CentredText(QImage& image, int y, const QString& text, QColor colour)
{
    PixelText(image, (16 - TextWidth(text) + 1) / 2, y, text, colour);
}

QImage NewIcon(QColor ground)
{
    QImage image(16, 16, QImage::Format_ARGB32);
    image.fill(ground);
    return image;
}

const QColor Transparent(0, 0, 0, 0);
const QColor Black(0, 0, 0);
const QColor Red(230, 40, 40);
const QColor Blue(60, 110, 255);
const QColor Yellow(240, 220, 40);
const QColor Cyan(40, 220, 230);
const QColor Green(40, 190, 80);
const QColor Olive(160, 160, 40);
const QColor Orange(255, 150, 30);
const QColor Grey(150, 150, 150);

// Crisp one-pixel lines: no antialiasing, pixel centres.
void Polyline(QImage& image, const std::vector<QPoint>& points, QColor colour, int width = 1)
{
    QPainter painter(&image);
    painter.setPen(QPen(colour, width, Qt::SolidLine, Qt::SquareCap, Qt::MiterJoin));
    for (size_t i = 1; i < points.size(); ++i)
        painter.drawLine(points[i - 1], points[i]);
}

void Dotted(QImage& image, int x1, int y1, int x2, int y2, QColor colour)
{
    const int steps = std::max(std::abs(x2 - x1), std::abs(y2 - y1));
    for (int i = 0; i <= steps; i += 2) {
        const int x = steps ? x1 + (x2 - x1) * i / steps : x1;
        const int y = steps ? y1 + (y2 - y1) * i / steps : y1;
        image.setPixelColor(x, y, colour);
    }
}

void Box(QImage& image, QRect rect, QColor fill, QColor border)
{
    QPainter painter(&image);
    painter.fillRect(rect, fill);
    painter.setPen(border);
    painter.drawRect(rect.adjusted(0, 0, -1, -1));
}

void Grid(QImage& image)
{
    image.fill(QColor(200, 200, 200));
    for (int i = 0; i < 16; i += 4) {
        Polyline(image, {{i, 0}, {i, 15}}, QColor(130, 130, 130));
        Polyline(image, {{0, i}, {15, i}}, QColor(130, 130, 130));
    }
    Polyline(image, {{15, 0}, {15, 15}}, QColor(130, 130, 130));
    Polyline(image, {{0, 15}, {15, 15}}, QColor(130, 130, 130));
}

void Zigzag(QImage& image)
{
    Polyline(image, {{1, 11}, {4, 4}, {7, 11}, {10, 4}, {13, 11}, {14, 8}}, Red, 2);
}

void PulseTrain(QImage& image, QColor colour)
{
    Polyline(
        image,
        {{0, 11}, {3, 11}, {3, 4}, {7, 4}, {7, 11}, {10, 11}, {10, 4}, {14, 4}, {14, 11}, {15, 11}},
        colour);
    for (int x : {3, 7})
        Polyline(image, {{x, 1}, {x, 2}}, Olive);
    Polyline(image, {{3, 1}, {7, 1}}, Olive);
}

void FilterSymbol(QImage& image, bool lowPass)
{
    // A box with the pass band drawn inside: a step down for the high-frequency reject,
    // a step up for the low-frequency reject.
    Box(image, QRect(1, 2, 14, 12), Transparent, Black);
    if (lowPass)
        Polyline(image, {{3, 5}, {8, 5}, {12, 11}}, Black);
    else
        Polyline(image, {{3, 11}, {7, 5}, {12, 5}}, Black);
}

QImage Icon(int slot)
{
    QImage image = NewIcon(Black);
    switch (slot) {
    case 1:
    case 2: {
        image = NewIcon(Transparent);
        Box(image, QRect(0, 2, 16, 12), slot == 1 ? Green : Yellow, QColor(60, 60, 60));
        CentredText(image, 6, slot == 1 ? u"CH1"_s : u"CH2"_s, Black);
        break;
    }
    case 3:
        image = NewIcon(Transparent);
        CentredText(image, 2, u"BW"_s, Black);
        CentredText(image, 9, u"LIM"_s, Black);
        break;
    case 4:
        Polyline(image, {{0, 8}, {3, 3}, {8, 13}, {13, 3}, {15, 6}}, Blue);
        break;
    case 5:
        Dotted(image, 0, 11, 15, 11, Grey);
        Polyline(image, {{0, 11}, {2, 11}, {2, 4}, {13, 4}, {13, 11}, {15, 11}}, Red);
        break;
    case 6:
        Dotted(image, 0, 8, 15, 8, Grey);
        break;
    case 7:
        Polyline(image, {{0, 2}, {15, 13}}, Red);
        Polyline(image, {{0, 13}, {15, 2}}, Blue);
        Polyline(image, {{0, 6}, {15, 9}}, Yellow);
        Polyline(image, {{0, 9}, {15, 6}}, Cyan);
        break;
    case 8:
        Polyline(image, {{3, 12}, {11, 4}}, Grey, 3);
        Polyline(image, {{11, 4}, {14, 1}}, Orange, 2);
        Polyline(image, {{1, 14}, {3, 12}}, QColor(90, 90, 90), 2);
        break;
    case 9:
    case 10:
        Grid(image);
        Zigzag(image);
        break;
    case 11:
        image = NewIcon(Transparent);
        Box(image, QRect(0, 3, 16, 11), QColor(190, 190, 190), QColor(90, 90, 90));
        CentredText(image, 6, u"TRIG"_s, Black);
        break;
    case 12:
        image = NewIcon(Transparent);
        CentredText(image, 5, u"AUTO"_s, Black);
        break;
    case 13:
        image = NewIcon(Transparent);
        FilterSymbol(image, true);
        break;
    case 14:
        image = NewIcon(Transparent);
        FilterSymbol(image, false);
        break;
    case 15:
        image = NewIcon(Transparent);
        Polyline(image, {{3, 5}, {12, 5}}, Black, 2);
        Polyline(image, {{3, 10}, {12, 10}}, Black, 2);
        break;
    case 16:
        image = NewIcon(Transparent);
        Polyline(image, {{4, 3}, {11, 8}, {4, 13}}, Black, 2);
        break;
    case 17:
        image = NewIcon(Transparent);
        Polyline(image, {{11, 3}, {4, 8}, {11, 13}}, Black, 2);
        break;
    case 18:
        Dotted(image, 0, 11, 15, 11, Grey);
        Polyline(image, {{0, 5}, {15, 5}}, Olive, 2);
        break;
    case 19:
        image = NewIcon(Transparent);
        CentredText(image, 5, u"NORM"_s, Black);
        break;
    case 20:
        Dotted(image, 0, 8, 15, 8, Grey);
        Dotted(image, 8, 0, 8, 15, Grey);
        Polyline(image, {{5, 0}, {5, 15}}, Olive, 2);
        break;
    case 21:
        PulseTrain(image, Blue);
        break;
    case 22:
        PulseTrain(image, Red);
        break;
    case 23:
        Polyline(image, {{3, 4}, {3, 12}}, Olive);
        Polyline(image, {{12, 4}, {12, 12}}, Olive);
        Polyline(image, {{3, 8}, {12, 8}}, Olive);
        Polyline(image, {{4, 7}, {4, 9}}, Olive);
        Polyline(image, {{11, 7}, {11, 9}}, Olive);
        break;
    case 24:
        image = NewIcon(Transparent);
        CentredText(image, 5, u"SInGl"_s, Black);
        break;
    case 25:
        Polyline(image, {{0, 3}, {6, 3}, {9, 12}, {15, 12}}, Blue);
        Polyline(image, {{0, 8}, {15, 8}}, Olive);
        break;
    case 26:
        Polyline(image, {{0, 12}, {6, 12}, {9, 3}, {15, 3}}, Red);
        Polyline(image, {{0, 8}, {15, 8}}, Olive);
        break;
    case 27:
    case 31:
        Polyline(image, {{0, 12}, {5, 12}, {10, 3}, {15, 3}}, Red);
        Polyline(image, {{0, 3}, {5, 3}, {10, 12}, {15, 12}}, Blue);
        break;
    case 28: {
        image = NewIcon(Transparent);
        QPainter painter(&image);
        painter.fillRect(QRect(0, 2, 8, 12), Green);
        painter.fillRect(QRect(8, 2, 8, 12), Yellow);
        painter.setPen(QColor(60, 60, 60));
        painter.drawRect(QRect(0, 2, 15, 11));
        painter.end();
        CentredText(image, 6, u"1+2"_s, Black);
        break;
    }
    case 29: {
        QPainter painter(&image);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setPen(Qt::NoPen);
        painter.setBrush(Grey);
        for (int tooth = 0; tooth < 8; ++tooth) {
            painter.save();
            painter.translate(8, 8);
            painter.rotate(tooth * 45.0);
            painter.drawRect(QRectF(-1.5, -7.5, 3, 4));
            painter.restore();
        }
        painter.drawEllipse(QPointF(8, 8), 5, 5);
        painter.setBrush(Orange);
        painter.drawEllipse(QPointF(8, 8), 2.2, 2.2);
        break;
    }
    case 30: {
        QPainter painter(&image);
        painter.fillRect(QRect(3, 3, 3, 10), Orange);
        painter.fillRect(QRect(10, 3, 3, 10), Orange);
        break;
    }
    case 32:
        Polyline(image, {{0, 12}, {2, 12}, {2, 4}, {5, 4}, {5, 12}, {15, 12}}, Blue);
        Polyline(image, {{0, 12}, {8, 12}, {8, 4}, {13, 4}, {13, 12}, {15, 12}}, Red);
        break;
    default:
        break;
    }
    return image;
}

// A quiet tile for the empty area behind the windows: a faint graticule and one period of
// a wave, so that neighbouring tiles join without a seam.
QImage Background()
{
    QImage image(144, 144, QImage::Format_RGB888);
    image.fill(QColor(58, 66, 78));
    QPainter painter(&image);
    painter.setPen(QColor(66, 75, 88));
    for (int i = 0; i < 144; i += 24) {
        painter.drawLine(i, 0, i, 143);
        painter.drawLine(0, i, 143, i);
    }
    painter.setPen(QColor(74, 84, 98));
    for (int i = 0; i < 144; i += 6) {
        painter.drawPoint(72, i);
        painter.drawPoint(i, 72);
    }
    painter.setRenderHint(QPainter::Antialiasing);
    QPainterPath wave;
    for (int x = -2; x <= 146; ++x) {
        const double y = 72 - 30 * std::sin(2 * M_PI * x / 144.0);
        if (x == -2)
            wave.moveTo(x, y);
        else
            wave.lineTo(x, y);
    }
    painter.setPen(QPen(QColor(67, 78, 91), 2));
    painter.drawPath(wave);
    return image;
}

// A little scope screen with a wave on it.
QImage ProgramIcon(int size)
{
    QImage image(size, size, QImage::Format_ARGB32);
    image.fill(Transparent);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    const double s = size / 16.0;
    painter.setPen(QPen(QColor(70, 70, 80), std::max(1.0, s * 0.75)));
    painter.setBrush(QColor(15, 25, 30));
    painter.drawRoundedRect(QRectF(0.5 * s, 1.5 * s, 15 * s, 13 * s), 2 * s, 2 * s);
    painter.setPen(QPen(QColor(45, 70, 70), std::max(1.0, s * 0.5)));
    for (int i = 1; i < 4; ++i)
        painter.drawLine(QPointF(i * 4 * s, 2.5 * s), QPointF(i * 4 * s, 13.5 * s));
    painter.drawLine(QPointF(1.5 * s, 8 * s), QPointF(14.5 * s, 8 * s));
    QPainterPath wave;
    for (int i = 0; i <= 40; ++i) {
        const double x = 1.5 + 13.0 * i / 40;
        const double y = 8 - 4.2 * std::sin(2 * M_PI * i / 40.0);
        if (i == 0)
            wave.moveTo(x * s, y * s);
        else
            wave.lineTo(x * s, y * s);
    }
    painter.setBrush(Qt::NoBrush);
    painter.setPen(QPen(QColor(60, 240, 250), std::max(1.2, s * 1.1)));
    painter.drawPath(wave);
    return image;
}

} // namespace

int main(int argc, char** argv)
{
    QGuiApplication application(argc, argv);
    const QString folder = argc > 1 ? QString::fromLocal8Bit(argv[1]) : u"."_s;
    bool ok = Background().save(folder + u"/background.png"_s);
    // The icons side by side in one strip: one picture to decode at start-up, not 32.
    QImage icons(32 * 16, 16, QImage::Format_ARGB32);
    icons.fill(Transparent);
    QPainter strip(&icons);
    strip.setCompositionMode(QPainter::CompositionMode_Source);
    for (int slot = 1; slot <= 32; ++slot)
        strip.drawImage((slot - 1) * 16, 0, Icon(slot));
    strip.end();
    ok = icons.save(folder + u"/icons.png"_s) && ok;
    for (int size : {16, 32, 48})
        ok = ProgramIcon(size).save(folder + u"/kurvex%1.png"_s.arg(size)) && ok;
    // The desktop's icon theme wants the program icon in a larger size as well.
    if (argc > 2) {
        const QString iconFolder = QString::fromLocal8Bit(argv[2]);
        for (int size : {16, 32, 48, 128})
            ok = ProgramIcon(size).save(iconFolder + u"/kurvex-%1.png"_s.arg(size)) && ok;
    }
    return ok ? 0 : 1;
}
