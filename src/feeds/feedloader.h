#pragma once

#include "core/rows.h"
#include "core/servicehosts.h"
#include "net/http.h"

#include <QDateTime>
#include <QObject>
#include <QStringList>
#include <QUrl>

#include <variant>

namespace feeds {

using core::ListKind;

// The rows of one list; the alternative's index is the list's ListKind.
using ListRows =
    std::variant<QList<core::PotaSpot>, QList<core::SotaSpot>, QList<core::WwffSpot>,
                 QList<core::NetLoggerNet>, QList<core::DirectoryNet>, QList<core::MwStation>>;

// No rows of the given list.
ListRows emptyRows(ListKind list);
qsizetype rowCount(const ListRows& rows);

// The rows of one reply body; the lines that explain skipped spots go to `diagnostics`, what
// the operator must read about the reply as a whole to `notice` when one is given, and whether
// a spot feed's reply is no list of spots at all to `unreadable` when one is given.
ListRows parseList(ListKind list, const QByteArray& body, const QDateTime& now,
                   QStringList& diagnostics, QString* notice = nullptr, bool* unreadable = nullptr);

// What one load of a list settled on.
struct LoadedList {
    ListKind list = ListKind::Pota;
    ListRows rows;
    QString failure;     // why nothing usable came back; "" when the reply was read
    QString notice = {}; // what the operator must know although the reply was read; "" for nothing
};

// Path of each list on its host, and the full address.
QString feedPath(ListKind list);
QUrl feedUrl(ListKind list, const core::ServiceHosts& hosts);

// Loads one list: request, 2.0 s deadline, parse into rows. A newer start() supersedes an older
// load, so late rows never join a newer load's list.
class FeedLoader : public QObject {
    Q_OBJECT
public:
    FeedLoader(ListKind list, QNetworkAccessManager* nam, QObject* parent = nullptr);

    ListKind list() const { return m_list; }
    void setDeadlineMs(int ms);
    // `now` is the reference instant of the spot ages, taken before the request goes out.
    void start(const QUrl& url, const QDateTime& now = QDateTime::currentDateTimeUtc());
    // The load under way, if any, is dropped without being shown.
    void cancel() { m_fetch.cancel(); }

signals:
    // Once per load that is not superseded, 2.0 s after its start, in table order.
    void shown(const feeds::LoadedList& loaded);
    void diagnostic(const QString& line);

private:
    ListKind m_list;
    net::DeadlineFetch m_fetch;
    QUrl m_url;
    QDateTime m_now;
    int m_deadlineMs = net::kDeadlineMs;
};

} // namespace feeds
