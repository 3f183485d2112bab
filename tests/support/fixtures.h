#pragma once

#include <QByteArray>
#include <QFile>
#include <QString>

// A file of fixtures/: real captured replies and small hand-made ones.
inline QByteArray fixture(const QString& name) {
    QFile file(QStringLiteral(BH_FIXTURES_DIR "/") + name);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

inline QString fixturePath(const QString& name) {
    return QStringLiteral(BH_FIXTURES_DIR "/") + name;
}
