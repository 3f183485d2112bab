#pragma once

#include "app/mainwindow.h"
#include "app/serialportdemocontroller.h"
#include "fakes.h"
#include "loopbackserver.h"
#include "waitfor.h"

#include <QFile>
#include <QNetworkAccessManager>
#include <QSettings>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <memory>

// A real window and controller with every platform piece faked and every service on loopback.
class ControllerTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(server.listen());
        settings = std::make_unique<QSettings>(dir.filePath("settings.ini"), QSettings::IniFormat);
        ports.ports = {{"ttyUSB0", "/dev/ttyUSB0", "ttyUSB0"},
                       {"ttyUSB1", "/dev/ttyUSB1", "ttyUSB1"}};
        makeController();
    }

    void makeController() {
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
        platform.hosts = feeds::ServiceHosts::allAt(server.baseUrl());
        platform.out = [this](const QString& line) { out << line; };
        controller = std::make_unique<app::SerialPortDemoController>(window->controls(), platform);
    }

    static QByteArray fixture(const char* name) {
        QFile file(QStringLiteral(BH_FIXTURES_DIR "/") + QLatin1String(name));
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }

    app::WindowControls w() const { return window->controls(); }

    QTemporaryDir dir;
    LoopbackServer server;
    std::unique_ptr<QSettings> settings;
    QNetworkAccessManager nam;
    FakePorts ports;
    FakeSpeech speech;
    FakeSounds sounds;
    FakeNotifier notifier;
    FakeBrowser browser;
    FakePrompter prompter;
    QStringList out;
    std::unique_ptr<app::MainWindow> window;
    std::unique_ptr<app::SerialPortDemoController> controller;
};
