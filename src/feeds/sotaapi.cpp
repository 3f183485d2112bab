#include "feeds/sotaapi.h"

#include "core/numbers.h"
#include "feeds/jsonrecords.h"
#include "feeds/spotfeeds.h"

#include <QLatin1String>
#include <QTimeZone>

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <limits>
#include <string_view>
#include <vector>

namespace feeds {

namespace {

const QString kFeed = QStringLiteral("SOTA spots");
constexpr qsizetype kMaxEpochChars = 64;

// The shortest plain decimal that reads back as the same double ("14.062", "297").
QString shortestDecimal(double value) {
    std::array<char, 400> text{};
    const auto [end, ec] =
        std::to_chars(text.data(), text.data() + text.size(), value, std::chars_format::fixed);
    return ec == std::errc() ? QString::fromLatin1(text.data(), end - text.data()) : QString();
}

// Reads the members of one element; the first broken expectation is kept in error() and the
// element is then skipped whole.
class ElementReader {
public:
    ElementReader(JsonField* fields, std::span<const std::string_view> keys)
        : m_fields(fields)
        , m_keys(keys) {}

    const QString& error() const { return m_error; }

    // A string member; "" when null or missing, unless it is required.
    QString text(std::size_t key, bool required = false) {
        JsonField& field = m_fields[key];
        if (field.type == JsonType::String)
            return std::move(field.text);
        if (required || (field.type != JsonType::Missing && field.type != JsonType::Null))
            fail(key, "a string");
        return {};
    }

    // A number member, or a string holding one, as decimal text; "" when null or missing.
    QString numberText(std::size_t key) {
        JsonField& field = m_fields[key];
        if (field.type == JsonType::String)
            return field.text.trimmed();
        if (field.type == JsonType::Missing || field.type == JsonType::Null)
            return {};
        if (field.type != JsonType::Number) {
            fail(key, "a number");
            return {};
        }
        double value = 0;
        const char* begin = field.number.data();
        const char* end = begin + field.number.size();
        // Beyond a double's range the number is no frequency, height or score anyway.
        if (std::from_chars(begin, end, value).ec != std::errc() || !std::isfinite(value))
            return {};
        return shortestDecimal(value);
    }

private:
    void fail(std::size_t key, const char* expected) {
        if (m_error.isEmpty())
            m_error = QStringLiteral("key \"%1\": expected %2 but found %3")
                          .arg(QLatin1String(m_keys[key].data(), qsizetype(m_keys[key].size())),
                               QLatin1String(expected), jsonTypeName(m_fields[key].type));
    }

