#pragma once

#include "tuning/catencoding.h"

// The Tune for a radio behind Hamlib's rigctld: the same frequency every list's Tune computes,
// written as rigctld's text commands.
namespace tuning {

// Hamlib's mode token for a row: CW, PKTUSB for the digital modes, FM and AM (see analogMode),
// AM for every MW station, the nets directory's LSB and USB as written, and for SSB or any other
// text the sideband of the frequency (USB from 10 MHz up, LSB below).
QString rigctldMode(ListKind list, const QString& modeText, qint64 hertz);

// "F <hertz>\n" then "M <mode> 0\n" (passband 0: the radio's default for the mode). The hertz
// value and the refusals are those of the Icom composition of the same row.
TuneCommands composeRigctld(const TuneInput& in);

} // namespace tuning
