#include "feeds/spotfeeds.h"

#include "fuzzcheck.h"

#include <QTimeZone>

#include <cmath>

// The SOTA reply cut into rows from any body: every kept spot reads as 2 to 69 whole megahertz.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const QDateTime now(QDate(2024, 12, 1), QTime(0, 0), QTimeZone::utc());
    const feeds::Parsed<core::SotaSpot> parsed =
        feeds::parseSotaSpots(fuzzcheck::bytes(data, size), now);
    for (const core::SotaSpot& row : parsed.rows) {
        const std::optional<float> megahertz = core::parseFloat32(row.frequency);
        FUZZ_CHECK(megahertz && std::trunc(*megahertz) >= 2.0f && std::trunc(*megahertz) < 70.0f,
                   row.frequency);
    }
    for (const QString& line : parsed.diagnostics)
        FUZZ_CHECK(line.startsWith(QLatin1String("SOTA spots: ")) && !line.contains(u'\n'), line);
    return 0;
}