    JsonField* m_fields;
    std::span<const std::string_view> m_keys;
    QString m_error;
};

std::optional<qint64> elementTime(QStringView timeStamp) {
    // "2026-08-05T21:46:18.348572Z": the fraction and its zone letter are cut off at the point.
    const qsizetype point = timeStamp.indexOf(u'.');
    const std::optional<QDateTime> time =
        parseSpotTime(point < 0 ? timeStamp : timeStamp.left(point));
    return time ? std::optional<qint64>(time->toMSecsSinceEpoch()) : std::nullopt;
}

} // namespace

QString sotaEpochPath() {
    return QStringLiteral("/api/spots/epoch");
}

QString sotaApiSpotsPath() {
    return QStringLiteral("/api/spots/-3/all/all");
}

std::optional<QString> readSpotEpoch(const QByteArray& body) {
    const QByteArray token = body.trimmed();
    if (token.isEmpty() || token.size() > kMaxEpochChars)
        return std::nullopt;
    for (char c : token)
        if (c <= ' ' || c > '~')
            return std::nullopt;
    return QString::fromLatin1(token);
}

Parsed<core::SotaSpot> parseSotaApiSpots(const QByteArray& body, const QDateTime& now) {
    enum Key : std::size_t {
        TimeStamp,
        Comments,
        ActivatorCallsign,
        ActivatorName,
        Frequency,
        Mode,
        SummitCode,
        SummitName,
        AltM,
        Points,
        Type,
        AssociationCode,
        KeyCount
    };
    static constexpr std::array<std::string_view, KeyCount> kKeys = {
        "timeStamp", "comments",       "activatorCallsign", "activatorName", "frequency",
        "mode",      "summitCode",     "summitName",        "AltM",          "points",
        "type",      "associationCode"};

    Parsed<core::SotaSpot> parsed;
    std::optional<JsonRecords> read = readSpotRecords(body, kKeys, kFeed, parsed.diagnostics);
    if (!read) {
        parsed.notice = QStringLiteral("The SOTA spot API did not answer with a list of spots");
        return parsed;
    }
    JsonRecords& records = *read;

    struct Spot {
        QString activator;
        std::optional<qint64> time;
        core::SotaSpot row;
    };
    std::vector<Spot> spots;
    std::vector<Spot> qrts;
    QStringList unknownTypes;
    int unreadable = 0;
    for (std::size_t index = 0; index < records.elements.size(); ++index) {
        if (records.elements[index] != JsonType::Object) {
            ++unreadable;
            parsed.diagnostics.append(notAnObjectLine(kFeed, index, records.elements[index]));
            continue;
        }
        JsonField* fields = &records.field(index, 0, KeyCount);
        if (isDeprecationStub(fields[ActivatorCallsign], fields[AssociationCode],
                              fields[SummitCode])) {
            if (parsed.notice.isEmpty())
                parsed.diagnostics.append(kFeed + QStringLiteral(": ") + kSotaDeprecatedNotice);
            parsed.notice = kSotaDeprecatedNotice;
            continue;
        }
        ElementReader reader(fields, kKeys);
        Spot spot;
        core::SotaSpot& row = spot.row;
        row.activatorCallsign = reader.text(ActivatorCallsign, true);
        row.activatorName = reader.text(ActivatorName);
        row.frequency = reader.numberText(Frequency);
        row.mode = reader.text(Mode).toUpper();
        // As in the legacy feed, a null comment is shown as one blank.
        const bool commented = fields[Comments].type == JsonType::String;
        const QString comments = reader.text(Comments);
        row.comments = commented ? comments : QStringLiteral(" ");
        row.summitCode = reader.text(SummitCode, true);
        row.summitName = reader.text(SummitName);
        const QString height = reader.numberText(AltM);
        const QString points = reader.numberText(Points);
        const QString timeStamp = reader.text(TimeStamp);
        const QString type = reader.text(Type).trimmed().toUpper();
        if (!reader.error().isEmpty()) {
            ++unreadable;
            parsed.diagnostics.append(skippedSpotLine(kFeed, index, reader.error()));
            continue;
        }
        spot.activator = row.activatorCallsign.trimmed().toUpper();
        spot.time = elementTime(timeStamp);
        if (type == u"QRT") {
            qrts.push_back(std::move(spot));
            continue;
        }
        if (!type.isEmpty() && type != u"NORMAL") {
            if (type != u"TEST" && !unknownTypes.contains(type)) {
                unknownTypes.append(type);
                // The service's text, cut short and without line ends, so that it stays one line.
                QString shown = type.left(32);
                for (QChar& c : shown)
                    if (!c.isPrint())
                        c = u'?';
                parsed.diagnostics.append(
                    QStringLiteral("%1: spots of type \"%2\" left out").arg(kFeed, shown));
            }
            continue;
        }
        if (!onSotaBands(row.frequency))
            continue;
        // The table has no column for the reference, so a spot without a name shows that.
        if (row.summitName.trimmed().isEmpty())
            row.summitName = row.summitCode;
        row.height = height.isEmpty() ? QStringLiteral(" ") : height + u'm';
        row.points = points.isEmpty() ? QStringLiteral(" ") : points + QStringLiteral(" points");
        row.age = spot.time
                      ? QString::number(spotAgeMinutes(
                            QDateTime::fromMSecsSinceEpoch(*spot.time, QTimeZone::utc()), now))
                      : QString();
        spots.push_back(std::move(spot));
    }

    // A spot goes when its activator went QRT at or after it; without both times, it goes too,
    // since a station that has closed down must not be tuned to.
    const auto closed = [&qrts](const Spot& spot) {
        for (const Spot& qrt : qrts)
            if (qrt.activator == spot.activator &&
                (!qrt.time || !spot.time || *qrt.time >= *spot.time))
                return true;
        return false;
    };
    // The API promises no order; the newest spot comes first, and one without a time last.
    std::stable_sort(spots.begin(), spots.end(), [](const Spot& a, const Spot& b) {
        return a.time.value_or(std::numeric_limits<qint64>::min()) >
               b.time.value_or(std::numeric_limits<qint64>::min());
    });
    for (Spot& spot : spots)
        if (!closed(spot))
            parsed.rows.append(std::move(spot.row));

    if (parsed.notice.isEmpty() && parsed.rows.isEmpty() && unreadable > 0)
        parsed.notice = QStringLiteral("None of the %1 SOTA spots could be read; see the "
                                       "diagnostic lines")
                            .arg(unreadable);
    return parsed;
}

SotaApiLoader::SotaApiLoader(QNetworkAccessManager* nam, QObject* parent)
    : QObject(parent)
    , m_fetch(nam) {
    connect(&m_fetch, &net::DeadlineFetch::diagnostic, this, &SotaApiLoader::diagnostic);
    connect(&m_fetch, &net::DeadlineFetch::replied, this, &SotaApiLoader::onReplied);
    connect(&m_fetch, &net::DeadlineFetch::expired, this, &SotaApiLoader::onExpired);
}

void SotaApiLoader::start(const QUrl& base, const QDateTime& now) {
    m_base = base;
    m_now = now;
    m_askingForSpots = false;
    m_unchanged = false;
    m_fetch.setDeadlineMs(m_deadlineMs);
    m_fetch.start(net::makeRequest(core::serviceUrl(base, sotaEpochPath()),
                                   net::CachePolicy::AlwaysNetwork, net::kFeedTimeoutMs));
}

void SotaApiLoader::onReplied(const net::FetchResult& result) {
    if (m_askingForSpots || !result.arrived || result.httpStatus >= 300)
        return;
    const std::optional<QString> epoch = readSpotEpoch(result.body);
    if (epoch && m_haveSpots && *epoch == m_epoch) {
        m_unchanged = true;
        return;
    }
    if (!epoch)
        emit diagnostic(kFeed + QStringLiteral(": the spot epoch is not a short text; asking "
                                               "for the whole list"));
    m_pendingEpoch = epoch.value_or(QString());
    m_askingForSpots = true;
    // The list gets a deadline of its own: a slow epoch must not leave it no time at all.
    m_fetch.setDeadlineMs(m_deadlineMs);
    m_fetch.start(net::makeRequest(core::serviceUrl(m_base, sotaApiSpotsPath()),
                                   net::CachePolicy::AlwaysNetwork, net::kFeedTimeoutMs));
}

void SotaApiLoader::onExpired(const net::FetchResult& result) {
    if (!m_askingForSpots && m_unchanged)
        return show(m_spots);
    const QUrl url =
        core::serviceUrl(m_base, m_askingForSpots ? sotaApiSpotsPath() : sotaEpochPath());
    QString failure = net::failureText(result, url, m_deadlineMs);
    if (failure.isEmpty() && !m_askingForSpots)
        failure = QStringLiteral("no spot epoch from %1").arg(url.host());
    if (!failure.isEmpty()) {
        // Transport failures and time-outs have had their line from the fetch.
        if (result.arrived)
            emit diagnostic(kFeed + QStringLiteral(": GET ") + url.toDisplayString() +
                            QStringLiteral(": ") + failure);
        emit shown(LoadedList{ListKind::Sota, emptyRows(ListKind::Sota), failure, {}});
        return;
    }
    m_spots = result.body;
    m_epoch = m_pendingEpoch;
    m_haveSpots = !m_epoch.isEmpty();
    show(m_spots);
}

void SotaApiLoader::show(const QByteArray& body) {
    Parsed<core::SotaSpot> parsed = parseSotaApiSpots(body, m_now);
    for (const QString& line : parsed.diagnostics)
        emit diagnostic(line);
    emit shown(LoadedList{ListKind::Sota, std::move(parsed.rows), {}, parsed.notice});
}

} // namespace feeds
