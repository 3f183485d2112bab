#include "feeds/textfeed.h"

#include <QStringList>

#include <algorithm>
#include <array>
#include <limits>
#include <vector>

namespace feeds {

namespace {

// The text between the first opening tag of the line and the first closing tag after it,
// untrimmed and unescaped; nothing when either is missing.
std::optional<QString> scanTag(QStringView line, QStringView open, QStringView close) {
    const qsizetype start = line.indexOf(open);
    if (start < 0)
        return std::nullopt;
    const qsizetype valueStart = start + open.size();
    const qsizetype end = line.indexOf(close, valueStart);
    if (end < 0)
        return std::nullopt;
    return line.mid(valueStart, end - valueStart).toString();
}

const QString kFrequencyCharacters = QStringLiteral("0123456789.");

// One list of values per tag, filled line by line; positions of different lists relate only
// through the order of the lines, and rows pair them position by position.
template <std::size_t N> using TagValues = std::array<QString, N>;

// Rows of values, one value per tag in the order of the tags.
template <std::size_t N>
QList<TagValues<N>> pairTagValues(const QString& text, const std::array<QStringView, N>& tags,
                                  qsizetype frequencyIndex) {
    std::array<QString, N> opens;
    std::array<QString, N> closes;
    for (std::size_t t = 0; t < N; ++t) {
        opens[t] = u'<' + tags[t].toString() + u'>';
        closes[t] = QStringLiteral("</") + tags[t].toString() + u'>';
    }

    std::array<QStringList, N> lists;
    for (const QStringView line : QStringView(text).split(u'\n')) {
        for (std::size_t t = 0; t < N; ++t) {
            std::optional<QString> value = scanTag(line, opens[t], closes[t]);
            if (!value)
                continue;
            if (qsizetype(t) == frequencyIndex)
                value = keepCharacters(*value, kFrequencyCharacters);
            lists[t].append(std::move(*value));
        }
    }

    qsizetype complete = std::numeric_limits<qsizetype>::max();
    for (const QStringList& list : lists)
        complete = std::min(complete, list.size());
    QList<TagValues<N>> rows;
    rows.reserve(complete);
    for (qsizetype i = 0; i < complete; ++i) {
        TagValues<N> row;
        for (std::size_t t = 0; t < N; ++t)
            row[t] = lists[t][i];
        rows.append(std::move(row));
    }
    return rows;
}

} // namespace

QString keepCharacters(QStringView text, QStringView allowed) {
    QString kept;
    kept.reserve(text.size());
    for (const QChar c : text)
        if (allowed.contains(c))
            kept.append(c);
    return kept;
}

QString decodeFeedText(const QByteArray& body) {
    // fromUtf8 substitutes U+FFFD for every malformed sequence and keeps going.
    return QString::fromUtf8(body);
}

QList<core::NetLoggerNet> parseNetLoggerNets(const QString& text) {
    static constexpr std::array<QStringView, 4> kTags = {u"NetName", u"Frequency", u"Mode",
                                                         u"SubscriberCount"};
    const auto all = pairTagValues(text, kTags, 1);

    struct Keyed {
        qint64 count;
        qsizetype index;
    };
    std::vector<Keyed> keyed;
    for (qsizetype i = 0; i < all.size(); ++i)
        if (all[i][2] == u"SSB")
            keyed.push_back({core::parseWholeNumber(all[i][3]).value_or(kNotANumberKey), i});
    std::stable_sort(keyed.begin(), keyed.end(),
                     [](const Keyed& a, const Keyed& b) { return a.count > b.count; });

    QList<core::NetLoggerNet> rows;
    rows.reserve(qsizetype(keyed.size()));
    for (const Keyed& k : keyed) {
        const auto& v = all[k.index];
        rows.append({v[0], v[1], v[2], v[3]});
    }
    return rows;
}

namespace {

// The five predefined XML entities and numeric character references; anything else stays.
QString decodeEntities(const QString& text) {
    if (!text.contains(u'&'))
        return text;
    static const std::array<std::pair<QStringView, QChar>, 5> kNamed = {
        {{u"amp", u'&'}, {u"lt", u'<'}, {u"gt", u'>'}, {u"quot", u'"'}, {u"apos", u'\''}}};
    QString out;
    out.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        const qsizetype end = text[i] == u'&' ? text.indexOf(u';', i) : -1;
        if (end < 0 || end - i > 10) {
            out += text[i];
            continue;
        }
        const QStringView name = QStringView(text).mid(i + 1, end - i - 1);
        std::optional<char32_t> decoded;
        for (const auto& [entity, c] : kNamed)
            if (name == entity)
                decoded = c.unicode();
        if (name.startsWith(u'#')) {
            bool ok = false;
            const uint code = name.startsWith(u"#x") || name.startsWith(u"#X")
                                  ? name.mid(2).toUInt(&ok, 16)
                                  : name.mid(1).toUInt(&ok, 10);
            if (ok && code > 0 && code <= 0x10FFFF && (code < 0xD800 || code > 0xDFFF))
                decoded = char32_t(code);
        }
        if (!decoded) {
            out += text[i];
            continue;
        }
        out += QString::fromUcs4(&*decoded, 1);
        i = end;
    }
    return out;
}

} // namespace

