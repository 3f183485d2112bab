#include "conditions/bandconditions.h"
#include "core/numbers.h"
#include "feeds/jsonrecords.h"
#include "feeds/sotaapi.h"
#include "feeds/sotacluster.h"
#include "feeds/spotfeeds.h"
#include "feeds/textfeed.h"
#include "feeds/wwffspots.h"

#include "fuzzcheck.h"

#include <QSet>
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

// Every WWFF row has a callsign and a positive frequency, newest first (ages that are not numbers
// last).
void checkWwff(const QByteArray& body) {
    const feeds::Parsed<core::WwffSpot> parsed = feeds::parseWwffSpots(body, kNow);
    qint64 previousAge = std::numeric_limits<qint64>::min();
    for (const core::WwffSpot& row : parsed.rows) {
        FUZZ_CHECK(!row.activator.trimmed().isEmpty());
        const std::optional<float> kilohertz = core::parseFloat32(row.frequency);
        FUZZ_CHECK(kilohertz && std::isfinite(*kilohertz) && *kilohertz > 0, row.frequency);
        const qint64 age =
            core::parseWholeNumber(row.age).value_or(std::numeric_limits<qint64>::max());
        FUZZ_CHECK(age >= previousAge, row.age);
        previousAge = age;
    }
    checkLines(parsed.diagnostics, QLatin1String("WWFF spots: "));
}

// The frequency column keeps digits and points only.
template <class Row> void checkRows(const QList<Row>& rows) {
    for (const Row& row : rows)
        for (const QChar c : row.frequency)
            FUZZ_CHECK((c >= u'0' && c <= u'9') || c == u'.', row.frequency);
}

void checkTextFeeds(const QByteArray& body) {
    const QString text = feeds::decodeFeedText(body);
    // Every byte is read: nothing is dropped at a malformed sequence, and valid text comes
    // through unchanged but for a leading byte-order mark.
    const QByteArray unmarked = body.startsWith("\xEF\xBB\xBF") ? body.mid(3) : body;
    FUZZ_CHECK(unmarked.isEmpty() == text.isEmpty());
    if (QByteArrayView(body).isValidUtf8())
        FUZZ_CHECK(text.toUtf8() == unmarked);

    // A whole number reads back as itself, apart from its sign and leading zeros.
    for (const QStringView line : QStringView(text).split(u'\n')) {
        const std::optional<qint64> number = core::parseWholeNumber(line);
        if (!number)
            continue;
        QStringView digits = line.startsWith(u'-') || line.startsWith(u'+') ? line.mid(1) : line;
        while (digits.size() > 1 && digits.front() == u'0')
            digits = digits.mid(1);
        const bool negative = line.startsWith(u'-') && digits != u"0";
        FUZZ_CHECK(QString::number(*number) ==
                       (negative ? QStringLiteral("-") : QString()) + digits.toString(),
                   line.toString());
    }
    checkRows(feeds::parseNetLoggerNets(text));
    checkRows(feeds::parseNetsDirectory(text));
    checkRows(feeds::parseMWStations(text));
}

// Every cluster spot read has a positive frequency and a real time of day, and the spots kept
// are on 2 to 69 MHz, at most three hours old, one per activator and summit.
void checkCluster(const QByteArray& body) {
    static const QDateTime now(QDate(2026, 10, 6), QTime(1, 0), QTimeZone::utc());
    feeds::ClusterSpots spots;
    for (const QByteArray& line : body.split('\n')) {
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
}

// The solar-data reply cut into slots and coloured for the panel.
void checkConditions(const QByteArray& body) {
    const std::optional<conditions::ConditionSlots> values = conditions::cutConditionSlots(body);
    const conditions::PanelView view = conditions::panelView(values);
    // Data only from a non-empty, wholly valid UTF-8 body (a cut-off last character included).
    FUZZ_CHECK(values.has_value() == (!body.isEmpty() && QByteArrayView(body).isValidUtf8()));
    FUZZ_CHECK(view.fields.size() == 11);
    FUZZ_CHECK(view.title.startsWith(QLatin1String("Band Conditions - ")), view.title);
    for (const conditions::FieldView& field : view.fields) {
        // A value never carries the markup around it.
        FUZZ_CHECK(!field.text.contains(u'<') && !field.text.contains(u'>'), field.text);
        FUZZ_CHECK(values ? field.colour != conditions::Colour::Normal
                          : field.text.isEmpty() && field.colour == conditions::Colour::Normal,
                   field.name);
    }
    const conditions::FieldView& magic = view.fields.last();
    FUZZ_CHECK(!values || (magic.name == u"magicBand" &&
                           (magic.text == u"Open" || magic.text == u"Closed")),
               magic.text);
}

// The legacy SOTA and current SOTA API replies cut into rows.
void checkSota(const QByteArray& body) {
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

} // namespace

// Every reply of the feeds and the conditions, read from any body: the POTA, legacy SOTA, current
// SOTA API and WWFF spots, the NetLogger, nets and MW lists, cluster lines and solar data.
FUZZ_TARGET(body) {
    checkPota(body);
    checkSota(body);
    checkWwff(body);
    checkTextFeeds(body);
    checkCluster(body);
    checkConditions(body);
}
