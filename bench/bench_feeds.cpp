#include "feeds/spotfeeds.h"

#include "fixtures.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTimeZone>

#include <benchmark/benchmark.h>

namespace {

const QDateTime kNow(QDate(2024, 12, 1), QTime(0, 0), QTimeZone::utc());

// A reply of `count` spots built from the captured ones, with spread-out spot times so that
// the sort has real work to do.
QByteArray potaReply(int count) {
    const QJsonArray captured =
        QJsonDocument::fromJson(fixture("pota-activator-spots.json")).array();
    if (captured.isEmpty())
        return {};
    QJsonArray spots;
    for (int i = 0; i < count; ++i) {
        QJsonObject spot = captured.at(i % captured.size()).toObject();
        spot["spotId"] = 32760000 + i;
        spot["spotTime"] =
            kNow.addSecs(-((i * 7919) % 3600)).toString(QStringLiteral("yyyy-MM-ddTHH:mm:ss"));
        spots.append(spot);
    }
    return QJsonDocument(spots).toJson(QJsonDocument::Compact);
}

void potaSpotsToSortedRows(benchmark::State& state) {
    const QByteArray body = potaReply(int(state.range(0)));
    if (body.isEmpty()) {
        state.SkipWithError("capture not found");
        return;
    }
    for (auto _ : state) {
        feeds::Parsed<core::PotaSpot> parsed = feeds::parsePotaSpots(body, kNow);
        benchmark::DoNotOptimize(parsed);
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
    state.SetBytesProcessed(state.iterations() * body.size());
}
BENCHMARK(potaSpotsToSortedRows)->Arg(100)->Arg(10000)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
