#pragma once

#include "ptypair.h"

#include <QSocketNotifier>
#include <QTimer>

#include <unistd.h>

// A radio on the far side of a pseudo-terminal. It answers `question` with `answer`, and with
// `echo` (an Icom on its CI-V bus) first sends back every byte it hears. Replies go out one byte
// per event-loop turn, so the application reads them in pieces.
struct ScriptedRadio {
    ScriptedRadio(PtyPair& pty, QByteArray question, QByteArray answer, bool echo)
        : notifier(pty.masterFd(), QSocketNotifier::Read) {
        QObject::connect(&notifier, &QSocketNotifier::activated, [=, this, &pty] {
            char buffer[512];
            const ssize_t n = ::read(pty.masterFd(), buffer, sizeof buffer);
            if (n <= 0)
                return;
            heard.append(buffer, n);
            if (echo)
                pending.append(buffer, n);
            if (heard.endsWith(question))
                pending += answer;
            drip.start();
        });
        drip.setInterval(0);
        QObject::connect(&drip, &QTimer::timeout, [this, &pty] {
            if (pending.isEmpty())
                return drip.stop();
            pty.write(pending.left(1));
            pending.remove(0, 1);
        });
    }

    QSocketNotifier notifier;
    QTimer drip;
    QByteArray heard;
    QByteArray pending;
};
