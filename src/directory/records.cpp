#include "directory/records.h"

#include "core/servicehosts.h"

#include <QFile>
#include <QRegularExpression>
#include <QUrl>

#include <array>

namespace directory {

namespace {

constexpr std::array<const char*, 7> kDayNames{"Mon", "Tue", "Wed", "Thu", "Fri", "Sat", "Sun"};

// Why a value cannot be stored: the service's line format cuts values out between tags on one
// line and the application does not unescape, so markup and line breaks can never be carried.
std::optional<QString> characterProblem(const QString& column, const QString& value) {
    for (const QChar c : value) {
        if (c == u'<' || c == u'>')
            return QStringLiteral("%1 contains \"%2\"").arg(column, c);
        if (c == u'\r' || c == u'\n')
            return QStringLiteral("%1 contains a line break").arg(column);
        if (c.category() == QChar::Other_Control)
            return QStringLiteral("%1 contains a control character").arg(column);
    }
    return std::nullopt;
}

// A plain decimal, no sign or exponent: the application reads these digits as they are.
bool decimalInRange(const QString& text, double low, double high) {
    static const QRegularExpression decimal(QStringLiteral("^[0-9]{1,5}(\\.[0-9]{1,6})?$"));
    if (!decimal.match(text).hasMatch())
        return false;
    const double value = text.toDouble();
    return value >= low && value <= high;
}

bool isWebAddress(const QString& text) {
    return core::isWebAddress(QUrl(text, QUrl::StrictMode));
}

// Checks the header and the shape shared by both files, then hands each row's trimmed values
// to `readRow`, which returns the reason the row is wrong, if it is.
template <typename Row, typename RowReader>
Parsed<Row> readTable(const QByteArray& utf8, const char* header, RowReader readRow) {
    CsvTable table = readCsv(utf8);
    if (table.error)
        return {{}, table.error};
    const QStringList columns = QString::fromLatin1(header).split(u',');
    if (table.records.isEmpty())
        return {{}, ParseError{1, QStringLiteral("the header line is missing: %1").arg(header)}};
    QStringList found;
    for (const QString& name : table.records.first().fields)
        found << name.trimmed().toLower();
    if (found != columns)
        return {{},
                ParseError{table.records.first().line,
                           QStringLiteral("the header line must be: %1").arg(header)}};

    Parsed<Row> parsed;
    for (qsizetype r = 1; r < table.records.size(); ++r) {
        const CsvRecord& record = table.records[r];
        if (record.fields.size() != columns.size())
            return {{},
                    ParseError{record.line, QStringLiteral("expected %1 values, found %2")
                                                .arg(columns.size())
                                                .arg(record.fields.size())}};
        QStringList values;
        for (qsizetype c = 0; c < columns.size(); ++c) {
            values << record.fields[c].trimmed();
            if (auto problem = characterProblem(columns[c], values.last()))
                return {{}, ParseError{record.line, *problem}};
        }
        Row row;
        if (auto problem = readRow(values, row, record.line))
            return {{}, ParseError{record.line, *problem}};
        parsed.rows.append(row);
    }
    return parsed;
}

} // namespace

QString netNameKey(const QString& name) {
    QString key;
    for (const QChar c : name)
        if (c.isLetterOrNumber())
            key += c.toCaseFolded();
    return key;
}

QString daysText(Weekdays days) {
    if ((days & kEveryDay) == kEveryDay)
        return QStringLiteral("daily");
    QStringList names;
    for (int d = 0; d < 7; ++d)
        if (days & (1 << d))
            names << QString::fromLatin1(kDayNames[d]);
    return names.join(u' ');
}

std::optional<Weekdays> parseDays(const QString& text) {
    if (text.compare(u"daily", Qt::CaseInsensitive) == 0)
        return kEveryDay;
    Weekdays days = 0;
    const QStringList names = text.split(u' ', Qt::SkipEmptyParts);
    for (const QString& name : names) {
        int d = 0;
        while (d < 7 && name.compare(QLatin1String(kDayNames[d]), Qt::CaseInsensitive) != 0)
            ++d;
        if (d == 7)
            return std::nullopt;
        days |= Weekdays(1 << d);
    }
    return days ? std::optional(days) : std::nullopt;
}

Parsed<NetRecord> readNetsCsv(const QByteArray& utf8) {
    static const QRegularExpression hhmm(QStringLiteral("^([01][0-9]|2[0-3])[0-5][0-9]$"));
    QHash<int, int> idLines;
    return readTable<NetRecord>(
        utf8, kNetsHeader,
        [&](const QStringList& v, NetRecord& net, int line) -> std::optional<QString> {
            if (!v[0].isEmpty()) {
                bool ok = false;
                net.id = v[0].toInt(&ok);
                if (!ok || net.id <= 0)
                    return QStringLiteral("id \"%1\" is not a positive whole number").arg(v[0]);
                if (idLines.contains(net.id))
                    return QStringLiteral("id %1 is also on line %2")
                        .arg(net.id)
                        .arg(idLines[net.id]);
                idLines.insert(net.id, line);
            }
            net.name = v[1];
            if (net.name.isEmpty())
                return QStringLiteral("name is empty");
            net.frequencyMhz = v[2];
            if (!decimalInRange(net.frequencyMhz, 0.1, 3000))
                return QStringLiteral("frequency_mhz \"%1\" is not a number from 0.1 to 3000")
                    .arg(v[2]);
            net.utc = v[3];
            if (!hhmm.match(net.utc).hasMatch())
                return QStringLiteral("utc \"%1\" is not a time as HHMM").arg(v[3]);
            const std::optional<Weekdays> days = parseDays(v[4]);
            if (!days)
                return QStringLiteral("days \"%1\" is neither daily nor weekday names Mon to Sun")
                    .arg(v[4]);
            net.days = *days;
            net.mode = v[5];
            if (net.mode.isEmpty())
                return QStringLiteral("mode is empty");
            net.url = v[6];
            if (!net.url.isEmpty() && !isWebAddress(net.url))
                return QStringLiteral("url \"%1\" is not an http or https address").arg(v[6]);
            if (!v[7].isEmpty()) {
                bool ok = false;
                net.durationMin = v[7].toInt(&ok);
                // Longer than a day would overlap the next day's session of a daily net.
                if (!ok || net.durationMin < 1 || net.durationMin > 1440)
                    return QStringLiteral("duration_min \"%1\" is not a whole number from 1 to "
                                          "1440")
                        .arg(v[7]);
            }
            return std::nullopt;
        });
}

QByteArray writeNetsCsv(const QList<NetRecord>& nets) {
    const auto field = [](const QString& value) {
        if (!value.contains(u',') && !value.contains(u'"'))
            return value;
        return u'"' + QString(value).replace(u'"', QStringLiteral("\"\"")) + u'"';
    };
    QString out = QString::fromLatin1(kNetsHeader) + u'\n';
    for (const NetRecord& net : nets)
        out += QStringList{net.id > 0 ? QString::number(net.id) : QString(),
                           field(net.name),
                           field(net.frequencyMhz),
                           field(net.utc),
                           daysText(net.days),
                           field(net.mode),
                           field(net.url),
                           QString::number(net.durationMin)}
                   .join(u',') +
               u'\n';
    return out.toUtf8();
}

Parsed<StationRecord> readStationsCsv(const QByteArray& utf8) {
    return readTable<StationRecord>(
        utf8, kStationsHeader,
        [](const QStringList& v, StationRecord& station, int) -> std::optional<QString> {
            station = {v[0], v[1], v[2], v[3], v[4]};
            if (station.call.isEmpty())
                return QStringLiteral("call is empty");
            if (!decimalInRange(station.frequencyKhz, 520, 1710))
                return QStringLiteral("frequency_khz \"%1\" is not a number from 520 to 1710")
                    .arg(v[1]);
            if (station.city.isEmpty())
                return QStringLiteral("city is empty");
            if (!decimalInRange(station.powerKw, 0.001, 2000))
                return QStringLiteral("power_kw \"%1\" is not a number from 0.001 to 2000")
                    .arg(v[3]);
            if (!station.url.isEmpty() && !isWebAddress(station.url))
                return QStringLiteral("url \"%1\" is not an http or https address").arg(v[4]);
            return std::nullopt;
        });
}

namespace {

QByteArray resource(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

} // namespace

QByteArray bundledNetsCsv() {
    return resource(QStringLiteral(":/bundled/nets.csv"));
}

QByteArray bundledStationsCsv() {
    return resource(QStringLiteral(":/bundled/mw.csv"));
}

} // namespace directory
