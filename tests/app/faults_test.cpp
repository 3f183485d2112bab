// Faults from outside — broken services and failing serial devices — met by the real
// controller: the window keeps running, shows only what the rules allow and says what happened.
#include "controllerfixture.h"
#include "ptypair.h"

#include <QComboBox>
#include <QDir>
#include <QGroupBox>
#include <QLabel>
#include <QNetworkReply>
#include <QSignalSpy>
#include <QSslConfiguration>
#include <QTabWidget>
#include <QTcpServer>

#include <fcntl.h>
#include <unistd.h>

#include <optional>
#include <set>

using feeds::ListKind;

namespace {

const QByteArray kPotaTwo =
    R"([{"activator":"K2OLD","frequency":"7074","mode":"FT8","comments":"","name":"Old Park",
  "spotTime":"2030-01-01T00:00:00","latitude":1,"longitude":2,"locationDesc":"US-NY",
  "reference":"US-0002"},
 {"activator":"K3OLD","frequency":"7075","mode":"FT8","comments":"","name":"Older Park",
  "spotTime":"2030-01-01T00:00:00","latitude":1,"longitude":2,"locationDesc":"US-NY",
  "reference":"US-0003"}])";
const QByteArray kErrorPage = "<!DOCTYPE html><html><head><title>500 Internal Server Error"
                              "</title></head><body><h1>Internal Server Error</h1></body></html>";

constexpr int kTagConditions = 810;
constexpr int kTagPota = 811;

QString fixturePath(const char* name) {
    return QStringLiteral(BH_FIXTURES_DIR "/") + QLatin1String(name);
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

LoopbackServer::Response delayed(const QByteArray& body, int delayMs) {
    LoopbackServer::Response r{200, body, "application/json"};
    r.delayMs = delayMs;
    return r;
}

} // namespace

class FaultsTest : public ControllerTest {
protected:
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

