#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

namespace logbook {

struct WorkedParks {
    QStringList references; // each once, upper case
    QStringList problems;   // "line 7: "X" is not a park reference"
    QString error;          // the file is not such a list; nothing was read
};

// The CSV of the parks a hunter has worked, as POTA's account page exports it ("DX Entity",
// "Location", "HASC", "Reference", "Park Name", "First QSO Date", "QSOs"): only the Reference
// column is needed, found by its heading.
WorkedParks readWorkedParks(const QByteArray& csv);

} // namespace logbook
