#include "conditions/bandconditions.h"
#include "core/numbers.h"
#include "feeds/sotaapi.h"
#include "feeds/sotacluster.h"
#include "feeds/textfeed.h"

#include "fuzzcheck.h"

#include <QSet>
#include <QTimeZone>

namespace {

using conditions::Colour;

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
        FUZZ_CHECK(values ? field.colour != Colour::Normal
                          : field.text.isEmpty() && field.colour == Colour::Normal,
                   field.name);
    }
    const conditions::FieldView& magic = view.fields.last();
    FUZZ_CHECK(!values || (magic.name == u"magicBand" &&
                           (magic.text == u"Open" || magic.text == u"Closed")),
               magic.text);
}

} // namespace

// The replies read as text: the NetLogger, nets and MW lists, cluster lines and solar data.
FUZZ_TARGET(body) {
    checkTextFeeds(body);
    checkCluster(body);
    checkConditions(body);
}
