// Soak run of the whole window and station: every list refreshed hundreds of times from loopback
// replies of real size, then every list's Tune pressed a hundred times against a pseudo-terminal.
// It reports what an operator who leaves the window open all day would notice: memory that keeps
// growing, and moments when the window stops answering.
#include "app/mainwindow.h"
#include "app/windowbinding.h"
#include "fakes.h"
#include "fixtures.h"
#include "loopbackserver.h"
#include "net/politeness.h"
#include "session/listmodel.h"
#include "waitfor.h"

#include <QApplication>
#include <QComboBox>
#include <QElapsedTimer>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QNetworkAccessManager>
#include <QSettings>
#include <QTabWidget>
#include <QTableView>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <array>
#include <atomic>
#include <thread>

#include <fcntl.h>
#include <malloc.h>
#include <poll.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

namespace {

using core::ListKind;

constexpr int kRefreshes = 500;
constexpr int kTunesPerList = 100;
// Short enough for 500 rounds to finish in minutes, long enough for a loopback reply of real
// size to arrive whole: a round that misses is counted, not hidden.
constexpr int kDeadlineMs = 150;
constexpr int kNetsEntries = 300;
constexpr int kStations = 400;
constexpr int kWwffSpots = 120;

constexpr auto kLists = core::kAllLists;

QByteArray netsDirectory(int count) {
    static const char* const modes[] = {"USB", "LSB", "CW", "FM", "SSB"};
    QByteArray body = "<Nets>\n";
    for (int i = 0; i < count; ++i) {
        const QByteArray n = QByteArray::number(i);
        body += "<Net>\n<NetName>Soak Net " + n + "</NetName>\n<Frequency>" +
                QByteArray::number(3.5 + (i % 250) * 0.1, 'f', 3) + " MHz</Frequency>\n<UTC>" +
                QByteArray::number(1000 + (i % 14) * 100) + "</UTC>\n<Mode>" + modes[i % 5] +
                "</Mode>\n<URL>" + (i % 3 ? "https://nets.example/" + n : QByteArray()) +
                "</URL>\n<Confirmed>" + QByteArray::number(i % 17) + "</Confirmed>\n<NetID>" +
                QByteArray::number(1000 + i) + "</NetID>\n</Net>\n";
    }
    return body + "</Nets>\n";
}

// WWFF spots of a busy afternoon, built from the captured ones.
QByteArray wwffSpots(int count) {
    const QJsonArray captured =
        QJsonDocument::fromJson(fixture("wwff-spots-elements.json")).array();
    QJsonArray spots;
    for (int i = 0; i < count && !captured.isEmpty(); ++i) {
        QJsonObject spot = captured.at(i % captured.size()).toObject();
        spot["activator"] = QStringLiteral("F%1SOAK").arg(i);
        spot["spot_time"] = spot["spot_time"].toInteger() - (i * 7919) % 3600;
        spots.append(spot);
    }
    return QJsonDocument(spots).toJson(QJsonDocument::Compact);
}

QByteArray mwStations(int count) {
    QByteArray body = "<Stations>\n";
    for (int i = 0; i < count; ++i) {
        const QByteArray n = QByteArray::number(i);
        body += "<Station>W" + QByteArray::number(100 + i) + "</Station>\n<Frequency>" +
                QByteArray::number(530 + (i % 117) * 10) + " kHz</Frequency>\n<City>Town " + n +
                ", ST</City>\n<Power>" + QByteArray::number(1 + i % 50) + "</Power>\n<URL>" +
                (i % 2 ? "https://radio.example/" + n : QByteArray()) + "</URL>\n";
    }
    return body + "</Stations>\n";
}

// Resident set size in MiB. The allocator first hands freed pages back, so that what is left is
// memory still in use rather than slack kept for later.
double residentMiB(bool trim) {
    if (trim)
        malloc_trim(0);
    QFile statm(QStringLiteral("/proc/self/statm"));
    if (!statm.open(QIODevice::ReadOnly))
        return 0;
    const QList<QByteArray> fields = statm.readAll().split(' ');
    return fields.value(1).toDouble() * double(sysconf(_SC_PAGESIZE)) / (1024.0 * 1024.0);
}

// The radio's end of the line: a pseudo-terminal whose master is drained by a thread of its own,
// so that reading what the application wrote never holds up the event loop being measured.
class DrainedPty {
public:
    DrainedPty() {
        int slave = -1;
        char name[256] = {};
        if (openpty(&m_master, &slave, name, nullptr, nullptr) != 0)
            return;
        m_slaveKeep = slave;
        m_slavePath = QString::fromLocal8Bit(name);
        termios raw{};
        tcgetattr(m_master, &raw);
        cfmakeraw(&raw);
        tcsetattr(m_master, TCSANOW, &raw);
        m_drain = std::thread([this] {
            char buffer[4096];
            while (!m_stop) {
                pollfd p{m_master, POLLIN, 0};
                if (::poll(&p, 1, 20) > 0 && (p.revents & POLLIN)) {
                    const ssize_t n = ::read(m_master, buffer, sizeof buffer);
                    if (n > 0)
                        m_received += n;
                }
            }
        });
    }
    ~DrainedPty() {
        m_stop = true;
        if (m_drain.joinable())
            m_drain.join();
        if (m_master >= 0)
            ::close(m_master);
        if (m_slaveKeep >= 0)
            ::close(m_slaveKeep);
    }
    DrainedPty(const DrainedPty&) = delete;
    DrainedPty& operator=(const DrainedPty&) = delete;

