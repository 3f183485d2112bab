#include "core/callsign.h"
#include "core/numbers.h"
#include "feeds/sotaapi.h"
#include "feeds/sotacluster.h"

#include "fuzzcheck.h"

#include <QRegularExpression>
#include <QSet>
#include <QTimeZone>

// Cluster lines as a cluster might send them: every spot read names a valid callsign, a positive
// frequency and a real time of day, and the spots kept are on 2 to 69 MHz, at most three hours
// old, one per activator and summit.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const QDateTime now(QDate(2026, 10, 6), QTime(1, 0), QTimeZone::utc());
    static const QRegularExpression kReference(
        QStringLiteral("^([A-Z0-9]{1,4}/[A-Z0-9]{2}-[0-9]{3})?$"));
    const QByteArray input =
        QByteArray::fromRawData(reinterpret_cast<const char*>(data), qsizetype(size));
    feeds::ClusterSpots spots;
    for (const QByteArray& line : input.split('\n')) {
        const std::optional<feeds::ClusterSpot> spot =
            feeds::parseClusterLine(QString::fromUtf8(line));
        if (!spot)
            continue;
        FUZZ_CHECK(core::readCallsign(spot->activator) == spot->activator, spot->activator);
        const std::optional<float> megahertz = core::parseFloat32(spot->frequency);
        FUZZ_CHECK(megahertz && *megahertz > 0, spot->frequency);
        FUZZ_CHECK(spot->minuteOfDay >= 0 && spot->minuteOfDay < 24 * 60,
                   QString::number(spot->minuteOfDay));
        FUZZ_CHECK(kReference.match(spot->summit).hasMatch(), spot->summit);
        FUZZ_CHECK(!spot->mode.isEmpty(), spot->frequency);
        spots.add(*spot, now);
    }
    QSet<QString> seen;
    for (const core::SotaSpot& row : spots.rows(now)) {
        FUZZ_CHECK(feeds::onSotaBands(row.frequency), row.frequency);
        FUZZ_CHECK(row.age.toInt() >= 0 && row.age.toInt() <= 180, row.age);
        const QString key = row.activatorCallsign + u' ' + row.summitCode;
        FUZZ_CHECK(!seen.contains(key), key);
        seen.insert(key);
    }
    return 0;
}
