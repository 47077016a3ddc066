// SPDX-License-Identifier: GPL-3.0-or-later
#include "screen/screen_renderer.h"

#include "screen/drawing_session.h"
#include "screen/painter_surface.h"
#include "screen/view.h"
#include "text/format_text.h"

#include <QFileInfo>
#include <QGuiApplication>

#ifdef __SSE2__
#include <emmintrin.h>
#endif
#ifdef __linux__
#include <sys/mman.h>
#endif

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <limits>
#include <utility>
#include <vector>

namespace {

struct Palette {
    Rgb background;
    Rgb grid;
    Rgb axes;
    Rgb trigger;
    Rgb cursor1;
    Rgb cursor2;
    Rgb frame;
    Rgb trace[SlotCount];
    Rgb zero[SlotCount];
    Rgb timeText;
    Rgb fileText;
};

// Black screen as on the instrument.
constexpr Palette ScreenPalette{
    {0, 0, 0},
    {64, 64, 64},
    {128, 128, 128},
    {255, 0, 255},
    {255, 0, 0},
    {0, 255, 0},
    {0, 0, 0},
    {{0, 255, 255}, {255, 255, 0}, {255, 128, 64}},
    {{0, 128, 128}, {128, 128, 0}, {128, 64, 0}},
    {255, 255, 255},
    {255, 255, 255},
};

// White paper: the screen colours would vanish or look washed out in print.
constexpr Palette PaperPalette{
    {255, 255, 255},
    {192, 192, 192},
    {128, 128, 128},
    {0, 255, 0},
    {0, 255, 255},
    {255, 0, 255},
    {0, 0, 0},
    {{255, 0, 0}, {0, 0, 255}, {255, 128, 64}},
    {{128, 0, 0}, {0, 0, 128}, {128, 64, 0}},
    {0, 0, 0},
    {0, 0, 0},
};

// The twelve pens of one call, in the order they are created.
struct Pens {
    DrawingSurface::PenHandle grid;
    DrawingSurface::PenHandle axes;
    DrawingSurface::PenHandle trigger;
    DrawingSurface::PenHandle cursor1;
    DrawingSurface::PenHandle cursor2;
    DrawingSurface::PenHandle frame;
    DrawingSurface::PenHandle trace[SlotCount];
    DrawingSurface::PenHandle zero[SlotCount];
};

int32_t Clamp32(int64_t value)
{
    return static_cast<int32_t>(std::clamp<int64_t>(value, std::numeric_limits<int32_t>::min(),
                                                    std::numeric_limits<int32_t>::max()));
}

// The columns' sample ranges in turn. Column x starts at the smallest i with
// width x i div count >= x, that is ceil(x count / width); stepping that as quotient and
// remainder spares a division per column.
class ColumnSpans {
  public:
    ColumnSpans(int64_t first, int32_t count, int32_t columns)
        : begin(first), end(first), step(count / columns), stepRemainder(count % columns),
          width(columns)
    {
    }
    // To the next column: its samples are begin .. end - 1.
    void Next()
    {
        begin = end;
        end += step;
        remainder += stepRemainder;
        if (remainder > 0) {
            ++end;
            remainder -= width;
        }
    }
    int64_t begin;
    int64_t end;

  private:
    int64_t step;
    int64_t stepRemainder;
    int64_t width;
    int64_t remainder = 0; // x count - end width, in (-width, 0]
};

// The extremes of samples[begin .. end - 1] and which of them occurs first: a sample
// replaces the extreme only when strictly beyond it, so ties keep the earlier sample and a
// NaN never enters (a NaN at `begin` stays, as nothing compares beyond it).
struct ColumnRange {
    double minimum;
    double maximum;
    bool minimumFirst; // the first minimum comes no later than the first maximum
};

[[gnu::always_inline]] inline ColumnRange ScanColumn(const double* samples, int64_t begin,
                                                     int64_t end)
{
    ColumnRange range{samples[begin], samples[begin], true};
#ifdef __SSE2__
    // The values first, two lanes at a time in two chains, then the first index holding
    // each. MINPD(v, m) is exactly "v < m ? v : m" (m when either is a NaN), so the lanes
    // reach the same extremes as the scalar rule; only the sign of a zero extreme may
    // differ, which no row or index depends on.
    if (end - begin >= 8) {
        __m128d low0 = _mm_set1_pd(range.minimum);
        __m128d high0 = low0;
        __m128d low1 = low0;
        __m128d high1 = low0;
        int64_t i = begin + 1;
        for (; i + 4 <= end; i += 4) {
            const __m128d v0 = _mm_loadu_pd(samples + i);
            const __m128d v1 = _mm_loadu_pd(samples + i + 2);
            low0 = _mm_min_pd(v0, low0);
            high0 = _mm_max_pd(v0, high0);
            low1 = _mm_min_pd(v1, low1);
            high1 = _mm_max_pd(v1, high1);
        }
        const __m128d low = _mm_min_pd(low1, low0);
        const __m128d high = _mm_max_pd(high1, high0);
        double minimum = _mm_cvtsd_f64(_mm_min_sd(_mm_unpackhi_pd(low, low), low));
        double maximum = _mm_cvtsd_f64(_mm_max_sd(_mm_unpackhi_pd(high, high), high));
        for (; i < end; ++i) {
            minimum = samples[i] < minimum ? samples[i] : minimum;
            maximum = samples[i] > maximum ? samples[i] : maximum;
        }
        if (minimum == minimum) { // a NaN first sample leaves both extremes at `begin`
            range.minimum = minimum;
            range.maximum = maximum;
            // Both are values of the column; whichever comes first decides the order.
            int64_t j = begin;
            while (samples[j] != minimum && samples[j] != maximum)
                ++j;
            range.minimumFirst = samples[j] == minimum;
        }
        return range;
    }
#endif
    // Two independent selects instead of "else if": once started, minimum <= maximum, so no
    // value can pass both tests, and the compiler can avoid branches that noisy signals
    // would mispredict. A NaN passes neither test.
    int64_t minimumIndex = begin;
    int64_t maximumIndex = begin;
    for (int64_t i = begin + 1; i < end; ++i) {
        const double v = samples[i];
        const bool lower = v < range.minimum;
        const bool higher = v > range.maximum;
        range.minimum = lower ? v : range.minimum;
        minimumIndex = lower ? i : minimumIndex;
        range.maximum = higher ? v : range.maximum;
        maximumIndex = higher ? i : maximumIndex;
    }
    range.minimumFirst = minimumIndex <= maximumIndex;
    return range;
}

// TraceRow, inlined where every column needs two.
inline int32_t Row(double value, int32_t halfY, int32_t pixelsPerDiv)
{
    constexpr double Limit = 1e9;
    const double exact = halfY - value * pixelsPerDiv;
    // Clamping before rounding gives the same result, as the limits are integers.
    if (!(exact >= -Limit)) return static_cast<int32_t>(-Limit);
    if (exact > Limit) return static_cast<int32_t>(Limit);
#ifdef __SSE2__
    // Rounds in the current mode, as nearbyint does, without a library call.
    return _mm_cvtsd_si32(_mm_set_sd(exact));
#else
    return static_cast<int32_t>(std::nearbyint(exact));
#endif
}

QString FileLabel(const QString& path)
{
    return QFileInfo(path).completeBaseName();
}

// Draws with the surface's coordinates: everything the algorithm computes is relative to the
// screen rectangle, and the origin is added here, in 64 bits, at the last moment.
class Plotter {
  public:
    Plotter(DrawingSurface& target, int32_t x0, int32_t y0)
        : surface(target), originX(x0), originY(y0)
    {
    }

