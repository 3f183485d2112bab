#pragma once

#include <QByteArray>
#include <QFile>
#include <QString>

inline QByteArray readFixture(const QString& name) {
    QFile file(QStringLiteral(BH_FIXTURES_DIR "/") + name);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return file.readAll();
}
