#pragma once

#include "core/servicehosts.h"
#include "net/http.h"

#include <QByteArray>
#include <QList>
#include <QObject>
#include <QString>
#include <QStringView>
#include <QUrl>

#include <optional>

class QNetworkAccessManager;

namespace conditions {

// The values of one solar-data reply, each taken from a fixed line of the document: the reply is
// read by line number, not parsed as XML.
struct ConditionSlots {
    QString title;     // line 4, the time of the data
    QString solarFlux; // line 5
    QString day8040;   // lines 20..23
    QString day3020;
    QString day1715;
    QString day1210;
    QString night8040; // lines 24..27
    QString night3020;
    QString night1715;
    QString night1210;
    QString magicBand;   // line 33, 6 m E-skip over Europe
    QString signalNoise; // line 37

    bool operator==(const ConditionSlots&) const = default;
};

// The text between a line's first '>' and its second (or the line's end), cut before its first
// '<'. A line without any '>' gives "".
QString lineValue(QStringView line);

// The slots of a reply, or nullopt when it held no data (empty body or not valid UTF-8).
// Lines missing from a short reply leave their slots empty.
std::optional<ConditionSlots> cutConditionSlots(const QByteArray& body);

enum class Colour { Normal, Green, Orange, Red };

QString colourName(Colour c);

struct FieldView {
    QString name; // which panel field: "solarFlux", "day8040", ..., "magicBand"
    QString text;
    Colour colour = Colour::Normal;

    bool operator==(const FieldView&) const = default;
};

struct PanelView {
    QString title;
    QList<FieldView> fields;

    bool operator==(const PanelView&) const = default;
};

// What the panel shows for a reply's slots. Without data every field is blank and uncoloured, so
// a failed fetch is not drawn as bad conditions or an open magic band.
PanelView panelView(const std::optional<ConditionSlots>& values);

// One band-conditions fetch at a time: the request, the fixed deadline, the panel from whatever
// arrived by then. A newer start() supersedes an older one.
class ConditionsFetcher : public QObject {
    Q_OBJECT
public:
    explicit ConditionsFetcher(QNetworkAccessManager* nam, QObject* parent = nullptr);

    void setDeadlineMs(int ms) { m_fetch.setDeadlineMs(ms); }
    void start(const QUrl& solarBase);

signals:
    // Once per fetch that is not superseded, at its deadline.
    void shown(const conditions::PanelView& view);
    void diagnostic(const QString& line);

private:
    void onExpired(const net::FetchResult& result);

    net::DeadlineFetch m_fetch;
};

} // namespace conditions
