#include "log/adif.h"
#include "log/logstore.h"
#include "log/marks.h"

#include <QCoreApplication>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTimeZone>

#include <benchmark/benchmark.h>

namespace {

using namespace logbook;

constexpr int kContacts = 100'000;
constexpr int kSpots = 2'000;
const QDate kToday(2026, 12, 7);
const qint64 kBandsHz[] = {3'573'000,  7'074'000,  10'136'000, 14'074'000, 18'100'000,
                           21'074'000, 24'915'000, 28'074'000, 50'313'000, 144'174'000};

QString park(quint32 n) {
    return QStringLiteral("US-%1").arg(n, 4, 10, QLatin1Char('0'));
}

// A hunter's log of years: 100,000 contacts over 30,000 parks on ten bands, a few of them today.
const QList<Contact>& syntheticLog() {
    static const QList<Contact> log = [] {
        QRandomGenerator random(16);
        QList<Contact> out;
        out.reserve(kContacts);
        for (int i = 0; i < kContacts; ++i) {
            Contact c;
            c.call = QStringLiteral("K%1ABC").arg(random.bounded(5000));
            c.start = QDateTime(kToday.addDays(-random.bounded(1000)),
                                QTime(random.bounded(24), random.bounded(60)), QTimeZone::utc());
            c.frequencyHz = kBandsHz[random.bounded(10)];
            c.band = bandForHz(c.frequencyHz);
            c.mode = QStringLiteral("FT8");
            setReference(c, Program::Pota, park(random.bounded(30000)));
            out << c;
        }
        return out;
    }();
    return log;
}

struct Spot {
    QString activator, reference, frequencyKhz;
};

// A list of 2,000 spots, one in twenty at two parks, a quarter of the parks never worked.
QList<Spot> syntheticSpots() {
    QRandomGenerator random(61);
    QList<Spot> out;
    for (int i = 0; i < kSpots; ++i) {
        QString reference = park(random.bounded(40000));
        if (i % 20 == 0)
            reference += u',' + park(random.bounded(40000));
        out << Spot{QStringLiteral("K%1ABC").arg(random.bounded(5000)), reference,
                    QString::number(kBandsHz[random.bounded(10)] / 1000)};
    }
    return out;
}

// The marks of a whole list, from the spots' text as the feeds give it: the figure that must stay
// within a frame (16 ms).
void BM_MarkSpotList(benchmark::State& state) {
    Marks marks;
    for (const Contact& c : syntheticLog())
        marks.add(c);
    const QList<Spot> spots = syntheticSpots();
    int news = 0;
    for (auto _ : state) {
        news = 0;
        for (const Spot& spot : spots) {
            const QString band = bandForHz(readKilohertz(spot.frequencyKhz).value_or(0));
            const Mark mark =
                marks.mark(Program::Pota, spot.activator, spot.reference, band, kToday);
            news += mark == Mark::New;
        }
        benchmark::DoNotOptimize(news);
    }
    state.counters["spots"] = kSpots;
    state.counters["new"] = news;
}
BENCHMARK(BM_MarkSpotList)->Unit(benchmark::kMillisecond);

// Indexing the log in memory, as at start-up once the contacts are read.
void BM_IndexLog(benchmark::State& state) {
    const QList<Contact>& log = syntheticLog();
    for (auto _ : state) {
        Marks marks;
        for (const Contact& c : log)
            marks.add(c);
        benchmark::DoNotOptimize(marks);
    }
    state.counters["contacts"] = kContacts;
}
BENCHMARK(BM_IndexLog)->Unit(benchmark::kMillisecond);

// Reading 100,000 contacts from SQLite and indexing them (start-up, off the frame budget).
void BM_LoadStoreAndIndex(benchmark::State& state) {
    QTemporaryDir dir;
    LogStore store;
    if (!store.open(dir.filePath("log.sqlite")) || !store.import(syntheticLog()).error.isEmpty()) {
        state.SkipWithError("the log could not be made");
        return;
    }
    for (auto _ : state) {
        Marks marks;
        marks.load(store.contacts(), store.workedReferences());
        benchmark::DoNotOptimize(marks);
    }
    state.counters["contacts"] = store.count();
}
BENCHMARK(BM_LoadStoreAndIndex)->Unit(benchmark::kMillisecond)->Iterations(3);

// Writing and reading back the whole log as ADIF.
void BM_AdifRoundTrip(benchmark::State& state) {
    const QList<Contact>& log = syntheticLog();
    for (auto _ : state) {
        const QByteArray file = adifFile(log, QStringLiteral("0"), QDateTime::currentDateTimeUtc());
        benchmark::DoNotOptimize(readAdif(file).contacts.size());
    }
    state.counters["contacts"] = kContacts;
}
BENCHMARK(BM_AdifRoundTrip)->Unit(benchmark::kMillisecond)->Iterations(2);

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    return 0;
}
