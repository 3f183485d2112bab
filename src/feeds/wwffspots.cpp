#include "feeds/wwffspots.h"

#include "core/numbers.h"
#include "feeds/jsonrecords.h"

#include <QLatin1String>

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <limits>
#include <optional>
#include <string_view>
#include <vector>

namespace feeds {

namespace {

enum Key : std::size_t {
    Activator,
    Frequency,
    Mode,
    Reference,
    ReferenceName,
    Remarks,
    SpotTime,
    SpotTimeFormatted,
    KeyCount
};
constexpr std::array<std::string_view, KeyCount> kKeys = {
    "activator",      "frequency_khz", "mode",      "reference",
    "reference_name", "remarks",       "spot_time", "spot_time_formatted"};

// Unix seconds this far out are no spot time (and would overflow as milliseconds).
constexpr double kLatestSeconds = 1e11;

// A text from the reply as a diagnostic quotes it: short, and on the one line of its diagnostic.
QString quoted(const QString& text) {
    constexpr qsizetype kMaxChars = 40;
    QString shown = text.left(kMaxChars);
    for (QChar& c : shown)
        if (c.category() == QChar::Other_Control || c.category() == QChar::Separator_Line ||
            c.category() == QChar::Separator_Paragraph)
            c = u' ';
    return u'"' + shown + (text.size() > kMaxChars ? QStringLiteral("…\"") : QStringLiteral("\""));
}

// The activator's callsign, which every spot must have.
QString activator(RecordReader& reader) {
    const JsonField& field = reader.field(Activator);
    QString call = field.type == JsonType::String ? field.text.trimmed() : QString();
    if (call.isEmpty())
        reader.fail(QStringLiteral("key \"activator\": no callsign but %1")
                        .arg(field.type == JsonType::String ? QStringLiteral("an empty string")
                                                            : jsonTypeName(field.type)));
    return call;
}

// Kilohertz as the spot wrote them: a JSON number's own text, or a string holding one.
QString kilohertz(RecordReader& reader) {
    const JsonField& field = reader.field(Frequency);
    QString text;
    if (field.type == JsonType::Number)
        text = QString::fromLatin1(field.number.data(), qsizetype(field.number.size()));
    else if (field.type == JsonType::String)
        text = field.text.trimmed();
    const std::optional<float> value = core::parseFloat32(text);
    if (!value || !std::isfinite(*value) || *value <= 0.0f) {
        reader.fail(QStringLiteral("key \"frequency_khz\": no frequency but %1")
                        .arg(field.type == JsonType::String   ? quoted(field.text)
                             : field.type == JsonType::Number ? text
                                                              : jsonTypeName(field.type)));
        return {};
    }
    return text;
}

// Milliseconds since the Unix epoch: Unix seconds (a number or a string of digits), else the
// formatted UTC time beside them; nothing when neither reads.
std::optional<qint64> timeMsecs(RecordReader& reader) {
    const JsonField& seconds = reader.field(SpotTime);
    std::optional<double> value;
    if (seconds.type == JsonType::Number) {
        double number = 0;
        const char* begin = seconds.number.data();
        if (std::from_chars(begin, begin + seconds.number.size(), number).ec == std::errc())
            value = number;
    } else if (seconds.type == JsonType::String) {
        if (const auto whole = core::parseWholeNumber(seconds.text.trimmed()))
            value = double(*whole);
    }
    if (value && std::abs(*value) < kLatestSeconds)
        return qint64(*value) * 1000;
    const JsonField& formatted = reader.field(SpotTimeFormatted);
    if (formatted.type != JsonType::String)
        return std::nullopt;
    // "2026-05-14 16:48:39" is the ISO form with a blank for the 'T'.
    QString iso = formatted.text;
    if (iso.size() > 10 && iso[10] == u' ')
        iso[10] = u'T';
    const std::optional<QDateTime> time = parseSpotTime(iso);
    return time ? std::optional<qint64>(time->toMSecsSinceEpoch()) : std::nullopt;
}

} // namespace

Parsed<core::WwffSpot> parseWwffSpots(const QByteArray& body, const QDateTime& now) {
    static const QString kFeed = QStringLiteral("WWFF spots");
    Parsed<core::WwffSpot> parsed;
    std::optional<JsonRecords> records = readSpotRecords(body, kKeys, kFeed, parsed.diagnostics);
    parsed.unreadable = !records;
    if (!records)
        return parsed;

    const qint64 nowMsecs = now.toMSecsSinceEpoch();
    struct Timed {
        qint64 time;
        core::WwffSpot row;
    };
    std::vector<Timed> timed;
    timed.reserve(records->elements.size());
    for (std::size_t index = 0; index < records->elements.size(); ++index) {
        if (records->elements[index] != JsonType::Object) {
            parsed.diagnostics.append(notAnObjectLine(kFeed, index, records->elements[index]));
            continue;
        }
        RecordReader reader(&records->field(index, 0, KeyCount), kKeys);
        core::WwffSpot row;
        row.activator = activator(reader);
        row.frequency = kilohertz(reader);
        row.mode = reader.text(Mode);
        row.reference = reader.text(Reference);
        row.referenceName = reader.text(ReferenceName);
        row.remarks = reader.text(Remarks);
        if (!reader.ok()) {
            parsed.diagnostics.append(skippedSpotLine(kFeed, index, reader.error()));
            continue;
        }
        const std::optional<qint64> time = timeMsecs(reader);
        // Integer division truncates toward zero, at the seconds as at the minutes.
        if (time)
            row.age = QString::number((nowMsecs - *time) / 1000 / 60);
        timed.push_back({time.value_or(std::numeric_limits<qint64>::min()), std::move(row)});
    }

    std::stable_sort(timed.begin(), timed.end(),
                     [](const Timed& a, const Timed& b) { return a.time > b.time; });
    parsed.rows.reserve(qsizetype(timed.size()));
    for (Timed& t : timed)
        parsed.rows.append(std::move(t.row));
    return parsed;
}

} // namespace feeds
