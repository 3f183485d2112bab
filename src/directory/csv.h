#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

#include <optional>

namespace directory {

struct ParseError {
    int line = 0; // 1-based line of the file where the offending record starts
    QString reason;
};

struct CsvRecord {
    int line = 0;
    QStringList fields;
};

struct CsvTable {
    QList<CsvRecord> records; // empty when error is set
    std::optional<ParseError> error;
};

// RFC 4180 over UTF-8: comma separated, double-quoted values may hold commas, doubled quotes and
// line breaks; lines end in CRLF or LF. A byte order mark is skipped and blank lines are left out.
CsvTable readCsv(const QByteArray& utf8);

} // namespace directory
