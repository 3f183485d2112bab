#pragma once

#include "tuning/catencoding.h"

#include <QByteArrayView>

#include <memory>
#include <optional>

// After a Tune the radio is asked where it now is, and its answer is compared with the request.
namespace radio {

// What the radio reports after a tune.
struct ReadBack {
    qint64 hertz = 0;
    // As rigctld names it; for Icom and Yaesu the mode the tune set, as the radio's display
    // names it ("USB-D", "CW-U"), or "" when the tune set none.
    QString mode;
};

// "14.074.000 MHz": whole megahertz, then the hertz below in groups of three.
QString megahertzText(qint64 hertz);
// "Radio reports 14.074.000 MHz USB-D".
QString reportText(const ReadBack& readBack);
// "14.074", "7.1855", "0.540": megahertz as a voice reads them, no zeros past the kilohertz.
QString spokenMegahertz(qint64 hertz);

// The mode the writes of an Icom or Yaesu Tune set, named as above.
QString modeSetBy(const tuning::TuneCommands& commands);

enum class TuneVerdict { Tuned, NotFollowed, NoAnswer, Refused, NotConnected };

struct TuneCheck {
    TuneVerdict verdict = TuneVerdict::NoAnswer;
    QString status;            // for the list's status line
    QString report;            // for the radio controls; "" without a read-back
    QString spoken;            // one short sentence for a screen reader: "Tuned 14.074 USB"
    QStringList refusals = {}; // one line per command the radio refused during the tune
    qint64 readBackHz = 0;     // where the radio says it is; 0 without a read-back
};

// Tuned when the radio reports exactly the requested hertz, NotFollowed for any other
// frequency, NoAnswer without a read-back.
TuneCheck judgeReadBack(qint64 requested, const std::optional<ReadBack>& readBack);

// What a chunk of the radio's replies meant for the tune under way.
struct ReadProgress {
    QList<QByteArray> writes; // the next commands, to send now
    QStringList refusals;     // one line per command refused or answered with something else
    std::optional<ReadBack> readBack; // the tune is over: the radio's report
    bool ended = false;               // the tune is over without a report
};

// One radio family's side of the conversation: the writes of a Tune followed by the question
// where the radio now is, and what its replies mean. One protocol lives as long as the link, so
// that replies to a tune given up can still be told from those to the next.
class TuneProtocol {
public:
    virtual ~TuneProtocol() = default;
    // The writes that start a tune.
    virtual QList<QByteArray> start(const tuning::TuneCommands& commands) = 0;
    virtual ReadProgress read(QByteArrayView chunk) = 0;
    // The tune under way was given up: replies to it no longer count.
    virtual void abandon() = 0;
};

// `civAddress` is the Icom radio's CI-V address, `vfo` the Yaesu VFO the Tune set.
std::unique_ptr<TuneProtocol> makeTuneProtocol(tuning::Family family, const QString& civAddress,
                                               const QString& vfo);

} // namespace radio
