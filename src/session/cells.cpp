#include "session/cells.h"

#include "core/numbers.h"

#include <charconv>
#include <cmath>
#include <string>

namespace session {

using core::ListKind;
using core::ServiceHosts;

namespace {

// A cell shows a number only for a finite whole-text reading.
std::optional<float> readFloat(QStringView text) {
    const std::optional<float> value = core::parseFloat32(text);
    if (!value || !std::isfinite(*value))
        return std::nullopt;
    return value;
}

float numberOf(QStringView text) {
    return readFloat(text).value_or(0.0f);
}

QString oneDecimal(float value) {
    return QString::asprintf("%.1f", double(std::isfinite(value) ? value : 0.0f));
}

// Ages are whole minutes; a spot whose time did not parse has none, and " min" alone is noise.
QString minutesText(const QString& age) {
    return age.isEmpty() ? QString() : age + QStringLiteral(" min");
}

Cell plain(const QString& text, Qt::Alignment alignment = Qt::AlignLeft | Qt::AlignVCenter) {
    Cell cell;
    cell.text = text;
    cell.alignment = alignment;
    return cell;
}

// A link needs something to click on and must lead to a web page; anything else is shown as
// the plain text.
Cell linkedCell(const QString& text, const QUrl& url,
                Qt::Alignment alignment = Qt::AlignLeft | Qt::AlignVCenter) {
    Cell cell = plain(text, alignment);
    if (!text.isEmpty() && core::isWebAddress(url)) {
        cell.link = url;
        cell.linked = true;
    }
    return cell;
}

QUrl mapUrl(const core::PotaSpot& row, const ServiceHosts& hosts) {
    // The position texts are percent-encoded so that a stray '&' or '#' cannot reshape the query.
    const QString latitude = QString::fromLatin1(QUrl::toPercentEncoding(row.latitude));
    const QString longitude = QString::fromLatin1(QUrl::toPercentEncoding(row.longitude));
    const QString position = latitude + u',' + longitude;
    return core::serviceUrl(hosts.maps, QStringLiteral("/?q=") + position + QStringLiteral("&ll=") +
                                            position + QStringLiteral("&z=5"));
}

QUrl parkUrl(const QString& reference, const ServiceHosts& hosts) {
    // The park page is routed by the site's script from the fragment, so the reference goes
    // after '#': https://pota.app/#/park/K-1234.
    QUrl url = core::serviceUrl(hosts.potaWeb, QStringLiteral("/"));
    url.setFragment(QStringLiteral("/park/") + reference, QUrl::DecodedMode);
    return url;
}

QUrl wwffReferenceUrl(const QString& reference, const ServiceHosts& hosts) {
    // The directory shows one reference's page when asked for it by name; percent-encoded so
    // that a stray '&' or '#' cannot reshape the query.
    return core::serviceUrl(hosts.wwffWeb,
                            QStringLiteral("/directory/?showRef=") +
                                QString::fromLatin1(QUrl::toPercentEncoding(reference)));
}

Cell addressCell(const QString& text, const QString& address, Qt::Alignment alignment) {
    if (address.isEmpty())
        return plain(text, alignment);
    return linkedCell(text, QUrl(address), alignment);
}

Cell noView() {
    Cell cell;
    cell.hasView = false;
    return cell;
}

} // namespace

Cell cellFor(const core::PotaSpot& row, QStringView id, const ServiceHosts& hosts) {
    if (id == u"tune")
        return Cell{};
    if (id == u"activator")
        return plain(row.activator);
    if (id == u"frequency")
        return plain(oneDecimal(numberOf(row.frequency)));
    if (id == u"mode")
        return plain(row.mode);
    if (id == u"comment")
        return plain(row.comments);
    if (id == u"name")
        return linkedCell(row.parkName, mapUrl(row, hosts));
    if (id == u"last")
        return plain(minutesText(row.age));
    if (id == u"location")
        return plain(row.locationDesc);
    if (id == u"reference")
        return linkedCell(row.reference, parkUrl(row.reference, hosts),
                          Qt::AlignRight | Qt::AlignVCenter);
    // What the log says of the row comes with the log, not with the row.
    if (id == u"mark")
        return Cell{};
    return noView();
}

Cell cellFor(const core::SotaSpot& row, QStringView id, const ServiceHosts&) {
    if (id == u"tune2")
        return Cell{};
    if (id == u"activator2")
        return plain(row.activatorCallsign);
    if (id == u"activatorName")
        return plain(capitalised(row.activatorName == u"Not recognised" ? QStringLiteral("--")
                                                                        : row.activatorName));
    if (id == u"frequency2")
        return plain(oneDecimal(numberOf(row.frequency) * 1000.0f));
    if (id == u"mode2")
        return plain(row.mode.toUpper());
    if (id == u"comment2")
        return plain(row.comments);
    if (id == u"name2")
        return plain(row.summitName == u"Summit not recognised" ? QStringLiteral("--")
                                                                : row.summitName);
    if (id == u"last2")
        return plain(minutesText(row.age));
    if (id == u"location2")
        return plain(row.height);
    if (id == u"reference2")
        return plain(row.points);
    // What the log says of the row comes with the log, not with the row.
    if (id == u"mark")
        return Cell{};
    return noView();
}

Cell cellFor(const core::WwffSpot& row, QStringView id, const ServiceHosts& hosts) {
    if (id == u"tune")
        return Cell{};
    if (id == u"activator")
        return plain(row.activator);
    if (id == u"frequency")
        return plain(oneDecimal(numberOf(row.frequency)));
    if (id == u"mode")
        return plain(row.mode);
    if (id == u"reference")
        return linkedCell(row.reference, wwffReferenceUrl(row.reference, hosts));
    if (id == u"name")
        return plain(row.referenceName);
    if (id == u"last")
        return plain(minutesText(row.age));
    if (id == u"comment")
        return plain(row.remarks);
    // What the log says of the row comes with the log, not with the row.
    if (id == u"mark")
        return Cell{};
    return noView();
}

Cell cellFor(const core::NetLoggerNet& row, QStringView id, const ServiceHosts&) {
    if (id == u"tune")
        return Cell{};
    if (id == u"freq")
        return plain(netLoggerFrequencyText(row.frequency));
    if (id == u"mode2")
        return plain(row.mode);
    if (id == u"netName")
        return plain(row.name);
    if (id == u"checkIns")
        return plain(row.subscribers);
    return noView();
}

Cell cellFor(const core::DirectoryNet& row, QStringView id, const ServiceHosts&) {
    if (id == u"tune3" || id == u"confirm" || id == u"unconfirm" || id == u"remind")
        return Cell{};
    // They change with the time, not with the row: the station fills them in.
    if (id == u"next" || id == u"active")
        return plain(QString());
    if (id == u"utc")
        return plain(row.utc);
    if (id == u"freq")
        return plain(row.frequency);
    if (id == u"netName")
        return addressCell(row.name, row.url, Qt::AlignLeft | Qt::AlignVCenter);
    if (id == u"mode")
        return plain(row.mode);
    if (id == u"confirmed")
        return plain(row.confirmed);
    return noView();
}

Cell cellFor(const core::MwStation& row, QStringView id, const ServiceHosts&) {
    if (id == u"tune3")
        return Cell{};
    if (id == u"station")
        return addressCell(row.call, row.url, Qt::AlignLeft | Qt::AlignVCenter);
    if (id == u"freq")
        return plain(row.frequency);
    if (id == u"city")
        return plain(row.city);
    if (id == u"power")
        return plain(row.power + QStringLiteral(" kW"));
    return noView();
}

namespace {

ColumnSpec text(const char16_t* identifier, const char16_t* title) {
    return {QString::fromUtf16(identifier), QString::fromUtf16(title), CellKind::Text};
}
ColumnSpec link(const char16_t* identifier, const char16_t* title) {
    return {QString::fromUtf16(identifier), QString::fromUtf16(title), CellKind::Link};
}
ColumnSpec button(const char16_t* identifier, CellKind kind) {
    return {QString::fromUtf16(identifier), QString(), kind};
}

} // namespace

QList<ColumnSpec> columnsFor(ListKind list) {
    switch (list) {
    case ListKind::Pota:
        return {button(u"tune", CellKind::TuneButton),
                text(u"activator", u"Activator"),
                text(u"mark", u"Log"),
                text(u"frequency", u"kHz"),
                text(u"mode", u"Mode"),
                link(u"reference", u"Park"),
                link(u"name", u"Name"),
                text(u"location", u"Location"),
                text(u"last", u"Age"),
                text(u"comment", u"Comment")};
    case ListKind::Sota:
        return {button(u"tune2", CellKind::TuneButton),
                text(u"activator2", u"Activator"),
                text(u"mark", u"Log"),
                text(u"activatorName", u"Name"),
                text(u"frequency2", u"kHz"),
                text(u"mode2", u"Mode"),
                text(u"name2", u"Summit"),
                text(u"location2", u"Height"),
                text(u"reference2", u"Points"),
                text(u"last2", u"Age"),
                text(u"comment2", u"Comment")};
    case ListKind::Wwff:
        return {button(u"tune", CellKind::TuneButton),
                text(u"activator", u"Activator"),
                text(u"mark", u"Log"),
                text(u"frequency", u"kHz"),
                text(u"mode", u"Mode"),
                link(u"reference", u"Reference"),
                text(u"name", u"Name"),
                text(u"last", u"Age"),
                text(u"comment", u"Remarks")};
    case ListKind::NetLogger:
        return {button(u"tune", CellKind::TuneButton), text(u"netName", u"Net"),
                text(u"freq", u"kHz"), text(u"mode2", u"Mode"), text(u"checkIns", u"Check-ins")};
    case ListKind::Nets:
        return {button(u"tune3", CellKind::TuneButton),
                link(u"netName", u"Net"),
                text(u"freq", u"MHz"),
                text(u"utc", u"UTC"),
                text(u"next", u"Next"),
                text(u"mode", u"Mode"),
                text(u"confirmed", u"Confirmed"),
                text(u"active", u"NetLogger"),
                button(u"confirm", CellKind::ConfirmButton),
                button(u"unconfirm", CellKind::UnconfirmButton),
                button(u"remind", CellKind::RemindButton)};
    case ListKind::MW:
        return {button(u"tune3", CellKind::TuneButton), link(u"station", u"Station"),
                text(u"freq", u"kHz"), text(u"city", u"City"), text(u"power", u"Power")};
    }
    return {};
}

QString netLoggerFrequencyText(QStringView column1) {
    const std::optional<float> number = readFloat(column1);
    if (!number)
        return {};
    // Above 70 the server wrote kilohertz; bring it to megahertz so that both spellings
    // give the same digits once the point is moved.
    float megahertz = *number;
    if (megahertz > 70.0f)
        megahertz /= 1000.0f;
    QString digits = QString::asprintf("%.4f", double(megahertz));
    digits.remove(u'.');
    if (digits.isEmpty())
        return {};
    digits.insert(digits.size() - 1, u'.');
    return digits;
}

QString capitalised(const QString& text) {
    QString result;
    result.reserve(text.size());
    bool wordStart = true;
    for (qsizetype i = 0; i < text.size();) {
        const bool pair =
            text.at(i).isHighSurrogate() && i + 1 < text.size() && text.at(i + 1).isLowSurrogate();
        const qsizetype length = pair ? 2 : 1;
        const QString piece = text.mid(i, length);
        i += length;
        if (!pair && text.at(i - 1).isSpace()) {
            result += piece;
            wordStart = true;
            continue;
        }
        // Leading punctuation is skipped over, so "(bob)" reads "(Bob)"; a leading digit
        // counts as the word's start, so "3rd" stays "3rd".
        const char32_t codePoint = piece.toUcs4().value(0);
        result += wordStart && QChar::isLetter(codePoint) ? piece.toUpper() : piece.toLower();
        if (QChar::isLetterOrNumber(codePoint))
            wordStart = false;
    }
    return result;
}

} // namespace session