    // What the serial port's error path leaves behind, whatever the fault.
    void expectErrorPath(const QString& description) {
        const QStringList errors =
            out.filter(QStringLiteral("SerialPort ") + description + " encountered an error: ");
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
    int rows;                              // what the table shows
    std::optional<QString> line = {};      // diagnostic about this reply; nullopt: none at all
    std::optional<QString> firstCell = {}; // column 2 of row 0, where the text itself matters
};

void PrintTo(const ReplyFault& fault, std::ostream* os) {
    *os << fault.name;
}

class ReplyFaultTest : public FaultsTest, public ::testing::WithParamInterface<ReplyFault> {};

TEST_P(ReplyFaultTest, ShowsOnlyWhatTheRulesAllowAndRecovers) {
    const ReplyFault& fault = GetParam();
    serveEverything();
    server.route(fault.path, fault.reply);
    // The content is what is under test here, not the wait, so the loads settle sooner.
    controller->setDeadlineMs(1000);
    QSignalSpy shown(controller.get(), &app::SerialPortDemoController::listShown);
    controller->awakeFromNib();

    ASSERT_EQ(nextShown(shown, fault.list, 3000), fault.rows);
    EXPECT_EQ(controller->rows(fault.list).size(), fault.rows);
    const QStringList lines = out.filter(fault.line.value_or(QString::fromLatin1(fault.path)));
    EXPECT_EQ(lines.size(), fault.line ? 1 : 0) << out.join('\n').toStdString();
    if (fault.firstCell) {
        EXPECT_EQ(controller->rows(fault.list).value(0).value(2), *fault.firstCell);
    }

    // The window keeps working: the same list reloads from a good reply.
    serveEverything();
    if (fault.list == ListKind::Pota)
        go(kTagPota);
    else
        controller->loadMWStations();
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
const QByteArray kStationsLatin1 = QByteArray(kStations).replace("Sacramento", "Sacram\xe9nto");
const QByteArray kPotaLatin1 = QByteArray(kPota).replace("Acadia", "Acad\xed"
                                                                   "a");
const QString kMwTooLarge = "/mw.php dropped: the reply is larger than 16777216 bytes";

INSTANTIATE_TEST_SUITE_P(
    Faults, ReplyFaultTest,
    ::testing::Values(
        // An error page is no spot list: the JSON decoder says so. The text feeds look for
        // their tags only; an error page has none, and says nothing.
        ReplyFault{"Pota500Html",
                   ListKind::Pota,
                   "/spot/activator",
                   {500, kErrorPage, "text/html"},
                   0,
                   "POTA spots: the reply is not a JSON array: "},
        ReplyFault{"Mw500Html", ListKind::MW, "/mw.php", {500, kErrorPage, "text/html"}, 0},
        // Half a body must not show half a list.
        ReplyFault{"PotaCutShort", ListKind::Pota, "/spot/activator", cutShort(kPotaTwo), 0,
                   "/spot/activator failed: Connection closed"},
        ReplyFault{"MwCutShort", ListKind::MW, "/mw.php", cutShort(kStations), 0,
                   "/mw.php failed: Connection closed"},
        // Text feeds keep the row with a replacement character; JSON refuses the whole body.
        ReplyFault{"MwLatin1",
                   ListKind::MW,
                   "/mw.php",
                   {200, kStationsLatin1},
                   2,
                   std::nullopt,
                   QStringLiteral("Sacram\uFFFDnto")},
        ReplyFault{"PotaLatin1",
                   ListKind::Pota,
                   "/spot/activator",
                   {200, kPotaLatin1, "application/json"},
                   0,
                   "POTA spots: the reply is not a JSON array: invalid UTF-8"},
        // Too large to hold: dropped whether the size was announced or not.
        ReplyFault{"MwOversizedAnnounced", ListKind::MW, "/mw.php", oversized(true), 0,
                   kMwTooLarge},
        ReplyFault{"MwOversizedUnannounced", ListKind::MW, "/mw.php", oversized(false), 0,
                   kMwTooLarge}),
    [](const ::testing::TestParamInfo<ReplyFault>& info) { return info.param.name; });

TEST_F(FaultsTest, RefusedConnectionsLeaveEveryListAndThePanelEmpty) {
    QTcpServer closed;
    ASSERT_TRUE(closed.listen(QHostAddress::LocalHost, 0));
    const QUrl dead(QStringLiteral("http://127.0.0.1:%1").arg(closed.serverPort()));
    closed.close();
    makeController(feeds::ServiceHosts::allAt(dead));
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
        const QString line = "GET " + dead.toString() + path + " failed: Connection refused";
        EXPECT_TRUE(out.contains(line)) << line.toStdString();
    }
    EXPECT_TRUE(prompter.alerts.isEmpty()) << "no answer is no newer version";

    // Refreshing against the dead host again changes nothing and breaks nothing.
    go(kTagConditions);
    ASSERT_TRUE(panel.wait(3000));
    EXPECT_EQ(w().bandBox->title(), "Band Conditions - ");
}

TEST_F(FaultsTest, AServerThatNeverAnswersIsDroppedAtTheDeadline) {
    serveEverything();
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
    EXPECT_EQ(out.filter("/spot/activator"), QStringList{"GET " + urlOf(server, "/spot/activator") +
                                                         " gave no reply within 2000 ms"});

    serveEverything();
    go(kTagPota);
    EXPECT_EQ(nextShown(shown, ListKind::Pota, 3000), 1);
}

// A reply that comes after its load's deadline, whether the next load has already started
// (superseded) or not, never joins the next load's list.
TEST_F(FaultsTest, ALateReplyNeverJoinsTheNextLoadsList) {
    for (const bool refreshBeforeTheDeadline : {false, true}) {
        SCOPED_TRACE(refreshBeforeTheDeadline);
        makeController();
        sounds.played.clear();
        serveEverything();
        server.route("/spot/activator", delayed(kPotaTwo, refreshBeforeTheDeadline ? 1500 : 2500));
        QSignalSpy shown(controller.get(), &app::SerialPortDemoController::listShown);
        const int before = server.count("/spot/activator");
        controller->awakeFromNib();
        if (refreshBeforeTheDeadline)
            ASSERT_TRUE(waitFor([&] { return server.count("/spot/activator") > before; }, 1000));
        else
            ASSERT_EQ(nextShown(shown, ListKind::Pota, 3000), 0);

        // The refresh is still waiting for its own reply when the late one lands.
        server.route("/spot/activator", delayed(kPota, refreshBeforeTheDeadline ? 0 : 1000));
        go(kTagPota);
        ASSERT_EQ(nextShown(shown, ListKind::Pota, 3000), 1);
        EXPECT_EQ(controller->kvPotaArray[0][0], "K1ABC");
        EXPECT_EQ(sounds.played.count("Funk"), 1);
        settle(300);
        EXPECT_EQ(nextShown(shown, ListKind::Pota, 0), -1) << "the superseded load shows nothing";
        EXPECT_EQ(w().potaTable->model()->rowCount(), 1);
    }
}

TEST_F(FaultsTest, AnUntrustedCertificateIsRefused) {
    LoopbackServer tls;
    ASSERT_TRUE(tls.listenTls(fixturePath("tls/loopback.crt"), fixturePath("tls/loopback.key")));
    tls.route("/spot/activator", {200, kPota, "application/json"});

    // The server itself is sound: a client that trusts its certificate gets the spots.
    QNetworkRequest request(QUrl(urlOf(tls, "/spot/activator")));
    QSslConfiguration trusting = QSslConfiguration::defaultConfiguration();
    trusting.addCaCertificates(fixturePath("tls/loopback.crt"));
    request.setSslConfiguration(trusting);
    QNetworkAccessManager own; // its connections are not the controller's
    std::unique_ptr<QNetworkReply> reply(own.get(request));
    ASSERT_TRUE(waitFor([&] { return reply->isFinished(); }, 3000));
    ASSERT_EQ(reply->error(), QNetworkReply::NoError) << reply->errorString().toStdString();

    serveEverything();
    feeds::ServiceHosts hosts = feeds::ServiceHosts::allAt(server.baseUrl());
    hosts.pota = tls.baseUrl();
    makeController(hosts);
    QSignalSpy shown(controller.get(), &app::SerialPortDemoController::listShown);
    controller->awakeFromNib();

    ASSERT_EQ(nextShown(shown, ListKind::Pota, 3000), 0);
    EXPECT_EQ(tls.count("/spot/activator"), 1) << "no request went over the untrusted link";
    const QStringList lines = out.filter(urlOf(tls, "/spot/activator") + " failed: ");
    ASSERT_EQ(lines.size(), 1) << out.join('\n').toStdString();
    EXPECT_TRUE(lines[0].contains("SSL", Qt::CaseInsensitive)) << lines[0].toStdString();
    EXPECT_EQ(controller->model(ListKind::Sota)->rowCount(), 1) << "the other lists load as usual";
}

// Paths that exist but cannot serve as a serial line, even for root, who is not stopped by
// permission bits: a directory fails in open() itself (EISDIR), /dev/null opens but refuses the
// line settings (ENOTTY), and a vanished device is simply not there.
TEST_F(FaultsTest, APortThatCannotBeOpenedTakesTheErrorPath) {
    serveEverything();
    ports.realLinks = true;
    for (const QString& location :
         {dir.path(), QStringLiteral("/dev/null"), dir.filePath(QStringLiteral("ttyGone0"))}) {
        SCOPED_TRACE(location.toStdString());
        ports.ports = {{"bad", location, "bad"}};
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
        EXPECT_EQ(sounds.played, QStringList{"Frog"}) << "and no Seatbelts";
        EXPECT_FALSE(controller->serialPort()->isOpen());
        EXPECT_EQ(w().openCloseButton->text(), "Connect");
        EXPECT_FALSE(settings->contains("defaultPort"));

        buttonAt(w().potaTable, 0, "tune")->click(); // nothing to write to; no crash
        EXPECT_EQ(speech.spoken.last(), "Acadia National Park");
    }
}

// The device vanishing after a tune, while a tune's bytes are on their way, or before a press
// the application has not noticed it yet: the port is cleared once, by the error path.
TEST_F(FaultsTest, TheDeviceVanishingClearsThePort) {
    enum class Vanish { AfterATune, DuringATune, BeforeATune };
    for (const Vanish when : {Vanish::AfterATune, Vanish::DuringATune, Vanish::BeforeATune}) {
        SCOPED_TRACE(int(when));
        PtyPair pty;
        ASSERT_NO_FATAL_FAILURE(startOnPty(pty));
        const QString description = controller->serialPort()->description();
        if (when == Vanish::BeforeATune)
            pty.closeMaster();
        buttonAt(w().potaTable, 0, "tune")->click();
        if (when == Vanish::AfterATune) {
            EXPECT_EQ(pty.read(27).size(), 27);
        }
        if (when != Vanish::BeforeATune)
            pty.closeMaster();
        ASSERT_TRUE(waitFor([&] { return controller->serialPort() == nullptr; }, 2000));
        expectErrorPath(description);
        EXPECT_EQ(w().openCloseButton->text(), "Connect");
        EXPECT_FALSE(sounds.played.contains("Bottle")) << "removal is not a close";
        EXPECT_TRUE(out.contains("FEFE94E01A060101FD"));

        const int lines = out.size();
        buttonAt(w().sotaTable, 0, "tune2")->click();
        controller->openOrClosePort(); // no port any more: nothing happens
        EXPECT_EQ(w().openCloseButton->text(), "Connect");
        EXPECT_TRUE(out.mid(lines).filter("encountered an error").isEmpty());
        EXPECT_EQ(speech.spoken.last(), "Mount Si");
    }
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
