#include "controllerfixture.h"

#include <QComboBox>
#include <QElapsedTimer>
#include <QGroupBox>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLabel>
#include <QSignalSpy>

using ListsTest = ControllerTest;

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
    auto* pota = static_cast<ui::RowTableModel*>(w().potaTable->model());
    EXPECT_EQ(pota->index(0, pota->columnOf(u"reference")).data(ui::LinkRole).toUrl().toString(),
              server.baseUrl().toString() + "/#/park/US-0001");
    ASSERT_TRUE(waitFor([&] { return w().bandBox->title() != "Band Conditions - "; }, 1000));
    EXPECT_EQ(w().bandBox->title(), "Band Conditions -  22 Feb 2020 1034 GMT"); // value as sent
    EXPECT_FALSE(w().solarFluxField->text().isEmpty());
}

TEST_F(ListsTest, TuneButtonsWriteTheRowsCommandsToTheRadioAndSpeak) {
    PtyPair pty;
    ASSERT_NO_FATAL_FAILURE(startOnPty(pty));

    const int netLogger = controller->kvNetLoggerArray.size() - 1;
    const struct {
        QTableView* table;
        int row;
        const char* button;
        QByteArray written;
        QString spoken;
    } presses[] = {
        {w().potaTable, 0, "tune",
         QByteArray::fromHex("FEFE94E0050040071400FDFEFE94E00601FDFEFE94E01A060101FD"),
         "Acadia National Park"},
        {w().sotaTable, 0, "tune2",
         QByteArray::fromHex("FEFE94E0050020030700FDFEFE94E00601FDFEFE94E01A060101FD"), "Mount Si"},
        {w().mwTable, 0, "tune3", QByteArray::fromHex("FEFE94E0050000530100FDFEFE94E00602FD"),
         "K F B K"},
        {w().netsTable, 0, "tune3", "MD02;FA014300000;SS0640000;", "Maritime Mobile"},
        {w().netLoggerTable, netLogger, "tune", "MD01;FA007244000;SS0640000;SS0560000;",
         controller->kvNetLoggerArray[netLogger][0]},
    };
    for (const auto& press : presses) {
        SCOPED_TRACE(press.button);
        if (press.written.startsWith("MD")) { // the last two on a Yaesu
            w().RadioPopUpButton->setCurrentIndex(0);
            controller->goRadio(w().RadioPopUpButton);
        }
        buttonAt(press.table, press.row, press.button)->click();
        EXPECT_EQ(pty.read(press.written.size()), press.written);
        EXPECT_EQ(speech.spoken.last(), press.spoken);
    }
    EXPECT_TRUE(out.contains("FEFE94E01A060101FD"));
}

TEST_F(ListsTest, StaleOrRefusedTunesSendNothing) {
    serveEverything();
    server.route("/mw.php", {200, "<Station>BAD</Station><Frequency>20000</Frequency><City>x</City>"
                                  "<Power>1</Power><URL></URL>\n"});
    controller->awakeFromNib();
    ASSERT_TRUE(allShown(4000));
    w().PortPopUpButton->setCurrentIndex(0);
    controller->openOrClosePort();

    QObject stale;
    stale.setProperty("tag", 7);
    controller->goPotaTune(&stale);
    controller->goNetsConfirm(&stale);
    buttonAt(w().mwTable, 0, "tune3")->click(); // 20 MHz is no medium-wave frequency
    EXPECT_TRUE(ports.lastLink->written.isEmpty());
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
    EXPECT_EQ(w().potaTable->model()->rowCount(), 0);
}

// The outcome is said once the service has answered, and the directory is loaded again.
TEST_F(ListsTest, ConfirmAndUnconfirmAnnounceTheAnswerThenReloadTheDirectory) {
    serveEverything();
    server.route("/netconf.php", {200, "ok"});
    controller->awakeFromNib();
    ASSERT_TRUE(allShown(4000));
    const int loads = server.count("/nets.php");

    buttonAt(w().netsTable, 1, "confirm")->click();
    EXPECT_TRUE(speech.spoken.isEmpty());
    ASSERT_TRUE(waitFor([&] { return server.count("/nets.php") == loads + 1; }, 3000));
    EXPECT_EQ(speech.spoken.last(), "thank you for confirming Noon Net");
    const auto request = server.requests()[server.requests().size() - 2];
    EXPECT_EQ(request.method, "POST");
    const QJsonObject body = QJsonDocument::fromJson(request.body).object();
    EXPECT_EQ(body.value("net_id").toString(), "43");
    EXPECT_EQ(body.value("action").toInt(), 1);

    server.route("/netconf.php", {500, "<html>oops</html>"});
    ASSERT_TRUE(allShown(3000));
    buttonAt(w().netsTable, 0, "unconfirm")->click();
    ASSERT_TRUE(waitFor([&] { return server.count("/nets.php") == loads + 2; }, 3000));
    EXPECT_EQ(speech.spoken.last(), "retraction failed for Maritime Mobile");
}

TEST_F(ListsTest, OnlyANewerPublishedVersionRaisesTheNoticeOnce) {
    for (const QByteArray published : {"0.93\n", "0.94\n"}) {
        SCOPED_TRACE(published.toStdString());
        makeController();
        serveEverything();
        server.route("/bandhopper/version.txt", {200, published});
        prompter.answerDownload = true;
        QSignalSpy checked(controller.get(), &app::SerialPortDemoController::versionChecked);
        controller->awakeFromNib();
        ASSERT_TRUE(checked.wait(3000));
        settle(300);
        EXPECT_EQ(prompter.alerts.size(), published == "0.94\n" ? 1 : 0);
    }
    EXPECT_EQ(prompter.alerts[0].informative, "v0.94 is now available.");
    ASSERT_EQ(browser.opened.size(), 1);
    EXPECT_EQ(browser.opened[0].path(), "/bandhopper/Installer.dmg");
}
