// Indexing a liked list of 78,036 ids in the lazy grid, ids whose first and last fields carry
// the same number ("%08X-0000-4000-8000-%012X", as some stored lists have them) against random
// ids. Target: the patterned ids within 2x the time of the random ones. Run liked-ids-bench.sh.
//
//   liked-ids-bench [ids]

#include "ui/LazyGridView.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QUuid>

#include <algorithm>
#include <cstdio>
#include <cstdlib>

namespace {

constexpr int kDefaultIds = 78036;
constexpr int kRounds = 5;

QList<QUuid> patternedIds(int count)
{
    QList<QUuid> ids;
    ids.reserve(count);
    for (int n = 1; n <= count; ++n)
        ids.append(QUuid(QStringLiteral("%1-0000-4000-8000-%2").arg(n, 8, 16, QLatin1Char('0')).arg(n, 12, 16, QLatin1Char('0'))));
    return ids;
}

QList<QUuid> randomIds(int count)
{
    QList<QUuid> ids;
    ids.reserve(count);
    for (int n = 0; n < count; ++n)
        ids.append(QUuid::createUuid());
    return ids;
}

// The best of a few rounds of handing a fresh grid the whole list, in milliseconds.
double setKeysMs(const QList<QUuid>& ids)
{
    double best = 1e300;
    for (int round = 0; round < kRounds; ++round) {
        LazyGridView grid;
        grid.setCellFactory([](int) { return new QWidget; });
        QElapsedTimer clock;
        clock.start();
        grid.setKeys(ids);
        best = std::min(best, clock.nsecsElapsed() / 1e6);
    }
    return best;
}

} // namespace

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    const int count = argc > 1 ? std::atoi(argv[1]) : kDefaultIds;
    const double random = setKeysMs(randomIds(count));
    const double patterned = setKeysMs(patternedIds(count));
    std::printf("ids                 %d\n", count);
    std::printf("random ids          %.2f ms\n", random);
    std::printf("patterned ids       %.2f ms\n", patterned);
    std::printf("ratio               %.2fx (target: at most 2x)\n", patterned / random);
    return 0;
}