    void Line(int64_t x1, int64_t y1, int64_t x2, int64_t y2)
    {
        surface.Line(Clamp32(originX + x1), Clamp32(originY + y1), Clamp32(originX + x2),
                     Clamp32(originY + y2));
    }

    // A square of side 2 radius + 1 centred on (x, y).
    void Dot(int64_t x, int64_t y, int32_t radius, Rgb colour)
    {
        surface.FillBox(Clamp32(originX + x - radius), Clamp32(originY + y - radius),
                        2 * radius + 1, 2 * radius + 1, colour);
    }

    void Text(int32_t x, int32_t y, const QString& text, Rgb colour)
    {
        surface.DrawText(Clamp32(int64_t{originX} + x), Clamp32(int64_t{originY} + y), text,
                         colour);
    }

    // Batched lines: relative coordinates in, surface coordinates out.
    void Add(int64_t x1, int64_t y1, int64_t x2, int64_t y2)
    {
        batch.push_back(Clamp32(originX + x1));
        batch.push_back(Clamp32(originY + y1));
        batch.push_back(Clamp32(originX + x2));
        batch.push_back(Clamp32(originY + y2));
    }

    void Flush()
    {
        if (!batch.empty()) surface.Lines(batch.data(), static_cast<int32_t>(batch.size() / 4));
        batch.clear();
    }

    DrawingSurface& surface;
    int64_t originX;
    int64_t originY;
    std::vector<int32_t> batch;
};

// At most one sample per column: the first `drawn` of the view's points joined in order.
void DrawPolyline(Plotter& plotter, const double* samples, int32_t drawn, int32_t count,
                  int32_t width, int32_t halfY, int32_t pixelsPerDiv)
{
    if (drawn < 2) return;
    int32_t previousX = 0;
    int32_t previousY = TraceRow(samples[0], halfY, pixelsPerDiv);
    for (int32_t i = 1; i < drawn; ++i) {
        const int32_t x = SampleColumn(i, count, width);
        const int32_t y = TraceRow(samples[i], halfY, pixelsPerDiv);
        plotter.Add(previousX, previousY, x, y);
        previousX = x;
        previousY = y;
    }
    plotter.Flush();
}

// Few samples across the screen: each one a dot on its polyline point, so that single
// samples can be told from the straight lines that join them.
void DrawSampleDots(Plotter& plotter, const double* samples, int32_t drawn, int32_t count,
                    int32_t width, int32_t halfY, int32_t pixelsPerDiv, int32_t radius, Rgb colour)
{
    for (int32_t i = 0; i < drawn; ++i)
        plotter.Dot(SampleColumn(i, count, width), TraceRow(samples[i], halfY, pixelsPerDiv),
                    radius, colour);
}

// Several samples per column: each column draws its vertical span between the extremes and
// a link from the previous column, so a narrow spike survives however many samples share a
// pixel, and the cost of drawing no longer grows with the number of samples.
void DrawColumns(Plotter& plotter, const ColumnExtremes* columns, int32_t width)
{
    plotter.batch.reserve(8 * static_cast<size_t>(width));
    for (int32_t x = 0; x < width; ++x) {
        if (x > 0) plotter.Add(x - 1, columns[x - 1].yb, x, columns[x].ya);
        plotter.Add(x, columns[x].ya, x, columns[x].yb);
    }
    plotter.Flush();
}

uint32_t Word(Rgb colour)
{
    return 0xFF000000u | (uint32_t{colour.r} << 16) | (uint32_t{colour.g} << 8) | colour.b;
}

// `count` pixels down a column from `pixel`, eight stores to a loop: the columns of a dense
// trace are the renderer's most frequent write.
[[gnu::always_inline]] inline void FillColumn(uint32_t* pixel, int64_t stride, int32_t count,
                                              uint32_t colour)
{
    uint32_t* const end = pixel + count * stride;
    if (count >= 8) {
        uint32_t* const last8 = end - 7 * stride;
        const int64_t s2 = 2 * stride;
        const int64_t s3 = 3 * stride;
        for (; pixel < last8; pixel += 8 * stride) {
            uint32_t* const half = pixel + 4 * stride;
            pixel[0] = colour;
            pixel[stride] = colour;
            pixel[s2] = colour;
            pixel[s3] = colour;
            half[0] = colour;
            half[stride] = colour;
            half[s2] = colour;
            half[s3] = colour;
        }
    }
    for (; pixel < end; pixel += stride)
        *pixel = colour;
}

// The rows one column of a dense trace covers: its span and its halves of the links to both
// neighbours. A link between neighbouring columns is two vertical runs that meet at the middle
// row (see DirectLine), each touching its own column's span, so the union is one interval.
struct RowSpan {
    int32_t top;
    int32_t bottom; // below top: no rows
    friend bool operator==(RowSpan, RowSpan) = default;
};

void CoverColumns(const ColumnExtremes* columns, int32_t count, RowSpan* spans)
{
    for (int32_t x = 0; x < count; ++x)
        spans[x] =
            RowSpan{std::min(columns[x].ya, columns[x].yb), std::max(columns[x].ya, columns[x].yb)};
    for (int32_t x = 1; x < count; ++x) {
        const int32_t p = columns[x - 1].yb;
        const int32_t q = columns[x].ya;
        if (p < q) {
            const int32_t split = p + (q - p + 1) / 2;
            spans[x - 1].bottom = std::max(spans[x - 1].bottom, split - 1);
            spans[x].top = std::min(spans[x].top, split);
        } else if (p > q) {
            const int32_t split = q + (p - q) / 2 + 1;
            spans[x].bottom = std::max(spans[x].bottom, split - 1);
            spans[x - 1].top = std::min(spans[x - 1].top, split);
        }
    }
}

// The pixels under everything that moves: background, graticule and zero lines. A row is
// either `plain` or filled with one colour, where a grid row keeps the vertical axis.
struct StaticLayer {
    std::vector<uint32_t> plain;
    std::vector<uint32_t> fill;      // per row; 0 = the plain row
    std::vector<int32_t> axisColumn; // per row; -1 = none
    std::vector<int32_t> nextFilled; // per row and one past: the first filled row from there

