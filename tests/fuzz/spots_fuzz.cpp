#include "feeds/jsonrecords.h"
#include "feeds/sotaapi.h"
#include "feeds/spotfeeds.h"
#include "feeds/textfeed.h"

#include "fuzzcheck.h"

#include <QTimeZone>

#include <algorithm>
#include <cmath>
#include <limits>
#include <string>

namespace {

const QDateTime kNow(QDate(2024, 12, 1), QTime(0, 0), QTimeZone::utc());

// Each diagnostic is one line naming its feed.
void checkLines(const QStringList& diagnostics, QLatin1String feed) {
    for (const QString& line : diagnostics)
        FUZZ_CHECK(line.startsWith(feed) && !line.contains(u'\n'), line);
}

void checkPota(const QByteArray& body) {
    // No QRT spot, freshest first (ages that are not numbers last).
    const feeds::Parsed<core::PotaSpot> parsed = feeds::parsePotaSpots(body, kNow);
    qint64 previousAge = std::numeric_limits<qint64>::min();
    for (const core::PotaSpot& row : parsed.rows) {
        FUZZ_CHECK(!row.comments.contains(QLatin1String("qrt"), Qt::CaseInsensitive), row.comments);
        const qint64 age = core::parseWholeNumber(row.age).value_or(feeds::kNotANumberKey);
        FUZZ_CHECK(age >= previousAge, row.age);
        previousAge = age;
    }
    checkLines(parsed.diagnostics, QLatin1String("POTA spots: "));

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
}

} // namespace

// The POTA, legacy SOTA and current SOTA API replies cut into rows from any body.
FUZZ_TARGET(body) {
    checkPota(body);

    // Every legacy SOTA spot kept reads as 2 to 69 whole megahertz.
    const feeds::Parsed<core::SotaSpot> sota = feeds::parseSotaSpots(body, kNow);
    for (const core::SotaSpot& row : sota.rows) {
        const std::optional<float> megahertz = core::parseFloat32(row.frequency);
        FUZZ_CHECK(megahertz && std::trunc(*megahertz) >= 2.0f && std::trunc(*megahertz) < 70.0f,
                   row.frequency);
    }
    checkLines(sota.diagnostics, QLatin1String("SOTA spots: "));

    // The current API's rows are on 2 to 69 MHz with the mode in upper case and the height and
    // points written as the legacy feed wrote them.
    const feeds::Parsed<core::SotaSpot> api = feeds::parseSotaApiSpots(body, kNow);
    for (const core::SotaSpot& row : api.rows) {
        FUZZ_CHECK(feeds::onSotaBands(row.frequency), row.frequency);
        FUZZ_CHECK(row.mode == row.mode.toUpper(), row.mode);
        FUZZ_CHECK(row.height == u" " || row.height.endsWith(u'm'), row.height);
        FUZZ_CHECK(row.points == u" " || row.points.endsWith(u" points"), row.points);
        FUZZ_CHECK(!row.summitName.isEmpty() || row.summitCode.trimmed().isEmpty(), row.summitCode);
    }
    checkLines(api.diagnostics, QLatin1String("SOTA spots: "));
    FUZZ_CHECK(!api.notice.contains(u'\n'), api.notice);
}
