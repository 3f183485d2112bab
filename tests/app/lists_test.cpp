#include "controllerfixture.h"
#include "ptypair.h"
#include "ui/rowtablemodel.h"
#include "ui/tablebinder.h"

#include <QComboBox>
#include <QElapsedTimer>
#include <QGroupBox>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLabel>
#include <QPushButton>
#include <QSignalSpy>
#include <QTableView>

using feeds::ListKind;

namespace {

const QByteArray kNets = "<Nets>\n"
                         "<NetName>Maritime Mobile</NetName>\n<Frequency>14.300 MHz</Frequency>\n"
                         "<UTC>1600</UTC>\n<Mode>USB</Mode>\n<URL>https://mmsn.example/</URL>\n"
                         "<Confirmed>3</Confirmed>\n<NetID>42</NetID>\n"
                         "<NetName>Noon Net</NetName>\n<Frequency>7.255</Frequency>\n"
                         "<UTC>1700</UTC>\n<Mode>SSB</Mode>\n<URL></URL>\n"
                         "<Confirmed>0</Confirmed>\n<NetID>43</NetID>\n</Nets>\n";
const QByteArray kStations =
    "<Station>KFBK</Station>\n<Frequency>1530 kHz</Frequency>\n"
    "<City>Sacramento</City>\n<Power>50</Power>\n<URL></URL>\n"
    "<Station>WGN</Station>\n<Frequency>720</Frequency>\n"
    "<City>Chicago</City>\n<Power>50</Power>\n<URL>https://wgn.example</URL>\n";
const QByteArray kPota = R"([{"activator":"K1ABC","frequency":"14074","mode":"FT8","comments":"",
  "name":"Acadia National Park","spotTime":"2030-01-01T00:00:00","latitude":44.3,"longitude":-68.2,
  "locationDesc":"US-ME","reference":"US-0001"}])";
const QByteArray kSota = R"([{"timeStamp":"2030-01-01T00:00:00","comments":null,
  "activatorCallsign":"W7XYZ","activatorName":"Jo","frequency":"7.032","mode":"DATA",
  "summitCode":"W7W/KG-001","summitDetails":"Mount Si, 1270m, 4 points"}])";

QPushButton* buttonAt(QTableView* view, int row, const char* identifier) {
    auto* model = static_cast<ui::RowTableModel*>(view->model());
    return qobject_cast<QPushButton*>(
        view->indexWidget(model->index(row, model->columnOf(QString::fromLatin1(identifier)))));
}

} // namespace

class ListsTest : public ControllerTest {
protected:
    void serveEverything() {
        server.route("/spot/activator", {200, kPota, "application/json"});
        server.route("/api/spots/-3/all", {200, kSota, "application/json"});
        server.route("/api/GetActiveNets.php", {200, fixture("netlogger-active-nets.xml")});
        server.route("/nets.php", {200, kNets});
        server.route("/mw.php", {200, kStations});
        server.route("/solarxml.php", {200, fixture("solarxml-2.xml")});
        server.route("/bandhopper/version.txt", {200, "0.93\n"});
    }
    bool allShown(int timeoutMs) {
        return waitFor(
            [&] {
                return !controller->kvPotaArray.isEmpty() && !controller->kvSotaArray.isEmpty() &&
                       !controller->kvNetLoggerArray.isEmpty() &&
                       !controller->kvNetsArray.isEmpty() && !controller->kvMWArray.isEmpty();
            },
            timeoutMs);
    }
};

