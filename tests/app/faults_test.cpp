// Faults from outside — broken services and failing serial devices — met by the real
// controller: the window keeps running, shows only what the rules allow and says what happened.
#include "controllerfixture.h"
#include "ptypair.h"
#include "ui/rowtablemodel.h"

#include <QComboBox>
#include <QDir>
#include <QGroupBox>
#include <QLabel>
#include <QNetworkReply>
#include <QPushButton>
#include <QSignalSpy>
#include <QSslConfiguration>
#include <QTabWidget>
#include <QTableView>
#include <QTcpServer>

#include <fcntl.h>
#include <unistd.h>

#include <optional>
#include <set>

using feeds::ListKind;

namespace {

const QByteArray kPotaOne =
    R"([{"activator":"K1ABC","frequency":"14074","mode":"FT8","comments":"","name":"Acadia",
  "spotTime":"2030-01-01T00:00:00","latitude":44.3,"longitude":-68.2,"locationDesc":"US-ME",
  "reference":"US-0001"}])";
const QByteArray kPotaTwo =
    R"([{"activator":"K2OLD","frequency":"7074","mode":"FT8","comments":"","name":"Old Park",
  "spotTime":"2030-01-01T00:00:00","latitude":1,"longitude":2,"locationDesc":"US-NY",
  "reference":"US-0002"},
 {"activator":"K3OLD","frequency":"7075","mode":"FT8","comments":"","name":"Older Park",
  "spotTime":"2030-01-01T00:00:00","latitude":1,"longitude":2,"locationDesc":"US-NY",
  "reference":"US-0003"}])";
const QByteArray kSota = R"([{"timeStamp":"2030-01-01T00:00:00","comments":null,
  "activatorCallsign":"W7XYZ","activatorName":"Jo","frequency":"7.032","mode":"DATA",
  "summitCode":"W7W/KG-001","summitDetails":"Mount Si, 1270m, 4 points"}])";
const QByteArray kNets = "<NetName>Noon Net</NetName>\n<Frequency>7.255</Frequency>\n"
                         "<UTC>1700</UTC>\n<Mode>SSB</Mode>\n<URL></URL>\n"
                         "<Confirmed>0</Confirmed>\n<NetID>43</NetID>\n";
const QByteArray kStations = "<Station>CKAC</Station>\n<Frequency>730</Frequency>\n"
                             "<City>Montreal</City>\n<Power>50</Power>\n<URL></URL>\n"
                             "<Station>WGN</Station>\n<Frequency>720</Frequency>\n"
                             "<City>Chicago</City>\n<Power>50</Power>\n<URL></URL>\n";
const QByteArray kErrorPage = "<!DOCTYPE html><html><head><title>500 Internal Server Error"
                              "</title></head><body><h1>Internal Server Error</h1></body></html>";

constexpr int kTagConditions = 810;
constexpr int kTagPota = 811;
constexpr int kTagNets = 814;

QString fixturePath(const char* name) {
    return QStringLiteral(BH_FIXTURES_DIR "/") + QLatin1String(name);
}

QPushButton* buttonAt(QTableView* view, int row, const char* identifier) {
    auto* model = static_cast<ui::RowTableModel*>(view->model());
    return qobject_cast<QPushButton*>(
        view->indexWidget(model->index(row, model->columnOf(QString::fromLatin1(identifier)))));
}

QStringList linesContaining(const QStringList& lines, const QString& part) {
    return lines.filter(part);
}

// Descriptors of this process that refer to `path`.
std::set<int> descriptorsOf(const QString& path) {
    std::set<int> found;
    const QDir fds(QStringLiteral("/proc/self/fd"));
    for (const QString& entry : fds.entryList(QDir::System | QDir::NoDotAndDotDot)) {
        if (QFile::symLinkTarget(fds.filePath(entry)) == path)
            found.insert(entry.toInt());
    }
    return found;
}

} // namespace

class FaultsTest : public ControllerTest {
protected:
    void serveEverything(LoopbackServer& at) {
        at.route("/spot/activator", {200, kPotaOne, "application/json"});
        at.route("/api/spots/-3/all", {200, kSota, "application/json"});
        at.route("/api/GetActiveNets.php", {200, fixture("netlogger-active-nets.xml")});
        at.route("/nets.php", {200, kNets});
        at.route("/mw.php", {200, kStations});
        at.route("/solarxml.php", {200, fixture("solarxml-2.xml")});
        at.route("/bandhopper/version.txt", {200, "0.93\n"});
    }

