#include "directory/linetext.h"

namespace directory {

namespace {

void appendElement(QByteArray& out, const char* tag, const QString& value) {
    QString clean = value;
    for (QChar& c : clean)
        if (c == u'<' || c == u'>' || c.category() == QChar::Other_Control)
            c = u' ';
    out += '<';
    out += tag;
    out += '>';
    out += clean.toUtf8();
    out += "</";
    out += tag;
    out += ">\n";
}

} // namespace

QByteArray netsDirectoryText(const QList<ListedNet>& nets) {
    QByteArray out = "<Nets>\n";
    for (const ListedNet& listed : nets) {
        const NetRecord& net = listed.net;
        out += "<Net>\n";
        appendElement(out, "NetName", net.name);
        appendElement(out, "Frequency", net.frequencyMhz);
        appendElement(out, "UTC", net.utc);
        appendElement(out, "Mode", net.mode);
        appendElement(out, "URL", net.url);
        appendElement(out, "Confirmed", QString::number(listed.confirmed));
        appendElement(out, "NetID", QString::number(net.id));
        // After the seven the table reads, so that a reader that knows only those is not put out.
        appendElement(out, "Days", daysText(net.days));
        appendElement(out, "Duration", QString::number(net.durationMin));
        out += "</Net>\n";
    }
    return out + "</Nets>\n";
}

QByteArray stationsText(const QList<StationRecord>& stations) {
    QByteArray out = "<Stations>\n";
    for (const StationRecord& station : stations) {
        appendElement(out, "Station", station.call);
        appendElement(out, "Frequency", station.frequencyKhz);
        appendElement(out, "City", station.city);
        appendElement(out, "Power", station.powerKw);
        appendElement(out, "URL", station.url);
    }
    return out + "</Stations>\n";
}

} // namespace directory
