#include "log/adif.h"
#include "log/marks.h"
#include "log/workedparks.h"

#include "feeds/spotfeeds.h"
#include "testing.h"

#include <QTimeZone>

using namespace logbook;

namespace {

const QDate kToday(2024, 11, 30); // the day of the capture, UTC

Contact worked(const char* call, const char* park, qint64 hz, QDate day) {
    Contact c;
    c.call = call;
    c.start = QDateTime(day, QTime(20, 0), QTimeZone::utc());
    c.frequencyHz = hz;
    c.band = bandForHz(hz);
    setReference(c, Program::Pota, park);
    return c;
}

QString spotBand(const core::PotaSpot& spot) {
    return bandForHz(readKilohertz(spot.frequency).value_or(0));
}

} // namespace

// Over a real POTA capture and a prepared log: the activator at the park today on the spot's
// band is Worked; a park worked only on other bands is New band; a park worked on the band, but
// not today or not this activator, has no mark; a park from the hunter's POTA list counts as
// worked; every other park is New, and the marks follow the log at once.
TEST(Marks, RealCaptureAndPreparedLog) {
    const auto spots = feeds::parsePotaSpots(fixture("pota-activator-spots.json"),
                                             QDateTime(kToday, QTime(23, 59), QTimeZone::utc()))
                           .rows;
    ASSERT_GT(spots.size(), 40);
    const WorkedParks parks =
        readWorkedParks("DX Entity,Location,HASC,Reference,Park Name,First QSO Date,QSOs\r\n"
                        "United States Of America,US-TX,US-TX,US-2694,\"Lake, Park\",2023-01-02,3\n"
                        "United States Of America,US-TX,US-TX,not a park,x,2023-01-02,1\n");
    ASSERT_EQ(parks.references, QStringList{"US-2694"});
    ASSERT_EQ(parks.problems, QStringList{"line 3: \"NOT A PARK\" is not a park reference"});
    EXPECT_FALSE(readWorkedParks("Call,Park\nK1ABC,US-0001\n").error.isEmpty());

    Marks marks;
    marks.add(worked("KN4AL", "US-6795", 14'250'000, kToday));
    marks.add(worked("WB0RLJ", "US-4011", 7'030'000, kToday.addDays(-1)));
    marks.add(worked("KC0QNA", "US-2510", 14'300'000, kToday.addDays(-1)));
    marks.add(worked("N0ONE", "US-0212", 14'300'000, kToday));
    for (const QString& park : parks.references)
        marks.addWorked(Program::Pota, park);

    const QHash<QString, Mark> expected = {
        {"KN4AL", Mark::Worked}, {"WB0RLJ", Mark::NewBand}, {"KC0QNA", Mark::None},
        {"KG6NLW", Mark::None},  {"KE5AKL", Mark::None},
    };
    int news = 0;
    for (const core::PotaSpot& spot : spots) {
        const Mark mark =
            marks.mark(Program::Pota, spot.activator, spot.reference, spotBand(spot), kToday);
        EXPECT_EQ(mark, expected.value(spot.activator, Mark::New)) << spot.activator.toStdString();
        news += mark == Mark::New;
    }
    EXPECT_EQ(news, spots.size() - expected.size());
    // The next day nothing is worked today any more.
    EXPECT_EQ(marks.mark(Program::Pota, "KN4AL", "US-6795", "20m", kToday.addDays(1)), Mark::None);
    // One activation at several parks: New while one of them is.
    EXPECT_EQ(marks.mark(Program::Pota, "KN4AL", "US-6795,US-9999", "20m", kToday), Mark::New);
    EXPECT_EQ(marks.mark(Program::Pota, "JN1JYD/1", "JP-1152", "40m", kToday), Mark::New);
    marks.add(worked("JN1JYD/1", "JP-1152, US-6795", 7'006'000, kToday));
    EXPECT_EQ(marks.mark(Program::Pota, "jn1jyd/1", "JP-1152", "40m", kToday), Mark::Worked);
    EXPECT_EQ(marks.mark(Program::Pota, "JN1JYD/1", "JP-1152,US-6795", "40m", kToday),
              Mark::Worked);
    // Taking a contact back takes back only what it alone gave.
    Contact noBand = worked("X1X", "US-2694", 0, kToday);
    marks.add(noBand);
    marks.remove(noBand);
    EXPECT_EQ(marks.mark(Program::Pota, "KE5AKL", "US-2694", "15m", kToday), Mark::None);
    marks.remove(worked("JN1JYD/1", "JP-1152, US-6795", 7'006'000, kToday));
    EXPECT_EQ(marks.mark(Program::Pota, "JN1JYD/1", "JP-1152", "40m", kToday), Mark::New);
    EXPECT_EQ(marks.mark(Program::Pota, "KN4AL", "US-6795", "20m", kToday), Mark::Worked);
    // The same reference in another program is another reference.
    EXPECT_EQ(marks.mark(Program::Wwff, "JN1JYD/1", "JP-1152", "40m", kToday), Mark::New);

    EXPECT_EQ(markText(Mark::NewBand), "New band");
    EXPECT_EQ(markSpoken(Mark::New, Program::Pota), "new park");
    EXPECT_EQ(markSpoken(Mark::New, Program::Sota), "new summit");
}