    friend bool operator==(const StaticLayer&, const StaticLayer&) = default;

    // Rows first .. last of column x, `column` pointing at its pixel in row 0.
    void WriteColumn(int32_t x, int32_t first, int32_t last, uint32_t* column, int64_t stride) const
    {
        FillColumn(column + first * stride, stride, last - first + 1, plain[x]);
        for (int32_t y = nextFilled[first]; y <= last; y = nextFilled[y + 1])
            if (axisColumn[y] != x) column[y * stride] = fill[y];
    }

    // Columns left .. right of row y.
    void WriteRow(int32_t y, uint32_t* row, int32_t left, int32_t right) const
    {
        if (fill[y] == 0)
            std::copy(plain.begin() + left, plain.begin() + right + 1, row + left);
        else
            std::fill(row + left, row + right + 1, fill[y]);
        if (axisColumn[y] >= left && axisColumn[y] <= right)
            row[axisColumn[y]] = plain[axisColumn[y]];
    }
};

// The column spans of the dense traces, clipped to the rows, in slot order: a later slot
// covers an earlier one. Every slot has a span, maybe empty, for every column.
struct DenseFrame {
    uint32_t colour[SlotCount] = {};
    std::vector<RowSpan> spans[SlotCount];

    RowSpan At(int32_t slot, int32_t x) const { return spans[slot][x]; }
};

// Writes the static rows and then the traces in order, row band by row band. Filling first
// and then drawing every trace column top to bottom would pass twice over an image far
// larger than the caches; a band of a few rows stays in them while both are written. The
// pixels are those the lines would give.
void ComposeDenseScreen(const RasterPixels& raster, const StaticLayer& layer,
                        const DenseFrame& traces)
{
    const int32_t w = raster.width;
    const int32_t h = raster.height;
    const int32_t bandRows = std::max(1, 65536 / w);
    const int32_t bands = (h + bandRows - 1) / bandRows;

    // The columns of each trace that reach into each band, by (trace, band).
    std::vector<int32_t> start(SlotCount * bands + 1, 0);
    for (int32_t t = 0; t < SlotCount; ++t) {
        for (const RowSpan& span : traces.spans[t]) {
            if (span.top > span.bottom) continue;
            const int32_t last = span.bottom / bandRows;
            for (int32_t b = span.top / bandRows; b <= last; ++b)
                ++start[t * bands + b + 1];
        }
    }
    for (size_t k = 1; k < start.size(); ++k)
        start[k] += start[k - 1];
    std::vector<int32_t> next(start.begin(), start.end() - 1);
    std::vector<int32_t> entries(static_cast<size_t>(start.back()));
    for (int32_t t = 0; t < SlotCount; ++t) {
        const std::vector<RowSpan>& spans = traces.spans[t];
        int32_t* const slots = next.data() + t * bands;
        for (int32_t x = 0; x < static_cast<int32_t>(spans.size()); ++x) {
            if (spans[x].top > spans[x].bottom) continue;
            const int32_t last = spans[x].bottom / bandRows;
            for (int32_t b = spans[x].top / bandRows; b <= last; ++b)
                entries[slots[b]++] = x;
        }
    }

    const int64_t stride = raster.stride;
    for (int32_t band = 0; band < bands; ++band) {
        const int32_t first = band * bandRows;
        const int32_t last = std::min(h, first + bandRows) - 1;
        for (int32_t y = first; y <= last; ++y)
            layer.WriteRow(y, raster.bits + y * stride, 0, w - 1);
        for (int32_t t = 0; t < SlotCount; ++t) {
            const uint32_t colour = traces.colour[t];
            const RowSpan* spans = traces.spans[t].data();
            for (int32_t k = start[t * bands + band]; k < start[t * bands + band + 1]; ++k) {
                const int32_t x = entries[k];
                const int32_t top = std::max(spans[x].top, first);
                const int32_t bottom = std::min(spans[x].bottom, last);
                FillColumn(raster.bits + top * stride + x, stride, bottom - top + 1, colour);
            }
        }
    }
}

// A rectangle of pixels, both edges inclusive; empty when right < left.
struct Box {
    int32_t left = 0;
    int32_t top = 0;
    int32_t right = -1;
    int32_t bottom = -1;
};

// One label of the screen's top row.
struct Label {
    int32_t x;
    QString text;
    Rgb colour;
    friend bool operator==(const Label&, const Label&) = default;
};

// The first minimum and first maximum of every window of 2^k samples of one trace, as
// offsets from the window's start, for k = 1 .. Levels: a column's extremes then come from
// two look-ups (windows of 2^k may overlap, as they cover the column from both ends) instead
// of a scan of its samples. Windows that hold a NaN are never looked up: such a column is
// scanned, as the scan has its own rule for a NaN at the column's start.
class ExtremeTable {
  public:
    static constexpr int32_t MostLevels = 6; // offsets below 64 fit a byte each