    // A controller whose hosts are chosen by the test rather than all on `server`.
    void makeControllerWithHosts(const feeds::ServiceHosts& hosts) {
        controller.reset();
        window = std::make_unique<app::MainWindow>();
        app::Platform platform;
        platform.settings = settings.get();
        platform.ports = &ports;
        platform.speech = &speech;
        platform.sounds = &sounds;
        platform.notifier = &notifier;
        platform.browser = &browser;
        platform.prompter = &prompter;
        platform.nam = &nam;
        platform.hosts = hosts;
        platform.out = [this](const QString& line) { out << line; };
        controller = std::make_unique<app::SerialPortDemoController>(window->controls(), platform);
    }

    // Waits for the next time `list` is settled and returns how many rows it showed, or -1.
    int nextShown(QSignalSpy& spy, ListKind list, int timeoutMs) {
        QDeadlineTimer deadline(timeoutMs);
        qsizetype seen = 0;
        while (!deadline.hasExpired()) {
            for (; seen < spy.size(); ++seen)
                if (spy.at(seen).at(0).value<ListKind>() == list) {
                    spy.removeAt(seen);
                    return controller->model(list)->rowCount();
                }
            spy.wait(int(std::max<qint64>(1, deadline.remainingTime())));
        }
        return -1;
    }

    QString urlOf(const LoopbackServer& at, const char* path) const {
        return at.baseUrl().toString() + QLatin1String(path);
    }

    // Starts with the lists on the screen and the radio on a pseudo-terminal.
    void startOnPty(PtyPair& pty) {
        ASSERT_TRUE(pty.isValid());
        ports.realLinks = true;
        ports.ports = {{"pty", pty.slavePath(), "pty"}};
        makeController();
        serveEverything(server);
        controller->setDeadlineMs(300); // the lists are only the stage here
        QSignalSpy shown(controller.get(), &app::SerialPortDemoController::listShown);
        controller->awakeFromNib();
        ASSERT_EQ(nextShown(shown, ListKind::Pota, 4000), 1);
        w().PortPopUpButton->setCurrentIndex(0);
        w().RadioPopUpButton->setCurrentText("Icom IC-7300");
        controller->goRadio(w().RadioPopUpButton);
        controller->openOrClosePort();
        ASSERT_TRUE(controller->serialPort() && controller->serialPort()->isOpen());
        ASSERT_TRUE(waitFor([&] { return w().mainTab->currentIndex() == 1; }, 1000));
        sounds.played.clear();
        out.clear();
    }

    // What the serial port's error path leaves behind, whatever the fault.
    void expectErrorPath(const QString& description) {
        const QStringList errors = linesContaining(
            out, QStringLiteral("SerialPort ") + description + " encountered an error: ");
        EXPECT_EQ(errors.size(), 1) << out.join('\n').toStdString();
        EXPECT_EQ(sounds.played.count("Frog"), 1);
        EXPECT_EQ(w().mainTab->currentIndex(), 0);
    }
};

// Replies that reach the application whole but are not what a feed should send. Each one empties
// or decodes its own list only; the next good reply of that list is shown as usual.
struct ReplyFault {
    const char* name;
    ListKind list;
    QByteArray path;
    LoopbackServer::Response reply;
    int rows;                         // what the table shows
    std::optional<QString> line;      // diagnostic about this reply; nullopt: none at all
    std::optional<QString> firstCell; // column 2 of row 0, where the text itself matters
};

void PrintTo(const ReplyFault& fault, std::ostream* os) {
    *os << fault.name;
}

class ReplyFaultTest : public FaultsTest, public ::testing::WithParamInterface<ReplyFault> {};

