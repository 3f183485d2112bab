#pragma once

// What every test includes: GoogleTest, signal spies, readable Qt values in failure messages,
// waiting on the event loop and the captured replies.
#include "fixtures.h"
#include "waitfor.h"

#include <QSignalSpy>
#include <QUrl>
#include <gtest/gtest.h>

#include <ostream>

inline void PrintTo(const QString& text, std::ostream* out) {
    *out << '"' << text.toStdString() << '"';
}
inline void PrintTo(const QUrl& url, std::ostream* out) {
    *out << url.toString().toStdString();
}
