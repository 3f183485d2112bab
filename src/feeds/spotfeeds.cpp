#include "feeds/spotfeeds.h"

#include "feeds/jsonrecords.h"
#include "feeds/textfeed.h"

#include <QDate>
#include <QLatin1String>
#include <QTimeZone>

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <limits>
#include <span>
#include <string_view>
#include <vector>

namespace feeds {

using core::parseFloat32;
using core::shortestFloatText;

namespace {

constexpr qint64 kMsecsPerDay = 86400000;
constexpr qint64 kUnixEpochJulianDay = 2440588;

int twoDigits(QStringView text, qsizetype at) {
    return (text[at].unicode() - u'0') * 10 + (text[at + 1].unicode() - u'0');
}

// Milliseconds since the Unix epoch, without building a QDateTime per spot.
std::optional<qint64> spotTimeMsecs(QStringView text) {
    if (text.endsWith(u'Z'))
        text.chop(1);
    if (text.size() != 19)
        return std::nullopt;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char16_t c = text[i].unicode();
        switch (i) {
        case 4:
        case 7:
            if (c != u'-')
                return std::nullopt;
            break;
        case 10:
            if (c != u'T')
                return std::nullopt;
            break;
        case 13:
        case 16:
            if (c != u':')
                return std::nullopt;
            break;
        default:
            if (c < u'0' || c > u'9')
                return std::nullopt;
        }
    }
    const QDate date(twoDigits(text, 0) * 100 + twoDigits(text, 2), twoDigits(text, 5),
                     twoDigits(text, 8));
    const int hour = twoDigits(text, 11);
    const int minute = twoDigits(text, 14);
    const int second = twoDigits(text, 17);
    if (!date.isValid() || hour > 23 || minute > 59 || second > 59)
        return std::nullopt;
    return (date.toJulianDay() - kUnixEpochJulianDay) * kMsecsPerDay +
           ((hour * 60 + minute) * 60 + second) * qint64(1000);
}

qint64 ageMinutes(qint64 timeMsecs, qint64 nowMsecs) {
    // Integer division truncates toward zero, at the seconds as at the minutes.
    return (nowMsecs - timeMsecs) / 1000 / 60;
}

QString ageText(std::optional<qint64> timeMsecs, qint64 nowMsecs) {
    return timeMsecs ? QString::number(ageMinutes(*timeMsecs, nowMsecs)) : QString();
}

// Amateur allocations of every region, from 2200 m up, in kilohertz.
// clang-format off
constexpr std::array<std::pair<qint64, qint64>, 30> kAmateurKilohertz = {{
    {135, 138}, {472, 479}, {1800, 2000}, {3500, 4000}, {5250, 5450}, {7000, 7300},
    {10100, 10150}, {14000, 14350}, {18068, 18168}, {21000, 21450}, {24890, 24990},
    {28000, 29700}, {40660, 40700}, {50000, 54000}, {70000, 70500}, {144000, 148000},
    {219000, 225000}, {420000, 450000}, {902000, 928000}, {1240000, 1300000},
    {2300000, 2450000}, {3300000, 3500000}, {5650000, 5925000}, {10000000, 10500000},
    {24000000, 24250000}, {47000000, 47200000}, {76000000, 81000000}, {122250000, 123000000},
    {134000000, 141000000}, {241000000, 250000000},
}};
// clang-format on

bool onAmateurBand(double kilohertz) {
    return std::any_of(kAmateurKilohertz.begin(), kAmateurKilohertz.end(), [&](const auto& band) {
        return kilohertz >= double(band.first) && kilohertz <= double(band.second);
    });
}

// POTA spots carry kilohertz, but some clients send hertz ("21063000"): a whole number that lies
// on no band as kilohertz but on one as hertz is written as the kilohertz it stands for.
QString potaKilohertz(QString frequency) {
    const std::optional<qint64> number = core::parseWholeNumber(frequency);
    if (!number || *number <= 0 || onAmateurBand(double(*number)) ||
        !onAmateurBand(double(*number) / 1000.0))
        return frequency;
    QString text = QString::number(*number / 1000);
    if (const qint64 hertz = *number % 1000; hertz != 0) {
        QString below = QStringLiteral("%1").arg(hertz, 3, 10, QLatin1Char('0'));
        while (below.endsWith(u'0'))
            below.chop(1);
        text += u'.' + below;
    }
    return text;
}

// POTA marks a spot it has judged wrong with a member "invalid" that is neither null, false nor 0.
bool markedInvalid(const JsonField& field) {
    switch (field.type) {
    case JsonType::Missing:
    case JsonType::Null:
        return false;
    case JsonType::Bool:
        return field.number == "true";
    case JsonType::Number: {
        double value = 0;
        std::from_chars(field.number.data(), field.number.data() + field.number.size(), value);
        return value != 0;
    }
    default:
        return true;
    }
}

} // namespace