    void Forget()
    {
        data = nullptr;
        size = 0;
        levels.clear();
        nanBefore.clear();
    }

    // Describes samples[0 .. n - 1] with windows up to 2^level samples long (at most
    // MostLevels); a different array or length starts again.
    void Prepare(const double* samples, int32_t n, int32_t level)
    {
        if (samples != data || n != size) {
            Forget();
            data = samples;
            size = n;
            bool nan = false;
            for (int32_t i = 0; i < n; ++i)
                nan |= samples[i] != samples[i];
            if (nan) {
                nanBefore.resize(static_cast<size_t>(n) + 1);
                nanBefore[0] = 0;
                for (int32_t i = 0; i < n; ++i)
                    nanBefore[i + 1] = nanBefore[i] + (samples[i] != samples[i] ? 1 : 0);
            }
        }
        level = std::min(level, MostLevels);
        for (auto k = static_cast<int32_t>(levels.size()) + 1; k <= level; ++k) {
            const int32_t span = int32_t{1} << k;
            const int32_t half = span / 2;
            // Left uninitialised: every entry is written below.
            const int64_t m = std::max(0, n - span + 1);
            std::unique_ptr<Offsets[]> next(new Offsets[static_cast<size_t>(m)]);
            Offsets* const out = next.get();
            const double* const s = data;
            if (k == 1) {
                for (int64_t i = 0; i < m; ++i)
                    out[i] = Offsets{static_cast<uint8_t>(s[i + 1] < s[i] ? 1 : 0),
                                     static_cast<uint8_t>(s[i + 1] > s[i] ? 1 : 0)};
            } else {
                // Two windows of half the length; the earlier keeps ties.
                const Offsets* const previous = levels.back().get();
                for (int64_t i = 0; i < m; ++i) {
                    const Offsets a = previous[i];
                    const Offsets b = previous[i + half];
                    const int32_t low = s[i + half + b.low] < s[i + a.low] ? half + b.low : a.low;
                    const int32_t high =
                        s[i + half + b.high] > s[i + a.high] ? half + b.high : a.high;
                    out[i] = Offsets{static_cast<uint8_t>(low), static_cast<uint8_t>(high)};
                }
            }
            levels.push_back(std::move(next));
        }
    }

    int32_t Levels() const { return static_cast<int32_t>(levels.size()); }
    bool HasNaN(int64_t begin, int64_t end) const
    {
        return !nanBefore.empty() && nanBefore[end] != nanBefore[begin];
    }

    struct Offsets {
        uint8_t low;
        uint8_t high;
    };
    // The offsets of the windows of 2^k samples, k = 1 .. Levels(), by where they start.
    const Offsets* Level(int32_t k) const { return levels[k - 1].get(); }

    const double* data = nullptr;
    int32_t size = 0;

  private:
    std::vector<std::unique_ptr<Offsets[]>> levels;
    std::vector<int32_t> nanBefore; // NaNs before each index; empty when there are none
};

int32_t FloorLog2(int64_t value)
{
    return 63 - __builtin_clzll(static_cast<unsigned long long>(value));
}

// CollectColumnExtremes for samples[first .. first + count - 1] of the table's trace, with
// the same columns, values and order: the first minimum and first maximum of a column are
// the scan's own extremes, and a column with a NaN is scanned.
void CollectColumnExtremes(const ExtremeTable& table, int64_t first, int32_t count, int32_t width,
                           int32_t halfY, int32_t pixelsPerDiv, ColumnExtremes* columns)
{
    const double* samples = table.data;
    const int32_t top = table.Levels();
    const ExtremeTable::Offsets* level[ExtremeTable::MostLevels + 1] = {};
    for (int32_t k = 1; k <= top; ++k)
        level[k] = table.Level(k);
    ColumnSpans span(first, count, width);
    for (int32_t x = 0; x < width; ++x) {
        span.Next();
        const int64_t begin = span.begin;
        const int64_t end = span.end;
        const int64_t length = end - begin;
        int32_t minimumRow;
        int32_t maximumRow;
        bool minimumFirst;
        if (length < 2 || top == 0 || table.HasNaN(begin, end)) {
            const ColumnRange range = ScanColumn(samples, begin, end);
            minimumRow = Row(range.minimum, halfY, pixelsPerDiv);
            maximumRow = Row(range.maximum, halfY, pixelsPerDiv);
            minimumFirst = range.minimumFirst;
        } else {
            const int32_t k = std::min(FloorLog2(length), top);
            const int64_t window = int64_t{1} << k;
            const ExtremeTable::Offsets* const offsets = level[k];
            int64_t low = begin + offsets[begin].low;
            int64_t high = begin + offsets[begin].high;
            double minimum = samples[low];
            double maximum = samples[high];
            // A later window: strictly beyond only, so ties keep the earlier index.
            auto join = [&](int64_t at) {
                const ExtremeTable::Offsets o = offsets[at];
                const double a = samples[at + o.low];
                const double b = samples[at + o.high];
                low = a < minimum ? at + o.low : low;
                minimum = a < minimum ? a : minimum;
                high = b > maximum ? at + o.high : high;
                maximum = b > maximum ? b : maximum;
            };
            // Whole windows in time order (only a column longer than two of the longest has
            // more than one), then the rest with the window that ends at the column's end.
            int64_t at = begin + window;
            for (; end - at >= window; at += window)
                join(at);
            if (at < end) join(end - window);
            minimumRow = Row(minimum, halfY, pixelsPerDiv);
            maximumRow = Row(maximum, halfY, pixelsPerDiv);
            minimumFirst = low <= high;
        }
        columns[x] = minimumFirst ? ColumnExtremes{minimumRow, maximumRow}
                                  : ColumnExtremes{maximumRow, minimumRow};
    }
}

} // namespace