ActiveNets parseActiveNets(const QString& text) {
    static constexpr std::array<std::pair<QStringView, QString ActiveNet::*>, 7> kTags = {{
        {u"NetName", &ActiveNet::name},
        {u"Frequency", &ActiveNet::frequency},
        {u"Mode", &ActiveNet::mode},
        {u"Band", &ActiveNet::band},
        {u"NetControl", &ActiveNet::netControl},
        {u"Date", &ActiveNet::date},
        {u"SubscriberCount", &ActiveNet::subscribers},
    }};
    ActiveNets reply;
    reply.recognised = text.contains(u"<NetLoggerXML>");
    const QStringView all(text);
    for (qsizetype at = all.indexOf(u"<Net>"); at >= 0; at = all.indexOf(u"<Net>", at)) {
        const qsizetype end = all.indexOf(u"</Net>", at);
        if (end < 0)
            break;
        const QStringView block = all.mid(at + 5, end - at - 5);
        ActiveNet net;
        for (const auto& [tag, field] : kTags) {
            const QString open = u'<' + tag.toString() + u'>';
            const QString close = QStringLiteral("</") + tag.toString() + u'>';
            if (const std::optional<QString> value = scanTag(block, open, close))
                net.*field = decodeEntities(*value).trimmed();
        }
        reply.nets.append(std::move(net));
        at = end + 6;
    }
    return reply;
}

QList<core::DirectoryNet> parseNetsDirectory(const QString& text) {
    static constexpr std::array<QStringView, 7> kTags = {u"NetName", u"Frequency", u"UTC",  u"Mode",
                                                         u"URL",     u"Confirmed", u"NetID"};
    QList<core::DirectoryNet> rows;
    for (const auto& v : pairTagValues(text, kTags, 1))
        rows.append({v[0], v[1], v[2], v[3], v[4], v[5], v[6]});
    // Days and Duration follow a net's NetID; a service that sends neither leaves them empty.
    qsizetype net = -1;
    for (const QStringView line : QStringView(text).split(u'\n')) {
        if (scanTag(line, u"<NetID>", u"</NetID>"))
            ++net;
        if (net < 0 || net >= rows.size())
            continue;
        if (std::optional<QString> days = scanTag(line, u"<Days>", u"</Days>"))
            rows[net].days = std::move(*days);
        if (std::optional<QString> minutes = scanTag(line, u"<Duration>", u"</Duration>"))
            rows[net].duration = std::move(*minutes);
    }
    return rows;
}

QList<core::MwStation> parseMWStations(const QString& text) {
    static constexpr std::array<QStringView, 5> kTags = {u"Station", u"Frequency", u"City",
                                                         u"Power", u"URL"};
    QList<core::MwStation> rows;
    for (const auto& v : pairTagValues(text, kTags, 1))
        rows.append({v[0], v[1], v[2], v[3], v[4]});
    return rows;
}

} // namespace feeds
