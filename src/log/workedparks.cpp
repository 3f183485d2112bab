#include "log/workedparks.h"

#include "directory/csv.h"

#include <QRegularExpression>

namespace logbook {

WorkedParks readWorkedParks(const QByteArray& csv) {
    WorkedParks parks;
    const directory::CsvTable table = directory::readCsv(csv);
    if (table.error) {
        parks.error = QStringLiteral("line %1: %2").arg(table.error->line).arg(table.error->reason);
        return parks;
    }
    const qsizetype column =
        table.records.isEmpty() ? -1
                                : table.records.first().fields.indexOf(QStringLiteral("Reference"));
    if (column < 0) {
        parks.error = QStringLiteral("not a list of worked parks: no \"Reference\" column");
        return parks;
    }
    // A park: its program's prefix, a dash and digits ("US-0001", "K-4451", "VE-0123").
    static const QRegularExpression kPark(QStringLiteral("^[A-Z0-9]{1,4}-[0-9]{4,5}$"));
    for (const directory::CsvRecord& record : table.records.mid(1)) {
        const QString reference = record.fields.value(column).trimmed().toUpper();
        if (!kPark.match(reference).hasMatch())
            parks.problems << QStringLiteral("line %1: \"%2\" is not a park reference")
                                  .arg(record.line)
                                  .arg(reference.left(40));
        else if (!parks.references.contains(reference))
            parks.references << reference;
    }
    return parks;
}

} // namespace logbook