// The frame a memory's pixels hold besides the static layer: the traces' spans, the
// columns of the markers and the box the labels may have touched; and the extreme tables
// of the traces it drew, which outlive frames until the samples change.
struct ScreenMemory::State {
    ExtremeTable tables[SlotCount];
    bool valid = false;
    RasterPixels raster;
    StaticLayer layer;
    DenseFrame traces;
    std::vector<int32_t> markers;
    std::vector<Label> labelList;
    Box labels;
    // Widths of label texts in the font they were measured in (the style, the screen's
    // height and the line height stand for it): measuring shapes the text every time.
    std::vector<std::pair<QString, int32_t>> widths;
    bool widthsPaper = false;
    int32_t widthsHeight = -1;
    int32_t widthsLine = -1;
};

namespace {

// Turns the pixels of the frame in `memory` into `traces` on the same static layer: where
// a trace's span changed, under the old markers and in the old labels' box. Everything
// else already holds what a whole redraw would write there.
void UpdateDenseScreen(const RasterPixels& raster, const StaticLayer& layer,
                       const DenseFrame& traces, const ScreenMemory::State& memory, bool keepLabels)
{
    const int32_t w = raster.width;
    const int32_t h = raster.height;
    const int64_t stride = raster.stride;
    auto restore = [&](int32_t x, int32_t top, int32_t bottom) {
        if (top <= bottom) layer.WriteColumn(x, top, bottom, raster.bits + x, stride);
    };
    auto paint = [&](int32_t x, int32_t top, int32_t bottom) {
        for (int32_t slot = 0; slot < SlotCount; ++slot) {
            const RowSpan span = traces.At(slot, x);
            const int32_t first = std::max(span.top, top);
            const int32_t last = std::min(span.bottom, bottom);
            if (first <= last)
                FillColumn(raster.bits + first * stride + x, stride, last - first + 1,
                           traces.colour[slot]);
        }
    };
    // Where a column's spans changed, the rows a trace left go back to the background and
    // then every trace is drawn again in order, as a later one covers an earlier one.
    for (int32_t x = 0; x < w; ++x) {
        bool changed = false;
        for (int32_t slot = 0; slot < SlotCount; ++slot) {
            const RowSpan was = memory.traces.At(slot, x);
            const RowSpan now = traces.At(slot, x);
            if (was == now) continue;
            // A span that only grew needs no background, but is drawn all the same.
            changed = true;
            if (was.top > was.bottom) continue;
            if (now.top > now.bottom || was.bottom < now.top || now.bottom < was.top) {
                restore(x, was.top, was.bottom);
            } else {
                restore(x, was.top, now.top - 1);
                restore(x, now.bottom + 1, was.bottom);
            }
        }
        if (changed) paint(x, 0, h - 1);
    }
    for (const int32_t x : memory.markers) {
        restore(x, 0, h - 1);
        paint(x, 0, h - 1);
    }
    const Box& box = memory.labels;
    if (keepLabels || box.left > box.right || box.top > box.bottom) return;
    for (int32_t y = box.top; y <= box.bottom; ++y)
        layer.WriteRow(y, raster.bits + y * stride, box.left, box.right);
    for (int32_t x = box.left; x <= box.right; ++x)
        paint(x, box.top, box.bottom);
}

bool ShowsAnything(const Capture& capture, const RenderRequest& request)
{
    return request.sampleCount >= 1 && request.width >= 1 && request.height >= 1 &&
           capture.hDivisions >= 1 && capture.vDivisions >= 1;
}

// Only a view that lies inside the record is drawn; anything else would read outside the
// sample arrays.
bool TraceRangeValid(const Capture& capture, const RenderRequest& request, int32_t slot)
{
    return capture.samples[slot] != nullptr && request.firstSample >= 0 &&
           int64_t{request.firstSample} + request.sampleCount <= capture.samplesPerChannel;
}

} // namespace

int32_t SampleColumn(int64_t offset, int32_t count, int32_t width)
{
    return Clamp32(int64_t{width} * offset / count);
}

int32_t TraceRow(double value, int32_t halfY, int32_t pixelsPerDiv)
{
    return Row(value, halfY, pixelsPerDiv);
}

// ThreadSanitizer cannot run the resolver that picks a clone: it runs before the sanitizer
// is set up.
#if defined(__GNUC__) && !defined(__clang__) && defined(__x86_64__) && !defined(__SANITIZE_THREAD__)
// Where the processor has AVX, the same instructions in their three-operand form spare the
// copies that the two-operand SSE2 minimum and maximum need.
[[gnu::target_clones("avx", "default")]]
#endif
void CollectColumnExtremes(const double* samples, int32_t count, int32_t width, int32_t halfY,
                           int32_t pixelsPerDiv, ColumnExtremes* columns)
{
    // Each column's samples are one contiguous index range, so the scan needs no division
    // per sample.
    ColumnSpans span(0, count, width);
    for (int32_t x = 0; x < width; ++x) {
        span.Next();
        const ColumnRange range = ScanColumn(samples, span.begin, span.end);
        const int32_t minimumRow = Row(range.minimum, halfY, pixelsPerDiv);
        const int32_t maximumRow = Row(range.maximum, halfY, pixelsPerDiv);
        if (range.minimumFirst)
            columns[x] = ColumnExtremes{minimumRow, maximumRow};
        else
            columns[x] = ColumnExtremes{maximumRow, minimumRow};
    }
}

