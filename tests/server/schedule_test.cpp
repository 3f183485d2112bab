#include "server/harvest.h"
#include "server/schedule.h"
#include "testing.h"

using namespace server;

static QDateTime utc(const char* iso) {
    return QDateTime::fromString(QString::fromLatin1(iso) + u'Z', Qt::ISODate);
}

static Observation seen(const char* name, const char* start, int minutes,
                        qint64 hertz = 14'300'000) {
    const QDateTime at = utc(start);
    return {QString::fromUtf8(name),  hertz, QStringLiteral("SSB"), {}, {}, at,
            at.addSecs(minutes * 60), 10};
}

// Entries as "name|frequency|utc|days|mode|duration|key".
static QStringList entries(const QList<LearnedNet>& learned) {
    QStringList out;
    for (const LearnedNet& l : learned)
        out << QStringList{l.net.name, l.net.frequencyMhz,
                           l.net.utc,  directory::daysText(l.net.days),
                           l.net.mode, QString::number(l.net.durationMin),
                           l.key}
                   .join(u'|');
    return out;
}

TEST(Schedule, InfersWeeklyEntriesFromRepeatedSittings) {
    // 2024-06-10 is a Monday.
    const struct {
        const char* what;
        const char* now;
        QList<Observation> seen;
        QStringList expected;
    } cases[] = {
        {"two Mondays: median time and duration",
         "2024-06-25T00:00:00",
         {seen("Noon Net", "2024-06-10T17:00:00", 60), seen("Noon Net", "2024-06-17T17:10:00", 90)},
         {"Noon Net|14.300|1705|Mon|SSB|75|noonnet@1700"}},
        {"one sitting is no schedule",
         "2024-06-25T00:00:00",
         {seen("Noon Net", "2024-06-17T17:00:00", 60)},
         {}},
        {"more than a quarter hour apart",
         "2024-06-25T00:00:00",
         {seen("Noon Net", "2024-06-10T17:00:00", 60), seen("Noon Net", "2024-06-17T17:16:00", 60)},
         {}},
        {"names match whatever their case, blanks and punctuation",
         "2024-06-25T00:00:00",
         {seen("Noon Net", "2024-06-10T23:55:00", 30),
          seen("NOON-NET.", "2024-06-17T23:55:00", 30)},
         {"NOON-NET.|14.300|2355|Mon|SSB|30|noonnet@0000"}},
        {"two weekdays",
         "2024-06-25T00:00:00",
         {seen("Mid Net", "2024-06-10T23:00:00", 60), seen("Mid Net", "2024-06-12T23:00:00", 60),
          seen("Mid Net", "2024-06-17T23:00:00", 60), seen("Mid Net", "2024-06-19T23:00:00", 60),
          seen("Mid Net", "2024-06-21T23:00:00", 60)},
         {"Mid Net|14.300|2300|Mon Wed|SSB|60|midnet@2300"}},
        {"five weekdays make daily",
         "2024-06-25T00:00:00",
         [] {
             QList<Observation> list;
             for (const char* day : {"10", "11", "12", "13", "14", "17", "18", "19", "20", "21"})
                 list << seen("Traffic",
                              QStringLiteral("2024-06-%1T03:00:00")
                                  .arg(QLatin1String(day))
                                  .toLatin1()
                                  .constData(),
                              45);
             return list;
         }(),
         {"Traffic|14.300|0300|daily|SSB|45|traffic@0300"}},
        {"the frequency seen most often",
         "2024-06-25T00:00:00",
         {seen("Eighty", "2024-06-03T01:00:00", 60, 3'958'000),
          seen("Eighty", "2024-06-10T01:00:00", 60, 3'958'000),
          seen("Eighty", "2024-06-17T01:00:00", 60, 3'960'500)},
         {"Eighty|3.958|0100|Mon|SSB|60|eighty@0100"}},
        {"two times of one net",
         "2024-06-25T00:00:00",
         {seen("Club", "2024-06-10T01:00:00", 60), seen("Club", "2024-06-17T01:00:00", 60),
          seen("Club", "2024-06-15T15:00:00", 60), seen("Club", "2024-06-22T15:00:00", 60)},
         {"Club|14.300|0100|Mon|SSB|60|club@0100", "Club|14.300|1500|Sat|SSB|60|club@1500"}},
        {"still listed just under four weeks after the last sitting",
         "2024-06-24T16:59:00",
         {seen("Noon Net", "2024-05-20T17:00:00", 60), seen("Noon Net", "2024-05-27T17:00:00", 60)},
         {"Noon Net|14.300|1700|Mon|SSB|60|noonnet@1700"}},
        {"dropped four weeks after it",
         "2024-06-24T17:00:00",
         {seen("Noon Net", "2024-05-20T17:00:00", 60), seen("Noon Net", "2024-05-27T17:00:00", 60)},
         {}},
        {"sessions after now do not count",
         "2024-06-12T00:00:00",
         {seen("Noon Net", "2024-06-10T17:00:00", 60), seen("Noon Net", "2024-06-17T17:00:00", 60)},
         {}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(entries(inferSchedule(c.seen, utc(c.now))), c.expected) << c.what;
}

TEST(Schedule, NetLoggerFrequencies) {
    const std::pair<const char*, std::optional<qint64>> cases[] = {
        {"14.300", 14'300'000},    {"7071.50", 7'071'500}, {"147.060", 147'060'000},
        {"3958", 3'958'000},       {"0.05", std::nullopt}, {"3000001", std::nullopt},
        {"REF056B", std::nullopt}, {"", std::nullopt},     {"1e3", std::nullopt},
        {"-7.2", std::nullopt}};
    for (const auto& [text, hertz] : cases)
        EXPECT_EQ(netLoggerHertz(QString::fromLatin1(text)), hertz) << text;
    EXPECT_EQ(megahertzText(14'300'000), "14.300");
    EXPECT_EQ(megahertzText(7'071'500), "7.0715");
}

TEST(Schedule, RepliesKeepWhatCanBeStoredAndSayWhy) {
    const QByteArray real = fixture("netlogger-active-nets.xml");
    const QDateTime at = utc("2021-02-18T23:35:32");
    const auto edited = [&](const QByteArray& from, const QByteArray& to) {
        return QByteArray(real).replace(from, to);
    };
    const struct {
        QByteArray body;
        int kept;
        QString lastSkipped;
        QString failure;
    } cases[] = {
        // The D-STAR reflector is no frequency.
        {real, 10, "\"Kentucky D-Star Net\": frequency \"REF056B\" is not one from 0.1 to 3000 MHz",
         ""},
        {edited("<NetName>MOONLIGHTERS</NetName>", "<NetName>&lt;b&gt;MOON&lt;/b&gt;</NetName>"), 9,
         "\"<b>MOON</b>\": markup in the name", ""},
        {edited("<Frequency>7.279</Frequency>", "<Frequency>99999999</Frequency>"), 9,
         "\"MOONLIGHTERS\": frequency \"99999999\" is not one from 0.1 to 3000 MHz", ""},
        {edited("2021-02-18 23:20:50", "2021-02-19 23:20:50"), 9,
         "\"MOONLIGHTERS\": a start in the future (2021-02-19 23:20:50)", ""},
        {edited("2021-02-18 23:20:50", "yesterday"), 9,
         "\"MOONLIGHTERS\": start \"yesterday\" is not a time", ""},
        {"", 0, "", "an empty reply"},
        {"<html><body>Service unavailable</body></html>", 0, "",
         "a reply that is not NetLogger's list of active nets"},
        {real + QByteArray(5 << 20, ' '), 0, "", "a reply of 5246996 bytes, more than 4 MiB"},
    };
    for (const auto& c : cases) {
        const HarvestReading reading = readActiveNetsReply(c.body, at);
        EXPECT_EQ(reading.observations.size(), c.kept) << c.body.left(200).data();
        EXPECT_EQ(reading.skipped.isEmpty() ? QString() : reading.skipped.last(), c.lastSkipped);
        EXPECT_EQ(reading.failure, c.failure);
    }
    const Observation first = readActiveNetsReply(real, at).observations.first();
    EXPECT_EQ(first, (Observation{"MOONLIGHTERS", 7'279'000, "SSB", "40m", "KB3PET",
                                  utc("2021-02-18T23:20:50"), at, 13}));
}
