#include "ptypair.h"

#include "waitfor.h"

#include <fcntl.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

PtyPair::PtyPair() {
    char name[256] = {};
    // The slave stays open so that its termios can be read back.
    if (openpty(&m_master, &m_slaveKeep, name, nullptr, nullptr) != 0)
        return;
    m_slavePath = QString::fromLocal8Bit(name);
    fcntl(m_master, F_SETFL, fcntl(m_master, F_GETFL) | O_NONBLOCK);
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
    waitFor(
        [&] {
            char buffer[4096];
            const ssize_t n = m_master < 0 ? 0 : ::read(m_master, buffer, sizeof buffer);
            out.append(buffer, std::max<ssize_t>(n, 0));
            return out.size() >= atLeast;
        },
        timeoutMs);
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

unsigned PtyPair::slaveCflag() const {
    termios t{};
    return m_slaveKeep >= 0 && tcgetattr(m_slaveKeep, &t) == 0 ? t.c_cflag : 0;
}
