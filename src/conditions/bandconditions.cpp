#include "conditions/bandconditions.h"

#include <QStringDecoder>

namespace conditions {

namespace {

const QString kPath = QStringLiteral("/solarxml.php");
const QString kTitlePrefix = QStringLiteral("Band Conditions - ");

Colour conditionColour(const QString& value) {
    if (value == u"Good")
        return Colour::Green;
    if (value == u"Fair")
        return Colour::Orange;
    return Colour::Red;
}

Colour noiseColour(const QString& value) {
    return value == u"S0-S1" || value == u"S1-S2" ? Colour::Green : Colour::Red;
}

bool isSuccess(int httpStatus) {
    return httpStatus >= 200 && httpStatus < 300;
}

} // namespace

QString lineValue(QStringView line) {
    const qsizetype first = line.indexOf(u'>');
    if (first < 0)
        return {};
    QStringView value = line.mid(first + 1);
    const qsizetype second = value.indexOf(u'>');
    if (second >= 0)
        value = value.left(second);
    const qsizetype open = value.indexOf(u'<');
    if (open >= 0)
        value = value.left(open);
    return value.toString();
}

std::optional<ConditionSlots> cutConditionSlots(const QByteArray& body) {
    if (body.isEmpty())
        return std::nullopt;
    // Stateless: a stateful decoder keeps a sequence cut off at the end as pending input
    // instead of reporting it.
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString text = decoder.decode(body);
    if (decoder.hasError())
        return std::nullopt;
    text.remove(u'\t');

    // The service ends its lines with a bare LF; a CR before it is tolerated so that a proxy
    // rewriting line ends does not shift or blank the values.
    const QList<QStringView> lines = QStringView(text).split(u'\n');
    auto value = [&lines](qsizetype index) {
        if (index >= lines.size())
            return QString();
        QStringView line = lines[index];
        if (line.endsWith(u'\r'))
            line.chop(1);
        return lineValue(line);
    };

    ConditionSlots values;
    values.title = value(4);
    values.solarFlux = value(5);
    values.day8040 = value(20);
    values.day3020 = value(21);
    values.day1715 = value(22);
    values.day1210 = value(23);
    values.night8040 = value(24);
    values.night3020 = value(25);
    values.night1715 = value(26);
    values.night1210 = value(27);
    values.magicBand = value(33);
    values.signalNoise = value(37);
    return values;
}

QString colourName(Colour c) {
    switch (c) {
    case Colour::Normal:
        return QStringLiteral("normal");
    case Colour::Green:
        return QStringLiteral("green");
    case Colour::Orange:
        return QStringLiteral("orange");
    case Colour::Red:
        return QStringLiteral("red");
    }
    return QStringLiteral("normal");
}

PanelView panelView(const std::optional<ConditionSlots>& values) {
    PanelView view;
    if (!values) {
        view.title = kTitlePrefix;
        for (const char* name :
             {"solarFlux", "day8040", "day3020", "day1715", "day1210", "night8040", "night3020",
              "night1715", "night1210", "signalNoise", "magicBand"})
            view.fields.append({QString::fromLatin1(name), QString(), Colour::Normal});
        return view;
    }

    const ConditionSlots& s = *values;
    view.title = kTitlePrefix + s.title;
    view.fields.append({QStringLiteral("solarFlux"), s.solarFlux, Colour::Green});
    const QList<QPair<const char*, const QString*>> bands = {
        {"day8040", &s.day8040},     {"day3020", &s.day3020},     {"day1715", &s.day1715},
        {"day1210", &s.day1210},     {"night8040", &s.night8040}, {"night3020", &s.night3020},
        {"night1715", &s.night1715}, {"night1210", &s.night1210},
    };
    for (const auto& [name, value] : bands)
        view.fields.append({QString::fromLatin1(name), *value, conditionColour(*value)});
    view.fields.append({QStringLiteral("signalNoise"), s.signalNoise, noiseColour(s.signalNoise)});
    const bool closed = s.magicBand == u"Band Closed";
    view.fields.append({QStringLiteral("magicBand"),
                        closed ? QStringLiteral("Closed") : QStringLiteral("Open"),
                        closed ? Colour::Red : Colour::Green});
    return view;
}

ConditionsFetcher::ConditionsFetcher(QNetworkAccessManager* nam, QObject* parent)
    : QObject(parent)
    , m_fetch(nam) {
    connect(&m_fetch, &net::DeadlineFetch::expired, this, &ConditionsFetcher::onExpired);
    connect(&m_fetch, &net::DeadlineFetch::diagnostic, this, &ConditionsFetcher::diagnostic);
}

void ConditionsFetcher::start(const QUrl& solarBase) {
    m_fetch.start(net::makeRequest(core::serviceUrl(solarBase, kPath), net::CachePolicy::Default,
                                   net::kFeedTimeoutMs));
}

void ConditionsFetcher::onExpired(const net::FetchResult& result) {
    std::optional<ConditionSlots> values;
    // An error page or a cut-off transfer is not a solar report: its lines would be read as
    // conditions.
    if (result.arrived && result.httpStatus != 0 && !isSuccess(result.httpStatus))
        emit diagnostic(QStringLiteral("band conditions: HTTP status %1").arg(result.httpStatus));
    else if (result.arrived && result.error.isEmpty())
        values = cutConditionSlots(result.body);
    emit shown(panelView(values));
}

} // namespace conditions
