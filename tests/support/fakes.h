#pragma once

#include "core/seams.h"
#include "radio/qtseriallink.h"
#include "radio/seriallink.h"
#include "session/station.h"

#include <QList>
#include <QNetworkAccessManager>
#include <QSettings>
#include <QStringList>

// Stand-ins for the platform pieces the sessions talk to; each records what it was asked.

class FakeLink : public radio::SerialLink {
public:
    explicit FakeLink(QString description)
        : m_description(std::move(description)) {}
    QString name() const override { return m_description; }
    QString description() const override { return m_description; }
    bool isOpen() const override { return m_open; }
    qint32 baudRate() const override { return m_settings.baudRate; }
    void setBaudRate(qint32 rate) override { m_settings.baudRate = rate; }
    void setLineSettings(const radio::LineSettings& s) override { m_settings = s; }
    radio::LineSettings lineSettings() const override { return m_settings; }
    void open() override {
        if (refuseOpen)
            return emit errorOccurred(QStringLiteral("Permission denied"));
        m_open = true;
        emit opened();
    }
    void close() override {
        if (std::exchange(m_open, false))
            emit closed();
    }
    void sendData(const QByteArray& data) override {
        if (m_open)
            written.append(data);
    }

    QList<QByteArray> written;
    bool refuseOpen = false;

private:
    QString m_description;
    radio::LineSettings m_settings;
    bool m_open = false;
};

class FakePorts : public radio::PortManager {
public:
    QList<radio::PortInfo> availablePorts() const override { return ports; }
    std::unique_ptr<radio::SerialLink> createLink(const radio::PortInfo& port) override {
        if (realLinks)
            return std::make_unique<radio::QtSerialLink>(port.location);
        auto link = std::make_unique<FakeLink>(port.description);
        lastLink = link.get();
        return link;
    }
    void plugIn(const QList<radio::PortInfo>& added) {
        ports += added;
        emit portsConnected(added);
    }
    void unplug(const radio::PortInfo& port) {
        ports.removeAll(port);
        emit portsDisconnected({port});
    }

    QList<radio::PortInfo> ports;
    FakeLink* lastLink = nullptr;
    bool realLinks = false; // open real devices (pseudo-terminals) instead of fakes
};

struct FakeSpeech : core::SpeechEngine {
    void say(const QString& text) override { spoken << text; }
    QStringList spoken;
};

struct FakeSounds : core::SoundPlayer {
    void play(const QString& name) override { played << name; }
    QStringList played;
};

struct FakeNotifier : core::Notifier {
    void notify(const QString& title, const QString& text) override {
        shown << title + " | " + text;
    }
    QStringList shown;
};

struct FakeBrowser : core::Browser {
    void open(const QUrl& url) override { opened << url; }
    QList<QUrl> opened;
};

// Every faked platform piece together, and the Platform that hands them to a station.
struct Fakes {
    FakePorts ports;
    FakeSpeech speech;
    FakeSounds sounds;
    FakeNotifier notifier;
    FakeBrowser browser;

    session::Platform platform(QSettings* settings, QNetworkAccessManager* nam,
                               const core::ServiceHosts& hosts, core::DiagnosticSink out) {
        return {settings, &ports, &speech, &sounds, &notifier,
                &browser, nam,    nullptr, hosts,   std::move(out)};
    }
};
