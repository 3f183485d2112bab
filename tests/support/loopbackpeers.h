#pragma once

#include "waitfor.h"

#include <QProcess>
#include <QStandardPaths>
#include <QTcpServer>
#include <QTcpSocket>

// A loopback port nothing listens on (until someone else takes it).
inline quint16 freePort() {
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost);
    return probe.serverPort();
}

// Hamlib's rigctld driving its dummy radio (model 1) on a free loopback port while the object
// lives; `ready` once it accepts connections.
struct RigctldDaemon {
    RigctldDaemon() {
        if (QStandardPaths::findExecutable("rigctld").isEmpty())
            return;
        process.start("rigctld", {"-m", "1", "-T", "127.0.0.1", "-t", QString::number(port)});
        ready = waitFor(
            [&] {
                if (probe.state() == QAbstractSocket::UnconnectedState)
                    probe.connectToHost(QHostAddress::LocalHost, port);
                return probe.state() == QAbstractSocket::ConnectedState;
            },
            3000);
    }
    ~RigctldDaemon() {
        process.kill();
        waitFor([this] { return process.state() == QProcess::NotRunning; }, 2000);
    }
    QString address() const { return "127.0.0.1:" + QString::number(port); }
    // What Hamlib's own client answers to "f m": the frequency and the mode.
    QString readBack() {
        QProcess rigctl;
        rigctl.start("rigctl", {"-m", "2", "-r", address(), "f", "m"});
        waitFor([&] { return rigctl.state() == QProcess::NotRunning; }, 2000);
        return QString(rigctl.readAllStandardOutput()).split('\n').mid(0, 2).join(' ');
    }

    QProcess process;
    // Stays connected: rigctld closes the radio when its last client leaves and drops a client
    // that arrives while it does.
    QTcpSocket probe;
    quint16 port = freePort();
    bool ready = false;
};

#define SKIP_WITHOUT_RIGCTLD(daemon)                                                               \
    if (!(daemon).ready)                                                                           \
    GTEST_SKIP() << "rigctld did not start: install Debian's libhamlib-utils to run this test"

// A line-based peer on loopback standing in for rigctld or a spot cluster: it greets each
// connection, records every line it hears and answers the n-th with answers[n], the last one
// repeating; with dropAtOnce it closes each connection as it comes.
struct FakePeer : QTcpServer {
    explicit FakePeer(QList<QByteArray> answers, QByteArray greeting = {}) {
        listen(QHostAddress::LocalHost);
        connect(this, &QTcpServer::newConnection, this, [this, answers, greeting] {
            QTcpSocket* peer = nextPendingConnection();
            sessions << peer;
            if (dropAtOnce)
                return peer->disconnectFromHost();
            peer->write(greeting);
            connect(peer, &QTcpSocket::readyRead, peer, [this, peer, answers] {
                while (peer->canReadLine()) {
                    heard += peer->readLine();
                    peer->write(answers.value(std::min(asked++, answers.size() - 1)));
                }
            });
        });
    }
    QString address() const { return "127.0.0.1:" + QString::number(serverPort()); }
    void send(const QByteArray& bytes) {
        sessions.last()->write(bytes);
        sessions.last()->flush();
    }

    QList<QTcpSocket*> sessions;
    QByteArray heard;
    qsizetype asked = 0;
    bool dropAtOnce = false;
};