TEST_P(ReplyFaultTest, ShowsOnlyWhatTheRulesAllowAndRecovers) {
    const ReplyFault& fault = GetParam();
    serveEverything(server);
    server.route(fault.path, fault.reply);
    // The content is what is under test here, not the wait, so the loads settle sooner.
    controller->setDeadlineMs(1000);
    QSignalSpy shown(controller.get(), &app::SerialPortDemoController::listShown);
    controller->awakeFromNib();

    ASSERT_EQ(nextShown(shown, fault.list, 3000), fault.rows);
    EXPECT_EQ(controller->rows(fault.list).size(), fault.rows);
    if (fault.line) {
        EXPECT_EQ(linesContaining(out, *fault.line).size(), 1) << out.join('\n').toStdString();
    } else {
        EXPECT_TRUE(linesContaining(out, QString::fromLatin1(fault.path)).isEmpty())
            << out.join('\n').toStdString();
    }
    if (fault.firstCell) {
        EXPECT_EQ(controller->rows(fault.list).value(0).value(2), *fault.firstCell);
    }

    // The window keeps working: the same list reloads from a good reply.
    serveEverything(server);
    if (fault.list == ListKind::Pota) {
        QObject refresh;
        refresh.setProperty("tag", kTagPota);
        controller->go(&refresh);
    } else {
        controller->loadMWStations();
    }
    EXPECT_EQ(nextShown(shown, fault.list, 3000), fault.list == ListKind::Pota ? 1 : 2);
}

LoopbackServer::Response cutShort(QByteArray body) {
    LoopbackServer::Response r{200, body.left(body.size() / 2)};
    r.declaredLength = body.size();
    return r;
}

LoopbackServer::Response oversized(bool announced) {
    LoopbackServer::Response r{200, QByteArray(17 * 1024 * 1024, 'x')};
    r.omitLength = !announced;
    return r;
}

// The same lists with one accented letter in Latin-1 rather than UTF-8.
const QByteArray kStationsLatin1 = QByteArray(kStations).replace("Montreal", "Montr\xe9"
                                                                             "al");
const QByteArray kPotaLatin1 = QByteArray(kPotaOne).replace("Acadia", "Acad\xed"
                                                                      "a");

INSTANTIATE_TEST_SUITE_P(
    Faults, ReplyFaultTest,
    ::testing::Values(
        // An error page is no spot list: the JSON decoder says so.
        ReplyFault{"Pota500Html",
                   ListKind::Pota,
                   "/spot/activator",
                   {500, kErrorPage, "text/html"},
                   0,
                   "POTA spots: the reply is not a JSON array: ",
                   std::nullopt},
        // The text feeds look for their tags only; an error page has none, and says nothing.
        ReplyFault{"Mw500Html",
                   ListKind::MW,
                   "/mw.php",
                   {500, kErrorPage, "text/html"},
                   0,
                   std::nullopt,
                   std::nullopt},
        // Half a body must not show half a list.
        ReplyFault{"PotaCutShort", ListKind::Pota, "/spot/activator", cutShort(kPotaTwo), 0,
                   "/spot/activator failed: Connection closed", std::nullopt},
        ReplyFault{"MwCutShort", ListKind::MW, "/mw.php", cutShort(kStations), 0,
                   "/mw.php failed: Connection closed", std::nullopt},
        // Text feeds keep the row with a replacement character; JSON refuses the whole body.
        ReplyFault{"MwLatin1",
                   ListKind::MW,
                   "/mw.php",
                   {200, kStationsLatin1},
                   2,
                   std::nullopt,
                   QStringLiteral("Montr\uFFFDal")},
        ReplyFault{"PotaLatin1",
                   ListKind::Pota,
                   "/spot/activator",
                   {200, kPotaLatin1, "application/json"},
                   0,
                   "POTA spots: the reply is not a JSON array: invalid UTF-8",
                   std::nullopt},
        // Too large to hold: dropped whether the size was announced or not.
        ReplyFault{"MwOversizedAnnounced", ListKind::MW, "/mw.php", oversized(true), 0,
                   "/mw.php dropped: the reply is larger than 16777216 bytes", std::nullopt},
        ReplyFault{"MwOversizedUnannounced", ListKind::MW, "/mw.php", oversized(false), 0,
                   "/mw.php dropped: the reply is larger than 16777216 bytes", std::nullopt}),
    [](const ::testing::TestParamInfo<ReplyFault>& info) { return info.param.name; });