TEST_F(ListsTest, FiveTablesFillTogetherWithoutHoldingTheEventLoop) {
    serveEverything();
    int ticks = 0;
    QTimer ticker;
    QObject::connect(&ticker, &QTimer::timeout, [&] { ++ticks; });
    ticker.start(50);
    QElapsedTimer clock;
    clock.start();
    controller->awakeFromNib();
    ASSERT_TRUE(allShown(4000));
    EXPECT_LT(clock.elapsed(), 3500) << "the loads run side by side, not one after another";
    EXPECT_GE(ticks, 25) << "the event loop kept turning during the waits";

    EXPECT_EQ(w().potaTable->model()->rowCount(), 1);
    EXPECT_EQ(w().netsTable->model()->rowCount(), 2);
    EXPECT_EQ(controller->kvSotaArray[0][6], "Mount Si");
    ASSERT_TRUE(waitFor([&] { return w().bandBox->title() != "Band Conditions - "; }, 1000));
    EXPECT_EQ(w().bandBox->title(), "Band Conditions -  22 Feb 2020 1034 GMT"); // value as sent
    EXPECT_FALSE(w().solarFluxField->text().isEmpty());
}

TEST_F(ListsTest, TuneButtonsWriteTheRowsCommandsToTheRadioAndSpeak) {
    PtyPair pty;
    ASSERT_TRUE(pty.isValid());
    ports.realLinks = true;
    ports.ports = {{"pty", pty.slavePath(), "pty"}};
    makeController();
    serveEverything();
    controller->awakeFromNib();
    ASSERT_TRUE(allShown(4000));

    w().PortPopUpButton->setCurrentIndex(0);
    w().RadioPopUpButton->setCurrentText("Icom IC-7300");
    controller->goRadio(w().RadioPopUpButton);
    controller->openOrClosePort();
    ASSERT_TRUE(controller->serialPort() && controller->serialPort()->isOpen());

    buttonAt(w().potaTable, 0, "tune")->click();
    EXPECT_EQ(pty.read(27), QByteArray::fromHex("FEFE94E0050040071400FD"
                                                "FEFE94E00601FD"
                                                "FEFE94E01A060101FD"));
    EXPECT_EQ(speech.spoken.last(), "Acadia National Park");
    EXPECT_TRUE(out.contains("FEFE94E01A060101FD"));

    buttonAt(w().sotaTable, 0, "tune2")->click();
    EXPECT_EQ(pty.read(27), QByteArray::fromHex("FEFE94E0050020030700FD"
                                                "FEFE94E00601FD"
                                                "FEFE94E01A060101FD"));
    EXPECT_EQ(speech.spoken.last(), "Mount Si");

    buttonAt(w().mwTable, 0, "tune3")->click();
    EXPECT_EQ(pty.read(18), QByteArray::fromHex("FEFE94E0050000530100FD"
                                                "FEFE94E00602FD"));
    EXPECT_EQ(speech.spoken.last(), "K F B K");

    w().RadioPopUpButton->setCurrentIndex(0); // Yaesu
    controller->goRadio(w().RadioPopUpButton);
    buttonAt(w().netsTable, 0, "tune3")->click();
    EXPECT_EQ(pty.read(27), "MD02;FA014300000;SS0640000;");
    EXPECT_EQ(speech.spoken.last(), "Maritime Mobile");

    const int row = controller->kvNetLoggerArray.size() - 1;
    buttonAt(w().netLoggerTable, row, "tune")->click();
    const QByteArray netLogger = pty.read(37);
    EXPECT_TRUE(netLogger.startsWith("MD0")) << netLogger.toStdString();
    EXPECT_TRUE(netLogger.endsWith("SS0640000;SS0560000;")) << netLogger.toStdString();
    EXPECT_EQ(speech.spoken.last(), controller->kvNetLoggerArray[row][0]);
}

TEST_F(ListsTest, StaleOrRefusedTunesSendNothing) {
    serveEverything();
    server.route("/mw.php", {200, "<Station>BAD</Station><Frequency>20000</Frequency><City>x</City>"
                                  "<Power>1</Power><URL></URL>\n"});
    controller->awakeFromNib();
    ASSERT_TRUE(allShown(4000));
    w().PortPopUpButton->setCurrentIndex(0);
    controller->openOrClosePort();
    FakeLink* link = ports.lastLink;

    QObject stale;
    stale.setProperty("tag", 7);
    controller->goPotaTune(&stale);
    controller->goNetsConfirm(&stale);
    buttonAt(w().mwTable, 0, "tune3")->click(); // 20 MHz is no medium-wave frequency
    EXPECT_TRUE(link->written.isEmpty());
    EXPECT_EQ(out.last(), "Cannot tune 20000");
    EXPECT_TRUE(speech.spoken.isEmpty());
    EXPECT_EQ(controller->cmd, "");
}

