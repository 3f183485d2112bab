#pragma once

#include "core/numbers.h"
#include "core/rows.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>
#include <QStringView>

#include <optional>

// CAT command formats of both radio families and the composition of every list's Tune.
// Everything here is pure: a Tune is composed as data (the bytes each write carries) and the
// caller only sends, prints and announces what comes back.
namespace tuning {

using core::ListKind;

// Rigctld is any radio behind Hamlib's network daemon, which takes text commands in hertz.
enum class Family { Icom, Yaesu, Rigctld };

// Exactly "I" selects Icom and exactly "R" a radio behind rigctld; everything else, including
// the empty text before a radio was chosen, selects Yaesu.
Family familyFor(const QString& familyCode);

// Two hexadecimal characters per byte, either case, no validation (other characters count as
// whatever the lookup table holds, mostly 0). A trailing odd character is ignored.
QByteArray hexTextToBytes(QStringView hex);

// The characters of the text joined by single spaces ("AB-C" -> "A B - C"). A surrogate pair
// stays one character.
QString spellOut(const QString& text);

// The frequency text times the list's scale (1000 for kilohertz, 1e6 for megahertz), all in
// 32-bit float arithmetic, truncated toward zero. nullopt when the text is not a number or the
// product is not finite or does not fit in 64 bits.
std::optional<qint64> textToHertz(QStringView text, float scale);

// FM and AM, named so by any list in any case: such a row tunes in that mode, never in a
// sideband, on every family.
enum class AnalogMode { FM, AM };
std::optional<AnalogMode> analogMode(QStringView modeText);

struct TuneInput {
    ListKind list = ListKind::Pota;
    QString frequencyText;
    QString modeText;
    QString spokenText;
    QString familyCode;
    QString civAddress = QStringLiteral("70");
    QString vfo = QStringLiteral("A");
};

// What a Tune reads of each list's row: the frequency and mode columns and the text it speaks.
// The radio fields are left at their defaults for the caller to fill in.
TuneInput tuneInput(const core::PotaSpot& row);
TuneInput tuneInput(const core::SotaSpot& row);
TuneInput tuneInput(const core::WwffSpot& row);
TuneInput tuneInput(const core::NetLoggerNet& row);
TuneInput tuneInput(const core::DirectoryNet& row);
TuneInput tuneInput(const core::MwStation& row);

struct TuneCommands {
    bool refused = false; // nothing to send
    Family family = Family::Yaesu;
    // One entry per write, in sending order: each CI-V frame, the whole Yaesu text, or each
    // rigctld command line.
    QList<QByteArray> writes;
    qint64 hertz = 0;        // the frequency the radio is set to
    QStringList diagnostics; // standard-output lines of this Tune, in order
    QString announcement;    // handed to announce; "" when refused

    // A write as people read it: upper-case hexadecimal for a CI-V frame, the text itself for
    // Yaesu and rigctld (without the line end).
    QString printed(qsizetype write) const;
    // The last write as printed; "" when refused.
    QString cmd() const;
};

// Composes the commands of one Tune. A frequency that cannot be written into the frame or
// command of the family (not a number, negative, too many or too few digits) refuses the Tune
// with the single diagnostic "Cannot tune <frequency text>".
TuneCommands composeTune(const TuneInput& in);

} // namespace tuning