namespace {

// With a memory, the surface is taken as holding the memory's frame where that is still
// valid, and as cleared to black where not.
void DrawScreen(const Capture& capture, DrawingSurface& surface, const RenderRequest& request,
                ScreenMemory::State* memory)
{
    const bool remembered = memory != nullptr && memory->valid;
    if (memory != nullptr) memory->valid = false; // until this frame is complete
    // A view without samples or a screen without divisions has no geometry; callers avoid it.
    if (!ShowsAnything(capture, request)) {
        DrawingSession session(surface);
        if (memory != nullptr && session.Begin())
            surface.FillBox(0, 0, surface.SurfaceWidth(), surface.SurfaceHeight(), Rgb{0, 0, 0});
        return;
    }

    const bool paper = request.paperStyle;
    const Palette& palette = paper ? PaperPalette : ScreenPalette;
    const int32_t w = request.width;
    const int32_t h = request.height;
    const int32_t unit = paper ? std::max(1, h / 400) : 1;
    const int32_t thin = unit;
    const int32_t wide = paper ? 2 * unit : 1;
    const int32_t frameWidth = paper ? 3 * unit : 1;

    DrawingSession session(surface);
    Pens pens{};
    pens.grid = session.Pen(thin, palette.grid);
    pens.axes = session.Pen(thin, palette.axes);
    pens.trigger = session.Pen(thin, palette.trigger);
    pens.cursor1 = session.Pen(thin, palette.cursor1);
    pens.cursor2 = session.Pen(thin, palette.cursor2);
    pens.frame = session.Pen(frameWidth, palette.frame);
    for (int32_t slot = 0; slot < SlotCount; ++slot)
        pens.trace[slot] = session.Pen(wide, palette.trace[slot]);
    for (int32_t slot = 0; slot < SlotCount; ++slot)
        pens.zero[slot] = session.Pen(thin, palette.zero[slot]);
    // The paper font keeps its proportion to the screen rectangle on any page.
    if (paper) session.Font(QStringLiteral("Helvetica"), std::max(1, h / 40));
    if (!session.Begin()) return;

    Plotter plotter(surface, request.originX, request.originY);
    const int32_t nh = capture.hDivisions;
    const int32_t nv = capture.vDivisions;
    const int32_t pixelsPerDiv = h / nv;
    const int32_t halfX = w / 2;
    const int32_t halfY = h / 2;

    // Many samples per column: every trace's column extremes first, so that the background
    // and the traces can be written together where the surface allows it.
    const int32_t count = request.sampleCount;
    std::vector<ColumnExtremes> dense[SlotCount];
    int32_t denseColumns[SlotCount] = {};
    int32_t drawnSamples[SlotCount] = {};
    for (int32_t slot = 0; slot < SlotCount; ++slot) {
        if (capture.present[slot] != 1 || !TraceRangeValid(capture, request, slot)) continue;
        // Samples a cut file does not hold are not drawn: the trace ends at the last one.
        drawnSamples[slot] =
            std::clamp(PresentSamples(capture, slot) - request.firstSample, 0, count);
        if (count <= w || drawnSamples[slot] == 0) continue;
        dense[slot].resize(static_cast<size_t>(w));
        if (memory != nullptr) {
            // Built on the first frame that needs it, kept for the frames after it.
            ExtremeTable& table = memory->tables[slot];
            table.Prepare(capture.samples[slot], capture.samplesPerChannel,
                          FloorLog2((int64_t{count} + w - 1) / w));
            CollectColumnExtremes(table, request.firstSample, count, w, halfY, pixelsPerDiv,
                                  dense[slot].data());
        } else {
            CollectColumnExtremes(capture.samples[slot] + request.firstSample, count, w, halfY,
                                  pixelsPerDiv, dense[slot].data());
        }
        denseColumns[slot] = SampleColumn(drawnSamples[slot] - 1, count, w) + 1;
    }
    int32_t zeroRows[SlotCount] = {};
    for (int32_t slot = 0; slot < SlotCount; ++slot)
        zeroRows[slot] = TraceRow(capture.offsetDiv[slot], halfY, pixelsPerDiv);

    // The surface's pixels are the screen rectangle and every line would be one pixel wide
    // and short enough for the surface's own exact path (rows beyond 2^24 go through the
    // painter there, so such a screen takes the general path here too).
    const RasterPixels raster = surface.DirectPixels();
    bool composed = !paper && count > w && raster.bits != nullptr && raster.width == w &&
                    raster.height == h && request.originX == 0 && request.originY == 0;
    constexpr int32_t Reach = 1 << 24;
    auto near = [&](int32_t row) { return row >= -Reach && row <= Reach; };
    for (int32_t slot = 0; composed && slot < SlotCount; ++slot) {
        if (capture.present[slot] == 1 && !near(zeroRows[slot])) composed = false;
        for (int32_t x = 0; composed && x < denseColumns[slot]; ++x)
            composed = near(dense[slot][x].ya) && near(dense[slot][x].yb);
    }
    DenseFrame traces;
    StaticLayer layer;
    bool same = false;
    if (composed) {
        const uint32_t gridWord = Word(palette.grid);
        layer.plain.assign(static_cast<size_t>(w), Word(palette.background));
        for (int32_t i = 0; i < nh; ++i)
            layer.plain[static_cast<size_t>(int64_t{w} * i / nh)] = gridWord;
        layer.plain[halfX] = Word(palette.axes);
        // The last line drawn along a row decides it: grid, then the horizontal axis, then
        // the zero lines in slot order; only on a grid row does the vertical axis cross.
        layer.fill.assign(static_cast<size_t>(h), 0);
        layer.axisColumn.assign(static_cast<size_t>(h), -1);
        for (int32_t j = 0; j < nv; ++j) {
            const auto y = static_cast<size_t>(int64_t{h} * j / nv);
            layer.fill[y] = gridWord;
            layer.axisColumn[y] = halfX;
        }
        layer.fill[halfY] = Word(palette.axes);
        layer.axisColumn[halfY] = -1;
        for (int32_t slot = 0; slot < SlotCount; ++slot) {
            if (capture.present[slot] != 1 || zeroRows[slot] < 0 || zeroRows[slot] >= h) continue;
            layer.fill[zeroRows[slot]] = Word(palette.zero[slot]);
            layer.axisColumn[zeroRows[slot]] = -1;
        }
        layer.nextFilled.assign(static_cast<size_t>(h) + 1, h);
        for (int32_t y = h - 1; y >= 0; --y)
            layer.nextFilled[y] = layer.fill[y] != 0 ? y : layer.nextFilled[y + 1];

        for (int32_t slot = 0; slot < SlotCount; ++slot) {
            traces.colour[slot] = Word(palette.trace[slot]);
            std::vector<RowSpan>& spans = traces.spans[slot];
            spans.assign(static_cast<size_t>(w), RowSpan{0, -1});
            CoverColumns(dense[slot].data(), denseColumns[slot], spans.data());
            for (RowSpan& span : spans) {
                span.top = std::max(span.top, 0);
                span.bottom = std::min(span.bottom, h - 1);
            }
        }
        // The previous frame of the same pixels over the same background only needs the
        // difference; anything else is written whole.
        same = remembered && memory->raster.bits == raster.bits &&
               memory->raster.stride == raster.stride && memory->raster.width == raster.width &&
               memory->raster.height == raster.height && memory->layer == layer;
    } else {
        // As on a new image: the general path may leave pixels beside the screen rectangle.
        if (memory != nullptr)
            surface.FillBox(0, 0, surface.SurfaceWidth(), surface.SurfaceHeight(), Rgb{0, 0, 0});
        if (request.fillSurface)
            surface.FillBox(0, 0, surface.SurfaceWidth(), surface.SurfaceHeight(),
                            palette.background);
        else
            surface.FillBox(request.originX, request.originY, w, h, palette.background);

        surface.SelectPen(pens.grid);
        for (int32_t i = 0; i < nh; ++i) {
            const int64_t x = int64_t{w} * i / nh;
            plotter.Add(x, 0, x, h);
        }
        for (int32_t j = 0; j < nv; ++j) {
            const int64_t y = int64_t{h} * j / nv;
            plotter.Add(0, y, w, y);
        }
        plotter.Flush();

        surface.SelectPen(pens.axes);
        plotter.Line(halfX, 0, halfX, h);
        plotter.Line(0, halfY, w, halfY);

        for (int32_t slot = 0; slot < SlotCount; ++slot) {
            if (capture.present[slot] != 1) continue;
            surface.SelectPen(pens.zero[slot]);
            plotter.Line(0, zeroRows[slot], w, zeroRows[slot]);
        }

        for (int32_t slot = 0; slot < SlotCount; ++slot) {
            if (capture.present[slot] != 1 || !TraceRangeValid(capture, request, slot)) continue;
            surface.SelectPen(pens.trace[slot]);
            const double* samples = capture.samples[slot] + request.firstSample;
            const int32_t drawn = drawnSamples[slot];
            if (count <= w) {
                DrawPolyline(plotter, samples, drawn, count, w, halfY, pixelsPerDiv);
                if (int64_t{count} * 4 < w)
                    DrawSampleDots(plotter, samples, drawn, count, w, halfY, pixelsPerDiv, wide,
                                   palette.trace[slot]);
            } else if (drawn > 0) {
                DrawColumns(plotter, dense[slot].data(), denseColumns[slot]);
            }
        }
    }

    // The labels are laid out first: where neither they nor anything under them changed,
    // a kept frame's label row stays as it is.
    const int32_t margin = h / 80;
    const int32_t lineHeight = surface.LineHeight();
    if (memory != nullptr && (memory->widthsPaper != paper || memory->widthsHeight != h ||
                              memory->widthsLine != lineHeight || memory->widths.size() > 64)) {
        memory->widths.clear();
        memory->widthsPaper = paper;
        memory->widthsHeight = h;
        memory->widthsLine = lineHeight;
    }
    auto textWidth = [&](const QString& text) {
        if (memory == nullptr) return surface.TextWidth(text);
        for (const auto& [known, width] : memory->widths)
            if (known == text) return width;
        const int32_t width = surface.TextWidth(text);
        memory->widths.emplace_back(text, width);
        return width;
    };
    const int32_t gap = 3 * textWidth(QStringLiteral(" "));
    int32_t labelX = margin;
    int32_t labelRight = margin - 1;
    std::vector<Label> labels;
    auto label = [&](const QString& text, Rgb colour) {
        labels.push_back(Label{labelX, text, colour});
        labelX += textWidth(text);
        labelRight = std::max(labelRight, labelX);
        labelX += gap;
    };
    static const QString channelNames[SlotCount] = {QStringLiteral("CH1"), QStringLiteral("CH2"),
                                                    QStringLiteral("MATH")};
    for (int32_t slot = 0; slot < SlotCount; ++slot) {
        if (capture.present[slot] != 1) continue;
        if (request.showChannelScale) {
            const double voltsPerDiv = capture.voltsPerDiv[slot];
            label(FormatText(u"{0}: {1Sd5}V/DIV", channelNames[slot], voltsPerDiv),
                  palette.trace[slot]);
        } else {
            label(channelNames[slot], palette.trace[slot]);
        }
    }
    if (request.showTrigger) label(QStringLiteral("TRIG"), palette.trigger);
    if (request.showTimeScale) {
        // The time per division of the zoomed view, not the capture's time base.
        const double timePerDiv = capture.timePerDiv * count / capture.samplesPerChannel;
        label(FormatText(u"TIME: {0Sd5}s/DIV", timePerDiv), palette.timeText);
    }
    if (request.showCursors) {
        label(QStringLiteral("CUR1"), palette.cursor1);
        label(QStringLiteral("CUR2"), palette.cursor2);
    }
    if (request.showFileName) label(FileLabel(capture.filePath), palette.fileText);
    Box labelBox;
    if (labelRight >= margin) {
        // Glyphs may reach a little past their advance and line: half a line's height to
        // the sides and a whole one above and below are far more than any font needs.
        const int32_t reach = std::max(1, lineHeight);
        const int32_t side = std::max(2, reach / 2);
        labelBox.left = std::max(0, margin - side);
        labelBox.top = std::max(0, margin - reach);
        labelBox.right = std::min(w - 1, labelRight + side);
        labelBox.bottom = std::min(h - 1, margin + 2 * reach);
    }

    // Markers may lie outside the view; they are drawn wherever they fall.
    struct Marker {
        DrawingSurface::PenHandle pen;
        int32_t x;
    };
    std::vector<Marker> markerLines;
    auto marker = [&](DrawingSurface::PenHandle pen, int32_t index) {
        markerLines.push_back(
            Marker{pen, SampleColumn(int64_t{index} - request.firstSample, count, w)});
    };
    if (request.showTrigger) marker(pens.trigger, capture.triggerIndex);
    if (request.showCursors) {
        marker(pens.cursor1, request.cursor1);
        marker(pens.cursor2, request.cursor2);
    }
    std::vector<int32_t> markers;
    for (const Marker& line : markerLines)
        if (line.x >= 0 && line.x < w) markers.push_back(line.x);

    bool keepLabels = false;
    if (composed) {
        if (same) {
            auto clear = [&](const DenseFrame& frame, const std::vector<int32_t>& columns) {
                for (const int32_t x : columns)
                    if (x >= labelBox.left && x <= labelBox.right) return false;
                for (int32_t x = labelBox.left; x <= labelBox.right; ++x)
                    for (int32_t slot = 0; slot < SlotCount; ++slot)
                        if (frame.At(slot, x).top <=
                            std::min(frame.At(slot, x).bottom, labelBox.bottom))
                            return false;
                return true;
            };
            keepLabels = labels == memory->labelList && labelBox.left == memory->labels.left &&
                         labelBox.top == memory->labels.top &&
                         labelBox.right == memory->labels.right &&
                         labelBox.bottom == memory->labels.bottom && clear(traces, markers) &&
                         clear(memory->traces, memory->markers);
            UpdateDenseScreen(raster, layer, traces, *memory, keepLabels);
        } else {
            ComposeDenseScreen(raster, layer, traces);
        }
    }
    for (const Marker& line : markerLines) {
        surface.SelectPen(line.pen);
        plotter.Line(line.x, 0, line.x, h);
    }
    if (!keepLabels)
        for (const Label& text : labels)
            plotter.Text(text.x, margin, text.text, text.colour);

    if (paper) {
        surface.SelectPen(pens.frame);
        plotter.Add(0, 0, w, 0);
        plotter.Add(0, h - 1, w, h - 1);
        plotter.Add(0, 0, 0, h);
        plotter.Add(w - 1, 0, w - 1, h);
        plotter.Flush();
    }

    if (memory != nullptr && composed) {
        memory->raster = raster;
        memory->layer = std::move(layer);
        memory->labels = labelBox;
        memory->labelList = std::move(labels);
        memory->markers = std::move(markers);
        std::swap(memory->traces, traces);
        memory->valid = true;
    }
}

} // namespace

