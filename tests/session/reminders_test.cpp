#include "session/preferences.h"
#include "session/reminders.h"
#include "testing.h"

#include <QSettings>
#include <QTemporaryDir>

using namespace session;

static QDateTime utc(const char* iso) {
    return QDateTime::fromString(QString::fromLatin1(iso) + u'Z', Qt::ISODate);
}

static core::DirectoryNet net(const char* utc, const char* days = "", const char* minutes = "") {
    return {"Maritime Mobile Service Network", "14.300", utc, "USB", "", "0", "1", days, minutes};
}

TEST(NetTimes, HowFarOffTheNextSessionIs) {
    // 2024-06-03 is a Monday.
    const struct {
        core::DirectoryNet row;
        const char* now;
        QString until;
    } cases[] = {
        {net("1700"), "2024-06-03T16:35:00", "in 25 min"},
        {net("1700"), "2024-06-03T16:59:30", "in 1 min"},
        {net("1700"), "2024-06-03T17:59:59", "on now"}, // 60 minutes when none is sent
        {net("1700"), "2024-06-03T18:00:00", "in 23 h"},
        {net("1700", "daily", "540"), "2024-06-04T01:59:00", "on now"},
        {net("1700", "Wed"), "2024-06-03T12:00:00", "in 2 d 5 h"},
        {net("1700", "Mon"), "2024-06-03T14:50:00", "in 2 h 10 min"},
        {net("2500"), "2024-06-03T12:00:00", ""},
        {net("1600-0200"), "2024-06-04T01:59:00", "on now"}, // a start and an end
        {net("1600-0200"), "2024-06-04T02:00:00", "in 14 h"},
    };
    for (const auto& c : cases) {
        const QDateTime now = utc(c.now);
        EXPECT_EQ(untilText(directory::nextSession(scheduleOf(c.row), now), now), c.until)
            << c.row.utc.toStdString() << " " << c.now;
    }
}

TEST(NetTimes, NetsActiveOnNetLoggerCarryTheirCheckIns) {
    const QList<core::DirectoryNet> rows{net("1700"),
                                         {"Noon Net", "7.2", "1200", "LSB", "", "0", "2"}};
    const QList<core::NetLoggerNet> active{
        {"MARITIME MOBILE SERVICE NETWORK!", "14300", "SSB", "23"}, {"Other", "7200", "SSB", "4"}};
    EXPECT_EQ(activeTexts(rows, active), QStringList({"active, 23 check-ins", ""}));
}

class RemindersTest : public ::testing::Test {
protected:
    std::unique_ptr<Reminders> open() {
        return std::make_unique<Reminders>(
            &m_preferences, [this] { return m_now; },
            [this](const QString& line) { m_lines << line; });
    }

    QTemporaryDir m_dir;
    QSettings m_settings{m_dir.filePath("settings.ini"), QSettings::IniFormat};
    Preferences m_preferences{&m_settings};
    QDateTime m_now = utc("2024-06-03T16:00:00");
    QStringList m_lines;
};

// Once, the lead time before the session; still after a restart; and never again.
TEST_F(RemindersTest, FireOnceAtTheirTimeAlsoAfterARestart) {
    auto reminders = open();
    QSignalSpy due(reminders.get(), &Reminders::due);
    ASSERT_TRUE(reminders->add(net("1700")));
    m_now = utc("2024-06-03T16:54:59");
    reminders->check();
    EXPECT_EQ(due.count(), 0);

    reminders = open(); // a restart
    QSignalSpy dueAfter(reminders.get(), &Reminders::due);
    ASSERT_EQ(reminders->list().size(), 1);
    m_now = utc("2024-06-03T16:55:00");
    reminders->check();
    reminders->check();
    ASSERT_EQ(dueAfter.count(), 1);
    EXPECT_EQ(dueAfter[0][0].toString(),
              "Maritime Mobile Service Network starts in 5 minutes on 14.300");
    EXPECT_TRUE(open()->list().isEmpty());

    // The lead time is the operator's; a session under way is too late, so the next one counts.
    reminders->setLeadMinutes(30);
    m_now = utc("2024-06-03T17:10:00");
    ASSERT_TRUE(reminders->add(net("1700")));
    EXPECT_EQ(reminders->list()[0].start, utc("2024-06-04T17:00:00"));
    m_now = utc("2024-06-04T16:30:00");
    reminders->check();
    EXPECT_EQ(dueAfter.count(), 2);
    EXPECT_EQ(dueAfter[1][0].toString(),
              "Maritime Mobile Service Network starts in 30 minutes on 14.300");
}

TEST_F(RemindersTest, AreDroppedWhenTheirNetOrSessionIsGone) {
    auto reminders = open();
    QSignalSpy due(reminders.get(), &Reminders::due);
    core::DirectoryNet other = net("1900");
    other.netId = "2";
    other.name = "Evening Net";
    ASSERT_TRUE(reminders->add(net("1700")));
    ASSERT_TRUE(reminders->add(other));
    reminders->setListed({other});
    EXPECT_EQ(m_lines, QStringList({"Reminder for Maritime Mobile Service Network dropped: the "
                                    "net is no longer listed"}));
    m_now = utc("2024-06-03T20:00:00"); // closed through the whole session
    reminders->check();
    EXPECT_EQ(due.count(), 0);
    EXPECT_EQ(m_lines.last(), "Reminder for Evening Net dropped: its session ended at 2024-06-03 "
                              "20:00 UTC");
    ASSERT_TRUE(reminders->add(other));
    reminders->cancel(0);
    EXPECT_TRUE(open()->list().isEmpty());
}
