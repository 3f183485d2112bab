#pragma once

#include <QByteArray>
#include <QString>

// A pseudo-terminal pair standing in for a radio's USB serial adapter: the application opens
// slavePath() like any tty, the test reads and writes the master side.
class PtyPair {
public:
    PtyPair();
    ~PtyPair();
    PtyPair(const PtyPair&) = delete;
    PtyPair& operator=(const PtyPair&) = delete;

    QString slavePath() const { return m_slavePath; }
    // The master side, non-blocking, for a radio that answers from an event loop.
    int masterFd() const { return m_master; }
    // Reads what the application wrote, waiting up to timeoutMs for at least `atLeast` bytes.
    QByteArray read(qsizetype atLeast, int timeoutMs = 2000);
    void write(const QByteArray& data);
    // Closing the master makes the slave fail like an unplugged adapter.
    void closeMaster();
    // The control flags of the slave as the application configured them; 0 when unreadable.
    unsigned slaveCflag() const;

private:
    int m_master = -1;
    int m_slaveKeep = -1;
    QString m_slavePath;
};
