#include "pictor/processing/BoxBlur.h"

#include "pictor/core/Saturating.h"

#include <QtConcurrent/QtConcurrentMap>

#include <cmath>
#include <numeric>
#include <vector>

namespace pictor {

namespace {

constexpr double sqrtTwoPi = 2.5066282746310002;

// One horizontal running-sum pass over rows [first, last).
void blurRows(QImage& bitmap, int first, int last, int box)
{
    const int width = bitmap.width();
    const int half = box / 2;
    std::vector<uint8_t> line(size_t(width) * 4);
    for (int y = first; y < last; ++y) {
        uint8_t* row = bitmap.scanLine(y);
        std::copy(row, row + line.size(), line.begin());
        for (int c = 0; c < 4; ++c) {
            const auto at = [&](int x) { return int(line[size_t(std::clamp(x, 0, width - 1)) * 4 + c]); };
            // The window around x = 0, its part beyond either edge counted as the edge pixel.
            int64_t sum = int64_t(half + 1) * at(0) + int64_t(std::max(0, half - (width - 1))) * at(width - 1);
            for (int x = 1; x <= std::min(half, width - 1); ++x)
                sum += at(x);
            for (int x = 0; x < width; ++x) {
                row[size_t(x) * 4 + c] = uint8_t((sum + half) / box);
                sum += at(x + half + 1) - at(x - half);
            }
        }
    }
}

// One vertical running-sum pass over byte columns [first, last) of every row.
void blurColumns(QImage& bitmap, const QImage& source, int first, int last, int box)
{
    const int height = bitmap.height();
    const int half = box / 2;
    std::vector<int64_t> sums(size_t(last - first), 0);
    const auto row = [&](int y) { return source.constScanLine(std::clamp(y, 0, height - 1)) + first; };
    const auto addRow = [&](int y, int64_t times) {
        const uint8_t* line = row(y);
        for (size_t i = 0; i < sums.size(); ++i)
            sums[i] += times * line[i];
    };
    addRow(0, half + 1);
    addRow(height - 1, std::max(0, half - (height - 1)));
    for (int y = 1; y <= std::min(half, height - 1); ++y)
        addRow(y, 1);
    for (int y = 0; y < height; ++y) {
        uint8_t* out = bitmap.scanLine(y) + first;
        const uint8_t* entering = row(y + half + 1);
        const uint8_t* leaving = row(y - half);
        for (size_t i = 0; i < sums.size(); ++i) {
            out[i] = uint8_t((sums[i] + half) / box);
            sums[i] += entering[i] - leaving[i];
        }
    }
}

// Splits [0, count) into about one range per core and runs the job on each in parallel.
template <typename Job>
void inStrips(int count, int alignment, Job job)
{
    const int strips = std::max(1, std::min(QThread::idealThreadCount(), count / 64));
    std::vector<std::pair<int, int>> ranges;
    const int step = ((count + strips - 1) / strips + alignment - 1) / alignment * alignment;
    for (int first = 0; first < count; first += step)
        ranges.emplace_back(first, std::min(count, first + step));
    QtConcurrent::blockingMap(ranges, [&job](const std::pair<int, int>& range) { job(range.first, range.second); });
}

} // namespace

int BoxBlur::boxSize(double radius)
{
    const double s = radius > 2 ? radius : 2;
    const int d = clampToInt(std::floor(s * 3 * sqrtTwoPi / 4 + 0.5));
    return d % 2 == 0 ? d + 1 : d;
}

int BoxBlur::passes(double radius)
{
    if (radius < 0.5)
        return 1;
    return radius < 1.5 ? 2 : 3;
}

void BoxBlur::apply(QImage& bitmap, int boxSize, int passes)
{
    const int width = bitmap.width();
    const int height = bitmap.height();
    if (width == 0 || height == 0)
        return;
    for (int pass = 0; pass < passes; ++pass) {
        inStrips(height, 1, [&](int first, int last) { blurRows(bitmap, first, last, boxSize); });
        const QImage source = bitmap.copy();
        inStrips(width * 4, 4, [&](int first, int last) { blurColumns(bitmap, source, first, last, boxSize); });
    }
}

} // namespace pictor