TEST_F(FaultsTest, RefusedConnectionsLeaveEveryListAndThePanelEmpty) {
    QTcpServer closed;
    ASSERT_TRUE(closed.listen(QHostAddress::LocalHost, 0));
    const QUrl dead(QStringLiteral("http://127.0.0.1:%1").arg(closed.serverPort()));
    closed.close();
    makeControllerWithHosts(feeds::ServiceHosts::allAt(dead));
    QSignalSpy shown(controller.get(), &app::SerialPortDemoController::listShown);
    QSignalSpy panel(controller.get(), &app::SerialPortDemoController::conditionsShown);
    controller->awakeFromNib();

    ASSERT_TRUE(waitFor([&] { return shown.size() == 5 && panel.size() == 1; }, 4000));
    for (ListKind list :
         {ListKind::Pota, ListKind::Sota, ListKind::NetLogger, ListKind::Nets, ListKind::MW})
        EXPECT_EQ(controller->model(list)->rowCount(), 0);
    EXPECT_EQ(w().bandBox->title(), "Band Conditions - ");
    EXPECT_TRUE(w().solarFluxField->text().isEmpty());
    for (const char* path : {"/spot/activator", "/api/spots/-3/all", "/api/GetActiveNets.php",
                             "/nets.php", "/mw.php", "/solarxml.php"}) {
        const QString line = QStringLiteral("GET ") + dead.toString() + QLatin1String(path) +
                             QStringLiteral(" failed: Connection refused");
        EXPECT_TRUE(out.contains(line)) << line.toStdString();
    }
    EXPECT_TRUE(prompter.alerts.isEmpty()) << "no answer is no newer version";

    // Refreshing against the dead host again changes nothing and breaks nothing.
    QObject refresh;
    refresh.setProperty("tag", kTagConditions);
    controller->go(&refresh);
    ASSERT_TRUE(panel.wait(3000));
    EXPECT_EQ(w().bandBox->title(), "Band Conditions - ");
}

TEST_F(FaultsTest, AServerThatNeverAnswersIsDroppedAtTheDeadline) {
    serveEverything(server);
    LoopbackServer::Response silent;
    silent.hang = true;
    server.route("/spot/activator", silent);
    QSignalSpy shown(controller.get(), &app::SerialPortDemoController::listShown);
    controller->awakeFromNib();
    ASSERT_TRUE(waitFor([&] { return server.count("/spot/activator") == 1; }, 1000));
    EXPECT_EQ(server.openConnections(), 1);

    ASSERT_EQ(nextShown(shown, ListKind::Pota, 3000), 0);
    // The request is aborted at the deadline rather than left to its 60-second time-out.
    EXPECT_TRUE(waitFor([&] { return server.openConnections() == 0; }, 500));
    EXPECT_EQ(
        linesContaining(out, "/spot/activator"),
        QStringList{"GET " + urlOf(server, "/spot/activator") + " gave no reply within 2000 ms"});

    serveEverything(server);
    QObject refresh;
    refresh.setProperty("tag", kTagPota);
    controller->go(&refresh);
    EXPECT_EQ(nextShown(shown, ListKind::Pota, 3000), 1);
    EXPECT_EQ(controller->kvPotaArray[0][0], "K1ABC");
}

TEST_F(FaultsTest, ALateReplyNeverJoinsTheNextLoadsList) {
    serveEverything(server);
    LoopbackServer::Response late{200, kPotaTwo, "application/json"};
    late.delayMs = 2500;
    server.route("/spot/activator", late);
    QSignalSpy shown(controller.get(), &app::SerialPortDemoController::listShown);
    controller->awakeFromNib();
    ASSERT_EQ(nextShown(shown, ListKind::Pota, 3000), 0);

    // The refresh is still waiting for its own reply when the late one would land.
    LoopbackServer::Response next{200, kPotaOne, "application/json"};
    next.delayMs = 1000;
    server.route("/spot/activator", next);
    QObject refresh;
    refresh.setProperty("tag", kTagPota);
    controller->go(&refresh);
    ASSERT_EQ(nextShown(shown, ListKind::Pota, 3000), 1);
    EXPECT_EQ(controller->kvPotaArray[0][0], "K1ABC");
    EXPECT_EQ(sounds.played.count("Funk"), 1);
    settle(200);
    EXPECT_EQ(w().potaTable->model()->rowCount(), 1);
    EXPECT_EQ(server.count("/spot/activator"), 2);
}

TEST_F(FaultsTest, ARefreshSupersedesALoadStillWaiting) {
    serveEverything(server);
    LoopbackServer::Response late{200, kPotaTwo, "application/json"};
    late.delayMs = 1500;
    server.route("/spot/activator", late);
    QSignalSpy shown(controller.get(), &app::SerialPortDemoController::listShown);
    controller->awakeFromNib();
    ASSERT_TRUE(waitFor([&] { return server.count("/spot/activator") == 1; }, 1000));

    server.route("/spot/activator", {200, kPotaOne, "application/json"});
    QObject refresh;
    refresh.setProperty("tag", kTagPota);
    controller->go(&refresh);
    ASSERT_EQ(nextShown(shown, ListKind::Pota, 3000), 1);
    EXPECT_EQ(controller->kvPotaArray[0][0], "K1ABC");
    settle(300);
    EXPECT_EQ(nextShown(shown, ListKind::Pota, 0), -1) << "the superseded load shows nothing";
}

