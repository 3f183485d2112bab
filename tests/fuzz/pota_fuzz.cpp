#include "feeds/jsonrecords.h"
#include "feeds/spotfeeds.h"
#include "feeds/textfeed.h"

#include "fuzzcheck.h"

#include <QTimeZone>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdlib>
#include <limits>
#include <string>

// The POTA reply cut into rows from any body: no QRT spot, freshest first (ages that are not
// numbers last), one line per skipped spot.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const QDateTime now(QDate(2024, 12, 1), QTime(0, 0), QTimeZone::utc());
    const QByteArray body = fuzzcheck::bytes(data, size);
    const feeds::Parsed<core::PotaSpot> parsed = feeds::parsePotaSpots(body, now);
    qint64 previousAge = std::numeric_limits<qint64>::min();
    for (const core::PotaSpot& row : parsed.rows) {
        FUZZ_CHECK(!row.comments.contains(QLatin1String("qrt"), Qt::CaseInsensitive), row.comments);
        const qint64 age = core::parseWholeNumber(row.age).value_or(feeds::kNotANumberKey);
        FUZZ_CHECK(age >= previousAge, row.age);
        previousAge = age;
    }
    for (const QString& line : parsed.diagnostics)
        FUZZ_CHECK(line.startsWith(QLatin1String("POTA spots: ")) && !line.contains(u'\n'), line);

    // A coordinate beyond the 32-bit float range is never shown as some other number: its spot
    // is skipped. strtod (C locale: the fuzzer never sets one) is the reference reading.
    static constexpr std::array<std::string_view, 2> kCoordinates = {"latitude", "longitude"};
    feeds::JsonRecords records = feeds::readJsonRecords(body, kCoordinates);
    for (std::size_t element = 0; element < records.elements.size(); ++element) {
        for (std::size_t key = 0; key < kCoordinates.size(); ++key) {
            const feeds::JsonField& field = records.field(element, key, kCoordinates.size());
            if (field.type != feeds::JsonType::Number ||
                std::fabs(std::strtod(std::string(field.number).c_str(), nullptr)) <=
                    double(std::numeric_limits<float>::max()))
                continue;
            const QString skipped = QStringLiteral("POTA spots: spot %1 skipped").arg(element);
            FUZZ_CHECK(std::any_of(parsed.diagnostics.begin(), parsed.diagnostics.end(),
                                   [&](const QString& line) { return line.startsWith(skipped); }),
                       skipped);
        }
    }
    return 0;
}
