#include "feeds/sotaapi.h"

#include "fuzzcheck.h"

#include <QTimeZone>

// A current-API reply cut into rows: any body gives rows on 2 to 69 MHz with the mode in upper
// case and the height and points written as the legacy feed wrote them.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const QDateTime now(QDate(2026, 8, 5), QTime(22, 0), QTimeZone::utc());
    const QByteArray body =
        QByteArray::fromRawData(reinterpret_cast<const char*>(data), qsizetype(size));
    const feeds::Parsed<core::SotaSpot> parsed = feeds::parseSotaApiSpots(body, now);
    for (const core::SotaSpot& row : parsed.rows) {
        FUZZ_CHECK(feeds::onSotaBands(row.frequency), row.frequency);
        FUZZ_CHECK(row.mode == row.mode.toUpper(), row.mode);
        FUZZ_CHECK(row.height == u" " || row.height.endsWith(u'm'), row.height);
        FUZZ_CHECK(row.points == u" " || row.points.endsWith(u" points"), row.points);
        FUZZ_CHECK(!row.summitName.isEmpty() || row.summitCode.trimmed().isEmpty(), row.summitCode);
    }
    for (const QString& line : parsed.diagnostics)
        FUZZ_CHECK(line.startsWith(u"SOTA spots: ") && !line.contains(u'\n'), line);
    FUZZ_CHECK(parsed.notice.isEmpty() || !parsed.notice.contains(u'\n'), parsed.notice);
    return 0;
}