TEST_F(FaultsTest, AnUntrustedCertificateIsRefused) {
    LoopbackServer tls;
    ASSERT_TRUE(tls.listenTls(fixturePath("tls/loopback.crt"), fixturePath("tls/loopback.key")));
    tls.route("/spot/activator", {200, kPotaOne, "application/json"});

    // The server itself is sound: a client that trusts its certificate gets the spots.
    {
        QNetworkRequest request(QUrl(urlOf(tls, "/spot/activator")));
        QSslConfiguration trusting = QSslConfiguration::defaultConfiguration();
        trusting.addCaCertificates(fixturePath("tls/loopback.crt"));
        request.setSslConfiguration(trusting);
        QNetworkAccessManager own;
        std::unique_ptr<QNetworkReply> reply(own.get(request));
        ASSERT_TRUE(waitFor([&] { return reply->isFinished(); }, 3000));
        ASSERT_EQ(reply->error(), QNetworkReply::NoError) << reply->errorString().toStdString();
        ASSERT_EQ(tls.count("/spot/activator"), 1);
    }

    serveEverything(server);
    feeds::ServiceHosts hosts = feeds::ServiceHosts::allAt(server.baseUrl());
    hosts.pota = tls.baseUrl();
    makeControllerWithHosts(hosts);
    QSignalSpy shown(controller.get(), &app::SerialPortDemoController::listShown);
    controller->awakeFromNib();

    ASSERT_EQ(nextShown(shown, ListKind::Pota, 3000), 0);
    EXPECT_EQ(tls.count("/spot/activator"), 1) << "no request went over the untrusted link";
    const QStringList lines = linesContaining(out, urlOf(tls, "/spot/activator") + " failed: ");
    ASSERT_EQ(lines.size(), 1) << out.join('\n').toStdString();
    EXPECT_TRUE(lines[0].contains("SSL", Qt::CaseInsensitive)) << lines[0].toStdString();
    EXPECT_EQ(controller->model(ListKind::Sota)->rowCount(), 1) << "the other lists load as usual";
}

// Paths that exist but cannot serve as a serial line, even for root, who is not stopped by
// permission bits: a directory fails in open() itself (EISDIR), /dev/null opens but refuses the
// line settings (ENOTTY), and a vanished device is simply not there.
TEST_F(FaultsTest, APortThatCannotBeOpenedTakesTheErrorPath) {
    serveEverything(server);
    struct Case {
        QString location;
    };
    const std::vector<Case> cases = {
        {dir.path()},
        {QStringLiteral("/dev/null")},
        {dir.filePath(QStringLiteral("ttyGone0"))},
    };
    ports.realLinks = true;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.location.toStdString());
        ports.ports = {{"bad", c.location, "bad"}};
        makeController();
        controller->setDeadlineMs(300);
        controller->awakeFromNib();
        ASSERT_TRUE(waitFor([&] { return !controller->kvPotaArray.isEmpty(); }, 3000));
        w().mainTab->setCurrentIndex(1);
        w().PortPopUpButton->setCurrentIndex(0);
        ASSERT_NE(controller->serialPort(), nullptr);
        sounds.played.clear();
        out.clear();

        controller->openOrClosePort();
        expectErrorPath(controller->serialPort()->description());
        EXPECT_EQ(sounds.played, QStringList{"Frog"}) << out.join('\n').toStdString();
        EXPECT_FALSE(controller->serialPort()->isOpen());
        EXPECT_EQ(w().openCloseButton->text(), "Connect");
        EXPECT_FALSE(sounds.played.contains("Seatbelts"));
        EXPECT_FALSE(settings->contains("defaultPort"));

        buttonAt(w().potaTable, 0, "tune")->click(); // nothing to write to; no crash
        EXPECT_EQ(speech.spoken.last(), "Acadia");
    }
}

