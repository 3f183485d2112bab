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
// One net of NetLogger's active-nets reply with every value it sends, entities decoded and
// trimmed; nothing is checked here.
struct ActiveNet {
    QString name;
    QString frequency;
    QString mode;
    QString band;
    QString netControl;
    QString date; // the session's start, "yyyy-MM-dd HH:mm:ss" in UTC
    QString subscribers;
};
struct ActiveNets {
    bool recognised = false; // the text is NetLogger's reply at all (its root element is there)
    QList<ActiveNet> nets;   // every <Net> block in reply order, whichever mode
};
// Unlike the table's parse, values are taken per <Net> block (lines do not matter), so a tag
// missing from one net never shifts another net's values onto it.
ActiveNets parseActiveNets(const QString& text);

// The nets directory in reply order, with each net's days and duration when they are sent.
QList<core::DirectoryNet> parseNetsDirectory(const QString& text);
// Medium-wave stations in reply order.
QList<core::MwStation> parseMWStations(const QString& text);

} // namespace feeds
