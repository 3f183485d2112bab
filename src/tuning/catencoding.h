#pragma once

#include "feeds/numbers.h"
#include "feeds/rows.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>
#include <QStringView>

#include <optional>

// CAT command formats of both radio families and the composition of every list's Tune.
// Everything here is pure: a Tune is composed as data and the controller only sends,
// prints and announces what comes back.
namespace tuning {

using feeds::ListKind;

enum class Family { Icom, Yaesu };

// Exactly "I" selects Icom; everything else, including the empty text before a radio
// was chosen, selects Yaesu.
Family familyFor(const QString& kvRadio);

// The number readings every list shares.
using feeds::parseFloat32;
using feeds::shortestFloatText;

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

struct TuneInput {
    ListKind list = ListKind::Pota;
    QString frequencyText;
    QString modeText;
    QString spokenText;
    QString kvRadio;
    QString kvIC = QStringLiteral("70");
    QString kvAorB = QStringLiteral("A");
};

struct TuneCommands {
    bool refused = false; // nothing to send
    Family family = Family::Yaesu;
    // Icom: each frame's hexadecimal text in sending order; Yaesu: the whole text as one element.
    QStringList frames;
    QString cmd;             // the controller's `cmd` afterwards; "" when refused
    QStringList diagnostics; // standard-output lines of this Tune, in order
    QString announcement;    // handed to announce; "" when refused
    // One entry per serial write.
    QList<QByteArray> writes() const;
};

// Composes the commands of one Tune. A frequency that cannot be written into the frame or
// command of the family (not a number, negative, too many or too few digits) refuses the Tune
// with the single diagnostic "Cannot tune <frequency text>".
TuneCommands composeTune(const TuneInput& in);

// The input for a Tune of `row` of `list`, or nullopt when the row is too short for the
// columns the Tune reads.
std::optional<TuneInput> tuneInputFromRow(ListKind list, const feeds::Row& row,
                                          const QString& kvRadio, const QString& kvIC,
                                          const QString& kvAorB);

} // namespace tuning
