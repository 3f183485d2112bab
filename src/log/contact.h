#pragma once

#include <QDateTime>
#include <QList>
#include <QPair>
#include <QString>
#include <QStringList>

#include <array>
#include <optional>

namespace logbook {

// One contact. The fields Bandhopper fills, sorts and marks by are named here (and are columns of
// the store); every other ADIF field of an imported contact stays in `extra`, as it came, so
// that nothing is lost on the way back out.
struct Contact {
    qint64 id = 0;           // the store's, 0 before it is stored
    QString call;            // CALL
    QString name;            // NAME
    QDateTime start;         // QSO_DATE and TIME_ON, UTC
    qint64 frequencyHz = 0;  // FREQ; 0 when unknown
    QString band;            // BAND, in ADIF's lower case ("20m", "70cm")
    QString mode;            // MODE, an ADIF mode ("SSB", "MFSK")
    QString submode;         // SUBMODE ("USB", "FT4")
    QString rstSent;         // RST_SENT
    QString rstReceived;     // RST_RCVD
    QString potaRef;         // POTA_REF: one park or a comma list of one activation's parks
    QString sotaRef;         // SOTA_REF
    QString wwffRef;         // WWFF_REF
    QString sig;             // SIG ("POTA", "WWFF")
    QString sigInfo;         // SIG_INFO
    QString comment;         // COMMENT
    QString stationCallsign; // STATION_CALLSIGN: the operator's own
    QString myGrid;          // MY_GRIDSQUARE
    QList<QPair<QString, QString>> extra; // other fields: upper-case ADIF name, value

    bool operator==(const Contact&) const = default;
};

// The ADIF band a frequency falls in ("20m"); "" outside every amateur band.
QString bandForHz(qint64 hz);
// The position of an ADIF band in the band plan, from the longest wave up; -1 for none.
int bandIndex(QStringView band);

struct AdifMode {
    QString mode;
    QString submode;
    bool operator==(const AdifMode&) const = default;
};
// A mode as the lists and radios write it ("USB", "FT4", "CW", "PSK31", "DATA") in ADIF's
// enumeration, with the sideband for voice below or above 10 MHz when the list says only "SSB".
AdifMode adifModeFor(const QString& listMode, qint64 hz);
// The customary report for a mode: "599" for CW and the other keyed and data modes read in RST,
// "-10" (dB) for the modes of weak-signal programs, "59" for voice.
QString defaultReport(const AdifMode& mode);

// The programs whose references a contact carries.
enum class Program { Pota, Sota, Wwff };
inline constexpr std::array kAllPrograms{Program::Pota, Program::Sota, Program::Wwff};
QString programName(Program program); // "POTA", "SOTA", "WWFF"
std::optional<Program> programNamed(QStringView name);

// Sets the reference of a list's row: POTA_REF with SIG "POTA" and SIG_INFO for parks (several
// parks of one activation, a comma list, stay together, each with its "@location" if it has
// one), SOTA_REF for a summit, WWFF_REF with SIG "WWFF" and SIG_INFO for WWFF.
void setReference(Contact& contact, Program program, const QString& references);
// The references of the program the contact carries, each once, upper case, without a park's
// "@location" suffix; SIG and SIG_INFO count when the program's own field is empty.
QStringList references(const Contact& contact, Program program);
// The comma list of references a spot or a field gives, cleaned as above.
QStringList splitReferences(const QString& text);

} // namespace logbook