TEST_F(ListsTest, ALateReplyLeavesItsTableEmpty) {
    serveEverything();
    LoopbackServer::Response late{200, kPota, "application/json"};
    late.delayMs = 2500;
    server.route("/spot/activator", late);
    controller->awakeFromNib();
    ASSERT_TRUE(waitFor([&] { return !controller->kvMWArray.isEmpty(); }, 4000));
    settle(1000);
    EXPECT_TRUE(controller->kvPotaArray.isEmpty());
    EXPECT_EQ(w().potaTable->model()->rowCount(), 0);
}

TEST_F(ListsTest, ConfirmAndUnconfirmAnnounceTheAnswerThenReloadTheDirectory) {
    serveEverything();
    server.route("/netconf.php", {200, "ok"});
    controller->awakeFromNib();
    ASSERT_TRUE(allShown(4000));
    const int loads = server.count("/nets.php");

    buttonAt(w().netsTable, 1, "confirm")->click();
    ASSERT_TRUE(waitFor([&] { return server.count("/nets.php") == loads + 1; }, 3000));
    EXPECT_EQ(speech.spoken.last(), "thank you for confirming Noon Net");
    const auto request = server.requests()[server.requests().size() - 2];
    EXPECT_EQ(request.method, "POST");
    EXPECT_EQ(request.header("Content-Type"), "Application/json");
    const QJsonObject body = QJsonDocument::fromJson(request.body).object();
    EXPECT_EQ(body.value("net_id").toString(), "43");
    EXPECT_EQ(body.value("action").toInt(), 1);
    EXPECT_EQ(body.value("key").toString(), "");

    server.route("/netconf.php", {500, "<html>oops</html>"});
    ASSERT_TRUE(allShown(3000));
    buttonAt(w().netsTable, 0, "unconfirm")->click();
    ASSERT_TRUE(waitFor([&] { return server.count("/nets.php") == loads + 2; }, 3000));
    EXPECT_EQ(speech.spoken.last(), "retraction failed for Maritime Mobile");
}

TEST_F(ListsTest, LinkedCellsOpenTheirAddress) {
    serveEverything();
    controller->awakeFromNib();
    ASSERT_TRUE(allShown(4000));
    auto* model = static_cast<ui::RowTableModel*>(w().potaTable->model());
    const QUrl park = model->index(0, model->columnOf(u"reference")).data(ui::LinkRole).toUrl();
    EXPECT_EQ(park.toString(), server.baseUrl().toString() + "/#/park/US-0001");
}

TEST_F(ListsTest, ANewerPublishedVersionRaisesTheNoticeOnce) {
    serveEverything();
    server.route("/bandhopper/version.txt", {200, "0.94\n"});
    prompter.answerDownload = true;
    controller->awakeFromNib();
    ASSERT_TRUE(waitFor([&] { return !prompter.alerts.isEmpty(); }, 3000));
    EXPECT_EQ(prompter.alerts[0].message, "Bandhopper");
    EXPECT_EQ(prompter.alerts[0].informative, "v0.94 is now available.");
    EXPECT_EQ(prompter.alerts[0].firstButton, "Download");
    EXPECT_EQ(prompter.alerts[0].secondButton, "OK");
    ASSERT_EQ(browser.opened.size(), 1);
    EXPECT_EQ(browser.opened[0].path(), "/bandhopper/Installer.dmg");
    settle(300);
    EXPECT_EQ(prompter.alerts.size(), 1);
}

TEST_F(ListsTest, TheSamePublishedVersionRaisesNothing) {
    serveEverything();
    QSignalSpy checked(controller.get(), &app::SerialPortDemoController::versionChecked);
    controller->awakeFromNib();
    ASSERT_TRUE(checked.wait(3000));
    EXPECT_TRUE(prompter.alerts.isEmpty());
}
