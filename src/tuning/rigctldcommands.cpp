#include "tuning/rigctldcommands.h"

namespace tuning {

QString rigctldMode(ListKind list, const QString& modeText, qint64 hertz) {
    if (list == ListKind::MW)
        return QStringLiteral("AM");
    if (const std::optional<AnalogMode> analog = analogMode(modeText))
        return *analog == AnalogMode::FM ? QStringLiteral("FM") : QStringLiteral("AM");
    if (modeText == u"CW")
        return modeText;
    if (modeText == u"FT8" || modeText == u"FT4" || modeText == u"DATA")
        return QStringLiteral("PKTUSB");
    if (list == ListKind::Nets && (modeText == u"LSB" || modeText == u"USB"))
        return modeText;
    return hertz >= 10'000'000 ? QStringLiteral("USB") : QStringLiteral("LSB");
}

TuneCommands composeRigctld(const TuneInput& in) {
    TuneInput asIcom = in;
    asIcom.familyCode = QStringLiteral("I");
    TuneCommands out = composeTune(asIcom);
    out.family = Family::Rigctld;
    if (out.refused)
        return out;
    const QString mode = rigctldMode(in.list, in.modeText, out.hertz);
    out.writes = {"F " + QByteArray::number(out.hertz) + '\n', "M " + mode.toLatin1() + " 0\n"};
    out.diagnostics = {out.printed(0), out.printed(1)};
    return out;
}

} // namespace tuning