ScreenMemory::ScreenMemory() : state(std::make_unique<State>()) {}

ScreenMemory::~ScreenMemory() = default;

void ScreenMemory::Forget()
{
    state->valid = false;
    state->widths.clear();
}

void ScreenMemory::ForgetSamples()
{
    for (ExtremeTable& table : state->tables)
        table.Forget();
}

void ScreenRenderer(const Capture& capture, DrawingSurface& surface, const RenderRequest& request)
{
    DrawScreen(capture, surface, request, nullptr);
}

void ScreenRenderer(const Capture& capture, DrawingSurface& surface, const RenderRequest& request,
                    ScreenMemory& memory)
{
    DrawScreen(capture, surface, request, &memory.Get());
}

QImage RenderScreenImage(const Capture& capture, const RenderRequest& request)
{
    if (request.width < 1 || request.height < 1) return QImage();
    // RGB32 takes Qt's fast fill and line paths; drawing into a 24-bit image is several
    // times slower, so the conversion waits until an encoder needs it.
    QImage image(request.width, request.height, QImage::Format_RGB32);
    if (image.isNull()) return image;
    image.fill(Qt::black);
    PainterSurface surface(&image);
    ScreenRenderer(capture, surface, request);
    return image;
}

QImage RenderScreenImage(const Capture& capture, const RenderRequest& request, double ratio)
{
    if (!(ratio > 1.0)) return RenderScreenImage(capture, request);
    const RenderRequest device = AtPixelRatio(request, ratio);
    if (device.width < 1 || device.height < 1) return QImage();
    QImage image(device.width, device.height, QImage::Format_RGB32);
    if (image.isNull()) return image;
    image.fill(Qt::black);
    {
        // The ratio is set afterwards: drawing must not go through a scaled painter, which
        // would widen every one-pixel pen to r device pixels.
        PainterSurface surface(&image);
        surface.SetTextScale(ratio);
        ScreenRenderer(capture, surface, device);
    }
    image.setDevicePixelRatio(ratio);
    return image;
}