std::optional<JsonRecords> readSpotRecords(const QByteArray& body,
                                           std::span<const std::string_view> keys,
                                           const QString& feed, QStringList& diagnostics) {
    JsonRecords records = readJsonRecords(body, keys);
    if (!records.error.isEmpty()) {
        diagnostics.append(
            QStringLiteral("%1: the reply is not a JSON array: %2").arg(feed, records.error));
        return std::nullopt;
    }
    return records;
}

QString skippedSpotLine(const QString& feed, std::size_t index, const QString& description) {
    return QStringLiteral("%1: spot %2 skipped: %3").arg(feed).arg(index).arg(description);
}

QString notAnObjectLine(const QString& feed, std::size_t index, JsonType type) {
    return skippedSpotLine(
        feed, index, QStringLiteral("expected an object but found %1").arg(jsonTypeName(type)));
}

bool onSotaBands(const QString& megahertzText) {
    // Only the whole megahertz count; "14,062", " 14.062" and infinities are not numbers.
    const std::optional<float> megahertz = parseFloat32(megahertzText);
    if (!megahertz || !std::isfinite(*megahertz))
        return false;
    const float whole = std::trunc(*megahertz);
    return whole >= 2.0f && whole <= 69.0f;
}

const QString kSotaDeprecatedNotice =
    QStringLiteral("The SOTA spot service reports this address as deprecated; choose another "
                   "source in Preferences, Spot Sources");

bool isDeprecationStub(const JsonField& activator, const JsonField& association,
                       const JsonField& summit) {
    for (const JsonField* field : {&activator, &association, &summit})
        if (field->type == JsonType::String &&
            field->text.trimmed().compare(QLatin1String("DEPRECATED"), Qt::CaseInsensitive) == 0)
            return true;
    return false;
}

std::optional<QDateTime> parseSpotTime(QStringView text) {
    const std::optional<qint64> msecs = spotTimeMsecs(text);
    if (!msecs)
        return std::nullopt;
    return QDateTime::fromMSecsSinceEpoch(*msecs, QTimeZone::utc());
}

qint64 spotAgeMinutes(const QDateTime& time, const QDateTime& now) {
    return ageMinutes(time.toMSecsSinceEpoch(), now.toMSecsSinceEpoch());
}

Parsed<core::PotaSpot> parsePotaSpots(const QByteArray& body, const QDateTime& now) {
    static const QString kFeed = QStringLiteral("POTA spots");
    enum Key : std::size_t {
        Activator,
        Frequency,
        Mode,
        Comments,
        Name,
        SpotTime,
        Latitude,
        Longitude,
        LocationDesc,
        Reference,
        Invalid,
        KeyCount
    };
    static constexpr std::array<std::string_view, KeyCount> kKeys = {
        "activator", "frequency", "mode",         "comments",  "name",   "spotTime",
        "latitude",  "longitude", "locationDesc", "reference", "invalid"};

    Parsed<core::PotaSpot> parsed;
    std::optional<JsonRecords> records = readSpotRecords(body, kKeys, kFeed, parsed.diagnostics);
    parsed.unreadable = !records;
    if (!records)
        return parsed;

    const qint64 nowMsecs = now.toMSecsSinceEpoch();
    struct Keyed {
        qint64 age;
        core::PotaSpot row;
    };
    std::vector<Keyed> keyed;
    keyed.reserve(records->elements.size());
    int invalid = 0;
    for (std::size_t index = 0; index < records->elements.size(); ++index) {
        if (records->elements[index] != JsonType::Object) {
            parsed.diagnostics.append(notAnObjectLine(kFeed, index, records->elements[index]));
            continue;
        }
        JsonField* fields = &records->field(index, 0, KeyCount);
        if (markedInvalid(fields[Invalid])) {
            ++invalid;
            continue;
        }
        RecordReader reader(fields, kKeys);
        // Only who and where make a spot; any other member the service left empty (null) is an
        // empty cell.
        QString activator = reader.required(Activator);
        QString frequency = potaKilohertz(reader.required(Frequency));
        QString mode = reader.optionalText(Mode).value_or(QString());
        QString comments = reader.optionalText(Comments).value_or(QString());
        QString name = reader.optionalText(Name).value_or(QString());
        const QString spotTime = reader.optionalText(SpotTime).value_or(QString());
        const float latitude = reader.optionalFloat(Latitude).value_or(0.0f);
        const float longitude = reader.optionalFloat(Longitude).value_or(0.0f);
        QString locationDesc = reader.optionalText(LocationDesc).value_or(QString());
        QString reference = reader.optionalText(Reference).value_or(QString());
        if (!reader.ok()) {
            parsed.diagnostics.append(skippedSpotLine(kFeed, index, reader.error()));
            continue;
        }
        if (comments.contains(QLatin1String("qrt"), Qt::CaseInsensitive))
            continue;
        // Some clients write a missing comment as C's text for a null pointer.
        if (comments.trimmed() == u"(null)")
            comments.clear();

        const std::optional<qint64> time = spotTimeMsecs(spotTime);
        // A time that does not parse leaves the age empty, which sorts like a non-number.
        const qint64 age = time ? ageMinutes(*time, nowMsecs) : kNotANumberKey;
        keyed.push_back(
            {age, core::PotaSpot{std::move(activator), std::move(frequency), std::move(mode),
                                 std::move(comments), std::move(name), ageText(time, nowMsecs),
                                 shortestFloatText(latitude), shortestFloatText(longitude),
                                 std::move(locationDesc), std::move(reference)}});
    }

    if (invalid > 0)
        parsed.notice = invalid == 1
                            ? QStringLiteral("1 spot marked invalid is hidden")
                            : QStringLiteral("%1 spots marked invalid are hidden").arg(invalid);
    std::stable_sort(keyed.begin(), keyed.end(),
                     [](const Keyed& a, const Keyed& b) { return a.age < b.age; });
    parsed.rows.reserve(qsizetype(keyed.size()));
    for (Keyed& k : keyed)
        parsed.rows.append(std::move(k.row));
    return parsed;
}

