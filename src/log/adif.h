#pragma once

#include "log/contact.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QDateTime>
#include <QList>
#include <QString>

#include <optional>

// ADIF 3.1 in its tagged form (.adi): pure reading and writing.
//
// Field lengths: written as the number of bytes of the UTF-8 value, which is what a reader that
// takes the file as bytes needs to find the next field. On reading, a length that cuts a UTF-8
// character or does not end before a tag is tried as a count of characters too, so files from
// loggers that count characters read the same.
namespace logbook {

inline constexpr char kAdifVersion[] = "3.1.4";

struct AdifProblem {
    int record = 0;    // 1-based, in the order of the file
    qint64 offset = 0; // the byte of the file where the record starts
    QString reason;
    // "record 3 (byte 1234): QSO_DATE 20241340 is not a date"
    QString text() const;
};

struct AdifRead {
    QList<Contact> contacts;
    QList<int> recordNumbers; // the record each contact came from, 1-based
    QList<AdifProblem> problems;
    QString headerProgram; // PROGRAMID of the header, "" without one
};

// Every record of an .adi file, read independently: a bad one (malformed tag, a length past the
// end, a truncated record, text that is not UTF-8, a missing CALL, date or time) becomes a
// problem with its position and the rest are read on from the next <EOR>.
AdifRead readAdif(QByteArrayView bytes);

// The header: ADIF_VER, PROGRAMID, PROGRAMVERSION and CREATED_TIMESTAMP (UTC).
QByteArray adifHeader(const QString& programVersion, const QDateTime& created);
// One record, ending with <EOR> and a line break; empty fields are left out.
QByteArray adifRecord(const Contact& contact);
QByteArray adifFile(const QList<Contact>& contacts, const QString& programVersion,
                    const QDateTime& created);

// "14.074" for 14074000 Hz: ADIF's megahertz, exact to the hertz.
QString megahertzText(qint64 hz);
// Megahertz as decimal text to hertz (decimals past the hertz are dropped); nullopt for text
// that is not a non-negative decimal number or is out of range.
std::optional<qint64> readMegahertz(QStringView text);
// Kilohertz as the spot lists give them ("14074.5") to hertz.
std::optional<qint64> readKilohertz(QStringView text);

} // namespace logbook
