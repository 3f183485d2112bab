#pragma once

#include "core/numbers.h"
#include "core/rows.h"

#include <QByteArray>
#include <QString>
#include <QStringView>

#include <optional>

namespace feeds {

// The three text feeds (NetLogger, nets directory, MW list) are not read as XML: each line is
// searched for literal opening and closing tags, so a value must sit on one line.

// The characters of `text` that occur in `allowed`, in their order.
QString keepCharacters(QStringView text, QStringView allowed);

// UTF-8; invalid sequences become U+FFFD rather than emptying or truncating the text.
QString decodeFeedText(const QByteArray& body);

// Sort key of count and age columns that are not whole numbers.
constexpr qint64 kNotANumberKey = 99999999;

// Active SSB nets, most subscribers first (rows whose count is not a number come first).
QList<core::NetLoggerNet> parseNetLoggerNets(const QString& text);
// The nets directory in reply order.
QList<core::DirectoryNet> parseNetsDirectory(const QString& text);
// Medium-wave stations in reply order.
QList<core::MwStation> parseMWStations(const QString& text);

} // namespace feeds