TEST_F(FaultsTest, TheDeviceVanishingBetweenTunesClearsThePort) {
    PtyPair pty;
    ASSERT_NO_FATAL_FAILURE(startOnPty(pty));
    const QString description = controller->serialPort()->description();
    buttonAt(w().potaTable, 0, "tune")->click();
    EXPECT_EQ(pty.read(27).size(), 27);

    pty.closeMaster();
    ASSERT_TRUE(waitFor([&] { return controller->serialPort() == nullptr; }, 2000));
    expectErrorPath(description);
    EXPECT_EQ(w().openCloseButton->text(), "Connect");
    EXPECT_FALSE(sounds.played.contains("Bottle")) << "removal is not a close";

    const int lines = out.size();
    buttonAt(w().sotaTable, 0, "tune2")->click();
    controller->openOrClosePort(); // no port any more: nothing happens
    EXPECT_EQ(w().openCloseButton->text(), "Connect");
    EXPECT_TRUE(linesContaining(out.mid(lines), "encountered an error").isEmpty());
    EXPECT_EQ(speech.spoken.last(), "Mount Si");
}

TEST_F(FaultsTest, TheDeviceVanishingDuringATuneClearsThePort) {
    PtyPair pty;
    ASSERT_NO_FATAL_FAILURE(startOnPty(pty));
    const QString description = controller->serialPort()->description();

    buttonAt(w().potaTable, 0, "tune")->click();
    pty.closeMaster();
    ASSERT_TRUE(waitFor([&] { return controller->serialPort() == nullptr; }, 2000));
    expectErrorPath(description);
    EXPECT_EQ(w().openCloseButton->text(), "Connect");
    EXPECT_TRUE(out.contains("FEFE94E01A060101FD"));
    settle(100);

    // Gone before the application noticed: the press itself meets the dead line.
    PtyPair second;
    ASSERT_TRUE(second.isValid());
    ports.plugIn({{"pty2", second.slavePath(), "pty2"}});
    w().PortPopUpButton->setCurrentText("pty2");
    controller->openOrClosePort();
    ASSERT_TRUE(controller->serialPort() && controller->serialPort()->isOpen());
    const QString secondDescription = controller->serialPort()->description();
    out.clear();
    sounds.played.clear();
    w().mainTab->setCurrentIndex(1);
    second.closeMaster();
    buttonAt(w().mwTable, 0, "tune3")->click();
    ASSERT_TRUE(waitFor([&] { return controller->serialPort() == nullptr; }, 2000));
    expectErrorPath(secondDescription);
    EXPECT_EQ(w().openCloseButton->text(), "Connect");
}

TEST_F(FaultsTest, AFailedWriteTakesTheErrorPathAndKeepsTheLink) {
    PtyPair pty;
    const std::set<int> before = descriptorsOf(pty.slavePath());
    ASSERT_NO_FATAL_FAILURE(startOnPty(pty));
    std::set<int> opened = descriptorsOf(pty.slavePath());
    for (int fd : before)
        opened.erase(fd);
    ASSERT_EQ(opened.size(), 1u);
    // Put a read-only descriptor of the same line under the port: reads go on, writes fail.
    const int readOnly = ::open(pty.slavePath().toLocal8Bit().constData(), O_RDONLY | O_NOCTTY);
    ASSERT_GE(readOnly, 0);
    ASSERT_EQ(::dup2(readOnly, *opened.begin()), *opened.begin());
    ::close(readOnly);
    const QString description = controller->serialPort()->description();

    buttonAt(w().sotaTable, 0, "tune2")->click();
    ASSERT_TRUE(waitFor([&] { return sounds.played.contains("Frog"); }, 1000));
    expectErrorPath(description);
    settle(200);
    EXPECT_EQ(sounds.played.count("Frog"), 1) << "one failure is reported, not repeated forever";
    EXPECT_TRUE(pty.read(1, 100).isEmpty());
    EXPECT_EQ(speech.spoken.last(), "Mount Si");
    // The device is still there: the link and the button stay as they were.
    ASSERT_NE(controller->serialPort(), nullptr);
    EXPECT_EQ(w().openCloseButton->text(), "Connected");

    buttonAt(w().potaTable, 0, "tune")->click();
    settle(200);
    EXPECT_EQ(sounds.played.count("Frog"), 2);

    controller->openOrClosePort();
    EXPECT_EQ(w().openCloseButton->text(), "Connect");
    EXPECT_EQ(sounds.played.last(), "Bottle");
}
