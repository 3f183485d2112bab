#pragma once

#include "feeds/feedloader.h"
#include "feeds/spotfeeds.h"

#include <QByteArray>
#include <QDateTime>
#include <QObject>
#include <QUrl>

#include <optional>

// The current SOTA spot API. Its elements differ from the legacy feed's: the whole reference in
// summitCode ("W7O/WV-096"), the frequency a JSON number in megahertz (null or missing for some
// spots), the mode in lower case, summitName/AltM/points instead of summitDetails, and a `type`
// of null, "NORMAL", "QRT", "TEST" or values yet to come.
namespace feeds {

// "/api/spots/epoch": a short text that changes whenever the spots do.
QString sotaEpochPath();
// "/api/spots/-3/all/all": the spots of the last three hours.
QString sotaApiSpotsPath();

// The epoch in a reply body: one short token; nullopt when the body is anything else.
std::optional<QString> readSpotEpoch(const QByteArray& body);

// The API's spots as SOTA rows, on 2 MHz up to (not including) 70 MHz, in reply order: "QRT",
// "TEST" and unknown types are no rows, and a QRT also removes the activator's earlier spots.
// A broken element is skipped alone with a diagnostic line; a reply that is no list of spots at
// all, or of which no spot could be read, gives a notice as well.
Parsed<core::SotaSpot> parseSotaApiSpots(const QByteArray& body, const QDateTime& now);

// One load from the API: the epoch first, the spots only when the epoch changed since the last
// list read (otherwise that list is shown again, its ages counted anew). The epoch and the list
// each have the deadline of a list load.
class SotaApiLoader : public QObject {
    Q_OBJECT
public:
    explicit SotaApiLoader(QNetworkAccessManager* nam, QObject* parent = nullptr);

    void setDeadlineMs(int ms) { m_deadlineMs = ms; }
    // `base` is the API's host; `now` the instant the spot ages count to.
    void start(const QUrl& base, const QDateTime& now);

signals:
    // Once per load that is not superseded, at its deadline.
    void shown(const feeds::LoadedList& loaded);
    void diagnostic(const QString& line);

private:
    void onReplied(const net::FetchResult& result);
    void onExpired(const net::FetchResult& result);
    void show(const QByteArray& body);

    net::DeadlineFetch m_fetch;
    QUrl m_base;
    QDateTime m_now;
    int m_deadlineMs = net::kDeadlineMs;
    bool m_askingForSpots = false;
    bool m_unchanged = false;
    QString m_pendingEpoch;
    QString m_epoch; // the epoch the kept list was read under
    QByteArray m_spots;
    bool m_haveSpots = false;
};

} // namespace feeds
