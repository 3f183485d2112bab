#include "ptypair.h"

#include <QCoreApplication>
#include <QElapsedTimer>

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

PtyPair::PtyPair() {
    int slave = -1;
    char name[256] = {};
    if (openpty(&m_master, &slave, name, nullptr, nullptr) != 0)
        return;
    m_slavePath = QString::fromLocal8Bit(name);
    // Keep the master non-blocking; keep the slave open so that termios can be read back.
    fcntl(m_master, F_SETFL, fcntl(m_master, F_GETFL) | O_NONBLOCK);
    m_slaveKeep = slave;
    termios raw{};
    tcgetattr(m_master, &raw);
    cfmakeraw(&raw);
    tcsetattr(m_master, TCSANOW, &raw);
}

PtyPair::~PtyPair() {
    closeMaster();
    if (m_slaveKeep >= 0)
        ::close(m_slaveKeep);
}

QByteArray PtyPair::read(qsizetype atLeast, int timeoutMs) {
    QByteArray out;
    QElapsedTimer clock;
    clock.start();
    while (m_master >= 0 && out.size() < atLeast && clock.elapsed() < timeoutMs) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        pollfd p{m_master, POLLIN, 0};
        if (::poll(&p, 1, 10) > 0 && (p.revents & POLLIN)) {
            char buffer[4096];
            const ssize_t n = ::read(m_master, buffer, sizeof buffer);
            if (n > 0)
                out.append(buffer, n);
        }
    }
    return out;
}

void PtyPair::write(const QByteArray& data) {
    if (m_master >= 0)
        (void)!::write(m_master, data.constData(), data.size());
}

void PtyPair::closeMaster() {
    if (m_master >= 0)
        ::close(m_master);
    m_master = -1;
}

bool PtyPair::slaveSettings(unsigned& cflag) const {
    termios t{};
    if (m_slaveKeep < 0 || tcgetattr(m_slaveKeep, &t) != 0)
        return false;
    cflag = t.c_cflag;
    return true;
}