Parsed<core::SotaSpot> parseSotaSpots(const QByteArray& body, const QDateTime& now) {
    static const QString kFeed = QStringLiteral("SOTA spots");
    static const QString kBlank = QStringLiteral(" ");
    enum Key : std::size_t {
        TimeStamp,
        Comments,
        ActivatorCallsign,
        ActivatorName,
        Frequency,
        Mode,
        SummitCode,
        SummitDetails,
        AssociationCode,
        KeyCount
    };
    static constexpr std::array<std::string_view, KeyCount> kKeys = {
        "timeStamp", "comments",   "activatorCallsign", "activatorName",  "frequency",
        "mode",      "summitCode", "summitDetails",     "associationCode"};

    Parsed<core::SotaSpot> parsed;
    std::optional<JsonRecords> records = readSpotRecords(body, kKeys, kFeed, parsed.diagnostics);
    parsed.unreadable = !records;
    if (!records)
        return parsed;

    const qint64 nowMsecs = now.toMSecsSinceEpoch();
    for (std::size_t index = 0; index < records->elements.size(); ++index) {
        if (records->elements[index] != JsonType::Object) {
            parsed.diagnostics.append(notAnObjectLine(kFeed, index, records->elements[index]));
            continue;
        }
        JsonField* fields = &records->field(index, 0, KeyCount);
        // Checked before anything is required of the element: the stub need not be complete.
        if (isDeprecationStub(fields[ActivatorCallsign], fields[AssociationCode],
                              fields[SummitCode])) {
            if (parsed.notice.isEmpty())
                parsed.diagnostics.append(kFeed + QStringLiteral(": ") + kSotaDeprecatedNotice);
            parsed.notice = kSotaDeprecatedNotice;
            continue;
        }
        RecordReader reader(fields, kKeys);
        const QString timeStamp = reader.required(TimeStamp);
        const std::optional<QString> comments = reader.optionalText(Comments);
        QString activatorCallsign = reader.required(ActivatorCallsign);
        QString activatorName = reader.required(ActivatorName);
        QString frequency = reader.required(Frequency);
        QString mode = reader.required(Mode);
        QString summitCode = reader.required(SummitCode);
        const QString summitDetails = reader.required(SummitDetails);
        // Not part of the record: an association of another type leaves the code as it is.
        QString association = fields[AssociationCode].type == JsonType::String
                                  ? std::move(fields[AssociationCode].text)
                                  : QString();
        if (!reader.ok()) {
            parsed.diagnostics.append(skippedSpotLine(kFeed, index, reader.error()));
            continue;
        }

        if (!onSotaBands(frequency))
            continue;

        // A fractional-seconds tail is cut off at the first full stop.
        const QList<QStringView> timePieces =
            QStringView(timeStamp).split(u'.', Qt::SkipEmptyParts);
        const std::optional<qint64> time =
            timePieces.isEmpty() ? std::nullopt : spotTimeMsecs(timePieces.first());

        // "Name, 1246m, 8 points"
        const QStringList details = summitDetails.split(u',', Qt::SkipEmptyParts);
        const bool split = details.size() >= 3;
        parsed.rows.append(core::SotaSpot{
            std::move(activatorCallsign), std::move(activatorName), std::move(frequency),
            std::move(mode), comments.value_or(kBlank), std::move(summitCode),
            split ? details[0] : summitDetails, split ? details[1].trimmed() : kBlank,
            split ? details[2].trimmed() : kBlank, ageText(time, nowMsecs),
            std::move(association)});
    }
    return parsed;
}

} // namespace feeds
