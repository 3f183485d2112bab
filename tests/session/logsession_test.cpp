#include "feeds/spotfeeds.h"
#include "session/logmodel.h"
#include "session/logsession.h"
#include "session/watchlist.h"

#include "testing.h"

#include <QNetworkAccessManager>
#include <QNetworkDatagram>
#include <QSettings>
#include <QTemporaryDir>
#include <QTimeZone>
#include <QUdpSocket>

using namespace session;
using logbook::Mark;

// The dialog's first values from a row of each list: the activator and the references for the
// lists of activators only, the radio's frequency over the row's, ADIF's mode and the mode's
// reports, the station's own callsign and grid; and what is said once it is logged.
TEST(LogSession, PrefillsFromEveryList) {
    const QDateTime now(QDate(2026, 12, 7), QTime(22, 15, 30, 999), QTimeZone::utc());
    const OwnStation own{"n0call", "FN31pr"};
    RowFacts pota{14'074'000, "FT8", "k1abc", "US-1234,US-5678", "Park", 3, ""};
    RowFacts sota{7'032'500, "SSB", "W7X/P", "W7O/CN-001", "Summit", 3, ""};
    RowFacts net{3'940'000, "SSB", "Night Owls", "", "", 0, ""};
    RowFacts mw{770'000, "AM", "WABC", "", "", 0, ""};
    const std::tuple<core::ListKind, RowFacts, const char*, qint64, QStringList> cases[] = {
        // list, row, operator name, radio's frequency; call, refs, sig, band, mode, submode, rst,
        // frequency, what is said when it is logged
        {core::ListKind::Pota,
         pota,
         "",
         0,
         {"K1ABC", "US-1234,US-5678", "", "POTA", "20m", "FT8", "", "-10", "14074000",
          "Logged K1ABC on 20 m"}},
        {core::ListKind::Sota,
         sota,
         "Zoë",
         7'185'000,
         {"W7X/P", "", "W7O/CN-001", "", "40m", "SSB", "LSB", "59", "7185000",
          "Logged W7X/P on 40 m"}},
        {core::ListKind::NetLogger,
         net,
         "",
         0,
         {"", "", "", "", "80m", "SSB", "LSB", "59", "3940000", "Logged a contact on 80 m"}},
        {core::ListKind::MW,
         mw,
         "",
         0,
         {"", "", "", "", "", "AM", "", "59", "770000", "Logged a contact"}},
    };
    for (const auto& [list, facts, name, radioHz, expected] : cases) {
        const logbook::Contact c = prefilledContact(list, facts, name, radioHz, now, own);
        EXPECT_EQ((QStringList{c.call, c.potaRef, c.sotaRef, c.sig, c.band, c.mode, c.submode,
                               c.rstSent, QString::number(c.frequencyHz), loggedSentence(c)}),
                  expected);
        EXPECT_EQ(c.rstReceived, c.rstSent);
        EXPECT_EQ(c.name, QString::fromUtf8(name));
        EXPECT_EQ(c.start, QDateTime(QDate(2026, 12, 7), QTime(22, 15, 30), QTimeZone::utc()));
        EXPECT_EQ(c.stationCallsign + u' ' + c.myGrid, "N0CALL FN31pr");
    }
}

// A contact logged goes out to the destination set at once, the marks follow it, and a watch
// list's "new:POTA" names each new park of a load once.
TEST(LogSession, LogsSendsAndMarks) {
    QTemporaryDir dir;
    QSettings settings(dir.filePath("s.ini"), QSettings::IniFormat);
    settings.setValue("callsign", "N0CALL");
    QUdpSocket listener;
    ASSERT_TRUE(listener.bind(QHostAddress::LocalHost, 0));
    logbook::DestinationSettings destinations;
    destinations.udp = true;
    destinations.udpPort = listener.localPort();
    destinations.write(settings);
    QNetworkAccessManager nam;
    LogSession log(&settings, &nam);
    ASSERT_TRUE(log.open(dir.filePath("log.sqlite"))) << log.errorText().toStdString();
    QSignalSpy status(&log, &LogSession::statusChanged);
    QSignalSpy marks(&log, &LogSession::marksChanged);

    const QDate today(2024, 11, 30);
    TypedListModel<core::PotaSpot> model({});
    model.setRows(feeds::parsePotaSpots(fixture("pota-activator-spots.json"),
                                        QDateTime(today, QTime(23, 59), QTimeZone::utc()))
                      .rows);
    const RowFacts first = model.facts(0);
    EXPECT_EQ(log.markOf(core::ListKind::Pota, first, today), Mark::New);
    const WatchList watch({"new:pota"});
    const QList<int> hits = log.newReferenceHits(core::ListKind::Pota, model, watch, today);
    QSet<QString> parks; // a park spotted twice is named once
    for (int row = 0; row < model.rowCount(); ++row)
        parks.insert(model.facts(row).reference);
    EXPECT_EQ(hits.size(), parks.size());

    logbook::Contact contact =
        prefilledContact(core::ListKind::Pota, first, {}, 0,
                         QDateTime(today, QTime(23, 0), QTimeZone::utc()), log.ownStation());
    ASSERT_TRUE(log.log(contact));
    EXPECT_EQ(marks.size(), 1);
    EXPECT_EQ(log.markOf(core::ListKind::Pota, first, today), Mark::Worked);
    model.setMarks(log.rowMarks(core::ListKind::Pota, model, today));
    const int tune = model.columnOf(u"tune");
    ASSERT_GE(tune, 0);
    EXPECT_EQ(model.index(0, 1).data(MarkRole), "Worked");
    EXPECT_TRUE(
        model.index(0, tune).data(Qt::AccessibleTextRole).toString().endsWith(", worked today"));
    EXPECT_TRUE(
        model.index(1, tune).data(Qt::AccessibleTextRole).toString().endsWith(", new park"));
    EXPECT_EQ(status.first().first().toString(), loggedSentence(contact));
    ASSERT_TRUE(waitFor([&] { return listener.hasPendingDatagrams(); }, 5000));
    EXPECT_TRUE(listener.receiveDatagram().data().contains(first.activator.toUtf8()));
    ASSERT_TRUE(waitFor([&] { return status.size() == 2; }, 5000));
    EXPECT_EQ(status.last().first().toString(), "Every contact has been sent");
    EXPECT_TRUE(log.newReferenceHits(core::ListKind::Pota, model, watch, today).isEmpty());
    EXPECT_TRUE(log.newReferenceHits(core::ListKind::NetLogger, model, watch, today).isEmpty());

    const std::optional<logbook::Contact> removed = log.remove(1);
    ASSERT_TRUE(removed);
    EXPECT_EQ(log.markOf(core::ListKind::Pota, first, today), Mark::New);
    ASSERT_TRUE(log.restore(*removed));
    EXPECT_EQ(log.markOf(core::ListKind::Pota, first, today), Mark::Worked);
}

// The Log tab's table: newest first, and each contact added, changed or removed in its place.
TEST(LogModel, KeepsNewestFirstThroughChanges) {
    const auto at = [](qint64 id, int hour) {
        logbook::Contact c;
        c.id = id;
        c.call = QStringLiteral("C%1").arg(id);
        c.start = QDateTime(QDate(2026, 12, 7), QTime(hour, 0), QTimeZone::utc());
        return c;
    };
    LogModel model;
    model.setContacts({at(1, 1), at(2, 3), at(3, 5)});
    const auto calls = [&] {
        QStringList out;
        for (int row = 0; row < model.rowCount(); ++row)
            out << model.index(row, LogModel::Call).data().toString();
        return out;
    };
    EXPECT_EQ(calls(), (QStringList{"C3", "C2", "C1"}));
    model.add(at(4, 4));
    model.add(at(5, 3));
    EXPECT_EQ(calls(), (QStringList{"C3", "C4", "C5", "C2", "C1"}));
    model.change(at(1, 6));
    model.remove(2);
    EXPECT_EQ(calls(), (QStringList{"C1", "C3", "C4", "C5"}));
    EXPECT_EQ(model.index(0, 0).data(LogModel::IdRole), 1);
    EXPECT_EQ(model.index(0, 0).data(Qt::AccessibleTextRole), "C1, 2026-12-07 06:00 UTC");
}

// The Log tab's filter sorts contacts into the lists' bands and modes: the frequency's band, or
// ADIF's band without one; the submode's class, or the mode's when the submode says no more.
TEST(LogFilter, HidesContactsByBandModeAndText) {
    const auto contact = [](qint64 id, const char* call, qint64 hz, const char* band,
                            const char* mode, const char* submode, const char* comment = "") {
        logbook::Contact c;
        c.id = id;
        c.call = call;
        c.start = QDateTime(QDate(2026, 12, 7), QTime(int(id), 0), QTimeZone::utc());
        c.frequencyHz = hz;
        c.band = band;
        c.mode = mode;
        c.submode = submode;
        c.comment = comment;
        return c;
    };
    LogModel model;
    QList<logbook::Contact> contacts{
        contact(1, "K1ABC", 14'074'000, "20m", "FT8", ""),
        contact(2, "W2DEF", 0, "40m", "CW", "", "Park by the lake"),
        contact(3, "N3GHI", 7'200'000, "40m", "SSB", "LSB"),
        contact(4, "VE4JKL", 21'074'000, "15m", "MFSK", "FT4"),
        contact(5, "G5MNO", 14'070'000, "20m", "OLIVIA", "OLIVIA 8/250"),
        contact(6, "JA6PQR", 14'230'000, "20m", "AM", "")};
    contacts[5].potaRef = "US-1234";
    model.setContacts(contacts);
    LogFilter filter(&model);
    const std::tuple<Band, ModeClass, QString, QStringList> cases[] = {
        {Band::Any, ModeClass::Any, "", {"JA6PQR", "G5MNO", "VE4JKL", "N3GHI", "W2DEF", "K1ABC"}},
        {Band::M20, ModeClass::Any, "", {"JA6PQR", "G5MNO", "K1ABC"}},
        {Band::M40, ModeClass::Any, "", {"N3GHI", "W2DEF"}},
        {Band::Any, ModeClass::FT4, "", {"VE4JKL"}},
        {Band::Any, ModeClass::SSB, "", {"N3GHI"}},
        {Band::Any, ModeClass::Data, "", {"G5MNO"}},
        {Band::Any, ModeClass::Other, "", {"JA6PQR"}},
        {Band::M20, ModeClass::FT8, "", {"K1ABC"}},
        {Band::M40, ModeClass::FT8, "", {}},
        {Band::Any, ModeClass::Any, " us-1234 ", {"JA6PQR"}},
        {Band::Any, ModeClass::Any, "LAKE", {"W2DEF"}}};
    for (const auto& [band, mode, search, calls] : cases) {
        FilterSettings settings;
        settings.band = band;
        settings.mode = mode;
        settings.search = search;
        filter.setSettings(settings);
        QStringList shown;
        for (int row = 0; row < filter.rowCount(); ++row)
            shown << filter.index(row, LogModel::Call).data().toString();
        EXPECT_EQ(shown, calls) << settings.toText().toStdString();
        EXPECT_EQ(filter.hiddenRows(), 6 - calls.size());
    }
}