    bool isValid() const { return m_master >= 0; }
    QString slavePath() const { return m_slavePath; }
    qint64 received() const { return m_received; }

private:
    int m_master = -1;
    int m_slaveKeep = -1;
    QString m_slavePath;
    std::atomic<bool> m_stop{false};
    std::atomic<qint64> m_received{0};
    std::thread m_drain;
};

// The longest time between two turns of the event loop, seen by a 1 ms timer.
class StallMonitor {
public:
    StallMonitor() {
        m_timer.setTimerType(Qt::PreciseTimer);
        m_timer.setInterval(1);
        QObject::connect(&m_timer, &QTimer::timeout, [this] {
            const qint64 now = m_clock.nsecsElapsed();
            const double gapMs = double(now - m_last) / 1e6;
            m_last = now;
            m_longestMs = std::max(m_longestMs, gapMs);
            m_over16 += gapMs > 16.0;
        });
    }
    void start() {
        m_clock.start();
        m_last = 0;
        m_timer.start();
    }
    void stop() { m_timer.stop(); }
    double longestMs() const { return m_longestMs; }
    int over16() const { return m_over16; }

private:
    QTimer m_timer;
    QElapsedTimer m_clock;
    qint64 m_last = 0;
    double m_longestMs = 0;
    int m_over16 = 0;
};

void soak(benchmark::State& state) {
    QTemporaryDir dir;
    LoopbackServer server;
    DrainedPty pty;
    if (!dir.isValid() || !server.listen() || !pty.isValid()) {
        state.SkipWithError("no loopback server, temporary folder or pseudo-terminal");
        return;
    }
    server.route("/spot/activator",
                 {200, fixture("pota-activator-spots.json"), "application/json"});
    server.route("/api/spots/epoch", {200, "1"});
    server.route("/api/spots/-3/all/all",
                 {200, fixture("sota-api-spots.json"), "application/json"});
    server.route("/static/spots.json", {200, wwffSpots(kWwffSpots), "application/json"});
    server.route("/api/GetActiveNets.php", {200, fixture("netlogger-active-nets.xml")});
    server.route("/nets.php", {200, netsDirectory(kNetsEntries)});
    server.route("/mw.php", {200, mwStations(kStations)});
    server.route("/solarxml.php", {200, fixture("solarxml-2.xml")});
    server.route("/bandhopper/version.txt", {200, "0.93\n"});

    QSettings settings(dir.filePath(QStringLiteral("settings.ini")), QSettings::IniFormat);
    // SOTA is asked at most once a minute; every round of the soak counts as a minute later.
    QDateTime clock = QDateTime::currentDateTimeUtc();
    net::PoliteNetworkAccess nam([&clock] { return clock; });
    Fakes fakes;
    fakes.ports.realLinks = true;
    fakes.ports.ports = {{"pty", pty.slavePath(), "pty"}};
    qint64 lines = 0;

    app::MainWindow window;
    session::Station station(fakes.platform(&settings, &nam,
                                            core::ServiceHosts::allAt(server.baseUrl()),
                                            [&lines](const QString&) { ++lines; }));
    app::WindowBinding binding(window.controls(), station, nullptr);
    // As an operator sees it: the window open on the POTA tab.
    window.show();
    window.controls().mainTab->setCurrentIndex(1);
    station.setDeadlineMs(kDeadlineMs);
    const auto rowsOf = [&station](ListKind list) {
        return station.lists().model(list)->rowCount();
    };

    std::array<int, kLists.size()> shownCount{};
    int panels = 0;
    int shortLoads = 0;
    std::array<int, kLists.size()> fullSize{};
    QObject::connect(&station.lists(), &session::ListsSession::listShown, [&](ListKind list) {
        ++shownCount[int(list)];
        shortLoads += rowsOf(list) < fullSize[int(list)];
    });
    QObject::connect(&station, &session::Station::conditionsShown, [&] { ++panels; });
    // How long each table takes to take in a new load (model reset, row buttons, column widths):
    // the table binder's own reset handler runs before the one connected here.
    std::array<QElapsedTimer, kLists.size()> resetClock;
    std::array<double, kLists.size()> longestResetMs{};
    for (ListKind list : kLists) {
        session::ListModel* model = station.lists().model(list);
        const int i = int(list);
        QObject::connect(model, &QAbstractItemModel::modelAboutToBeReset,
                         [&resetClock, i] { resetClock[i].start(); });
        QObject::connect(model, &QAbstractItemModel::modelReset, [&resetClock, &longestResetMs, i] {
            longestResetMs[i] = std::max(longestResetMs[i], resetClock[i].nsecsElapsed() / 1e6);
        });
    }
    const auto allShown = [&](int round) {
        for (int n : shownCount)
            if (n < round)
                return false;
        return panels >= round;
    };

    station.start();
    if (!waitFor([&] { return allShown(1); }, 5000)) {
        state.SkipWithError("the first load did not settle");
        return;
    }
    for (ListKind list : kLists)
        fullSize[int(list)] = rowsOf(list);

    station.radio().choosePort(QStringLiteral("pty"));
    station.radio().chooseRadio(10, QStringLiteral("Icom IC-7300"));
    station.radio().openOrClose();
    if (!station.radio().link() || !station.radio().link()->isOpen()) {
        state.SkipWithError("the pseudo-terminal did not open");
        return;
    }

    // Every refresh command; the MW list has no refresh of its own.
    int round = 1;
    const auto refreshAll = [&] {
        ++round;
        clock = clock.addSecs(61);
        for (session::Refresh what :
             {session::Refresh::Pota, session::Refresh::NetLogger, session::Refresh::Sota,
              session::Refresh::Wwff, session::Refresh::Nets, session::Refresh::Conditions})
            station.refresh(what);
        station.lists().load(ListKind::MW);
        const bool settled = waitFor([&] { return allShown(round); }, 5000);
        // The harness keeps nothing from round to round, so that what grows is the application.
        fakes.sounds.played.clear();
        server.clearRequests();
        return settled;
    };

    // A few rounds first, so that the caches every Qt program builds once are not counted.
    for (int i = 0; i < 5; ++i)
        refreshAll();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    const double rawStart = residentMiB(false);
    const double start = residentMiB(true);

    StallMonitor stalls;
    StallMonitor tuneStalls;
    shortLoads = 0;
    longestResetMs = {};
    int unsettled = 0;
    qint64 tunes = 0;
    for (auto _ : state) {
        stalls.start();
        for (int i = 0; i < kRefreshes; ++i)
            unsettled += !refreshAll();
        stalls.stop();

        auto* link = static_cast<radio::QtSerialLink*>(station.radio().link());
        tuneStalls.start();
        for (ListKind list : kLists) {
            const int rows = rowsOf(list);
            for (int i = 0; i < kTunesPerList && rows > 0; ++i) {
                station.tune(list, i % rows);
                ++tunes;
                waitFor([&] { return !link->hasPendingWrites(); }, 1000);
                fakes.speech.spoken.clear();
            }
        }
        tuneStalls.stop();
    }
    waitFor([&] { return pty.received() > 0; }, 100);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    const double end = residentMiB(true);
    const double rawEnd = residentMiB(false);

    state.counters["refreshes"] = kRefreshes;
    state.counters["unsettled_rounds"] = unsettled;
    state.counters["short_loads"] = shortLoads;
    state.counters["tunes"] = double(tunes);
    state.counters["bytes_to_radio"] = double(pty.received());
    state.counters["diagnostic_lines"] = double(lines);
    state.counters["rss_start_MiB"] = start;
    state.counters["rss_end_MiB"] = end;
    state.counters["rss_growth_MiB"] = end - start;
    state.counters["rss_growth_untrimmed_MiB"] = rawEnd - rawStart;
    state.counters["max_stall_ms"] = std::max(stalls.longestMs(), tuneStalls.longestMs());
    state.counters["max_stall_refresh_ms"] = stalls.longestMs();
    state.counters["max_stall_tune_ms"] = tuneStalls.longestMs();
    state.counters["stalls_over_16ms"] = stalls.over16() + tuneStalls.over16();
    for (ListKind list : kLists)
        state.counters["reset_ms_" + core::listName(list).toStdString()] =
            longestResetMs[int(list)];
}

BENCHMARK(soak)->Iterations(1)->Unit(benchmark::kSecond)->UseRealTime();

} // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
