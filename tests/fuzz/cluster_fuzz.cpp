#include "core/numbers.h"
#include "feeds/sotaapi.h"
#include "feeds/sotacluster.h"

#include "fuzzcheck.h"

#include <QSet>
#include <QTimeZone>

// Cluster lines as a cluster might send them: every spot read has a positive frequency and a real
// time of day, and the spots kept are on 2 to 69 MHz, at most three hours old, one per activator
// and summit.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const QDateTime now(QDate(2026, 10, 6), QTime(1, 0), QTimeZone::utc());
    const QByteArray input =
        QByteArray::fromRawData(reinterpret_cast<const char*>(data), qsizetype(size));
    feeds::ClusterSpots spots;
    for (const QByteArray& line : input.split('\n')) {
        const auto spot = feeds::parseClusterLine(QString::fromUtf8(line));
        if (!spot)
            continue;
        FUZZ_CHECK(core::parseFloat32(spot->frequency).value_or(0) > 0, spot->frequency);
        FUZZ_CHECK(spot->minuteOfDay >= 0 && spot->minuteOfDay < 24 * 60, spot->activator);
        spots.add(*spot, now);
    }
    QSet<QString> seen;
    for (const core::SotaSpot& row : spots.rows(now)) {
        const QString key = row.activatorCallsign + u' ' + row.summitCode;
        FUZZ_CHECK(feeds::onSotaBands(row.frequency) && !seen.contains(key), key);
        FUZZ_CHECK(row.age.toInt() >= 0 && row.age.toInt() <= 180, row.age);
        seen.insert(key);
    }
    return 0;
}