namespace {

// An RGB32 image in memory that may be mapped in large pages: a redraw that writes down the
// columns of a large image touches a new page in every row.
QImage KeptImage(int32_t width, int32_t height)
{
#ifdef __linux__
    constexpr size_t Large = size_t{2} << 20;
    const size_t bytes = size_t(width) * size_t(height) * 4;
    if (width <= (1 << 20) && height <= (1 << 20) && bytes >= Large) {
        const size_t size = (bytes + Large - 1) / Large * Large;
        void* memory = nullptr;
        if (posix_memalign(&memory, Large, size) == 0) {
            madvise(memory, size, MADV_HUGEPAGE);
            return QImage(
                static_cast<uchar*>(memory), width, height, qsizetype(width) * 4,
                QImage::Format_RGB32, [](void* block) { std::free(block); }, memory);
        }
    }
#endif
    return QImage(width, height, QImage::Format_RGB32);
}

} // namespace

const QImage& ScreenImage::Render(const Capture& capture, const RenderRequest& request,
                                  double ratio)
{
    const bool scaled = ratio > 1.0;
    const RenderRequest device = scaled ? AtPixelRatio(request, ratio) : request;
    if (device.width < 1 || device.height < 1) {
        image = QImage();
        memory.Forget();
        return image;
    }
    // A kept label row was drawn in the font of its frame.
    const QFont font = QGuiApplication::font();
    if (font != labelFont || ratio != labelRatio) {
        memory.Forget();
        labelFont = font;
        labelRatio = ratio;
    }
    if (image.width() != device.width || image.height() != device.height) {
        memory.Forget();
        image = KeptImage(device.width, device.height);
        if (image.isNull()) return image;
        image.fill(Qt::black); // as a new image of RenderScreenImage, should drawing fail
    }
    // Drawn in device pixels as RenderScreenImage does, the ratio set again afterwards.
    image.setDevicePixelRatio(1.0);
    {
        PainterSurface surface(&image);
        if (scaled) surface.SetTextScale(ratio);
        ScreenRenderer(capture, surface, device, memory);
    }
    image.setDevicePixelRatio(scaled ? ratio : 1.0);
    return image;
}
