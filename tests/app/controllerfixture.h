#pragma once

#include "app/mainwindow.h"
#include "app/serialportdemocontroller.h"
#include "fakes.h"
#include "loopbackserver.h"
#include "ptypair.h"
#include "ui/rowtablemodel.h"
#include "waitfor.h"

#include <QComboBox>
#include <QFile>
#include <QNetworkAccessManager>
#include <QPushButton>
#include <QSettings>
#include <QTabWidget>
#include <QTableView>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <memory>
#include <optional>

// One short reply of every list, as the services send them.
inline const QByteArray kPota =
    R"([{"activator":"K1ABC","frequency":"14074","mode":"FT8","comments":"",
  "name":"Acadia National Park","spotTime":"2030-01-01T00:00:00","latitude":44.3,"longitude":-68.2,
  "locationDesc":"US-ME","reference":"US-0001"}])";
inline const QByteArray kSota = R"([{"timeStamp":"2030-01-01T00:00:00","comments":null,
  "activatorCallsign":"W7XYZ","activatorName":"Jo","frequency":"7.032","mode":"DATA",
  "summitCode":"W7W/KG-001","summitDetails":"Mount Si, 1270m, 4 points"}])";
inline const QByteArray kNets =
    "<Nets>\n<NetName>Maritime Mobile</NetName>\n<Frequency>14.300 MHz</Frequency>\n"
    "<UTC>1600</UTC>\n<Mode>USB</Mode>\n<URL>https://mmsn.example/</URL>\n"
    "<Confirmed>3</Confirmed>\n<NetID>42</NetID>\n"
    "<NetName>Noon Net</NetName>\n<Frequency>7.255</Frequency>\n"
    "<UTC>1700</UTC>\n<Mode>SSB</Mode>\n<URL></URL>\n"
    "<Confirmed>0</Confirmed>\n<NetID>43</NetID>\n</Nets>\n";
inline const QByteArray kStations = "<Station>KFBK</Station>\n<Frequency>1530 kHz</Frequency>\n"
                                    "<City>Sacramento</City>\n<Power>50</Power>\n<URL></URL>\n"
                                    "<Station>WGN</Station>\n<Frequency>720</Frequency>\n"
                                    "<City>Chicago</City>\n<Power>50</Power>\n<URL></URL>\n";

inline QByteArray fixture(const char* name) {
    QFile file(QStringLiteral(BH_FIXTURES_DIR "/") + QLatin1String(name));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

inline QPushButton* buttonAt(QTableView* view, int row, const char* identifier) {
    auto* model = static_cast<ui::RowTableModel*>(view->model());
    return qobject_cast<QPushButton*>(
        view->indexWidget(model->index(row, model->columnOf(QString::fromLatin1(identifier)))));
}

// A real window and controller with every platform piece faked and every service on loopback.
class ControllerTest : public ::testing::Test, protected Fakes {
protected:
    void SetUp() override {
        ASSERT_TRUE(server.listen());
        settings = std::make_unique<QSettings>(dir.filePath("settings.ini"), QSettings::IniFormat);
        ports.ports = {{"ttyUSB0", "/dev/ttyUSB0", "ttyUSB0"},
                       {"ttyUSB1", "/dev/ttyUSB1", "ttyUSB1"}};
        makeController();
    }

    // Every service on `server` unless the test chooses the hosts.
    void makeController(const std::optional<feeds::ServiceHosts>& hosts = std::nullopt) {
        controller.reset();
        window = std::make_unique<app::MainWindow>();
        controller = std::make_unique<app::SerialPortDemoController>(
            window->controls(),
            platform(settings.get(), &nam,
                     hosts.value_or(feeds::ServiceHosts::allAt(server.baseUrl())),
                     [this](const QString& line) { out << line; }));
    }

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

    // Starts with the lists on the screen and an IC-7300 on a pseudo-terminal.
    void startOnPty(PtyPair& pty) {
        ASSERT_TRUE(pty.isValid());
        ports.realLinks = true;
        ports.ports = {{"pty", pty.slavePath(), "pty"}};
        makeController();
        serveEverything();
        controller->setDeadlineMs(300); // the lists are only the stage here
        controller->awakeFromNib();
        ASSERT_TRUE(allShown(4000));
        w().PortPopUpButton->setCurrentIndex(0);
        w().RadioPopUpButton->setCurrentText("Icom IC-7300");
        controller->goRadio(w().RadioPopUpButton);
        controller->openOrClosePort();
        ASSERT_TRUE(controller->serialPort() && controller->serialPort()->isOpen());
        ASSERT_TRUE(waitFor([&] { return w().mainTab->currentIndex() == 1; }, 1000));
        sounds.played.clear();
        out.clear();
    }

    // A press of the refresh button or menu item with this tag.
    void go(int tag) {
        QObject sender;
        sender.setProperty("tag", tag);
        controller->go(&sender);
    }

    app::WindowControls w() const { return window->controls(); }

    QTemporaryDir dir;
    LoopbackServer server;
    std::unique_ptr<QSettings> settings;
    QNetworkAccessManager nam;
    QStringList out;
    std::unique_ptr<app::MainWindow> window;
    std::unique_ptr<app::SerialPortDemoController> controller;
};
