#include "session/liststatus.h"

namespace session {

namespace {

QString clock(const QDateTime& at) {
    return at.toUTC().toString(QStringLiteral("HH:mm")) + QStringLiteral(" UTC");
}

QString rowsText(int rows) {
    if (rows == 0)
        return QStringLiteral("No rows");
    return rows == 1 ? QStringLiteral("1 row") : QStringLiteral("%1 rows").arg(rows);
}

QString hiddenText(int hidden) {
    return hidden > 0 ? QStringLiteral(", %1 hidden by the filter").arg(hidden) : QString();
}

} // namespace

QString statusText(const ListStatus& status) {
    QString text;
    if (!status.loadedAt.isValid())
        text = QStringLiteral("Not loaded yet");
    else if (!status.failure.isEmpty() && status.keptFrom.isValid())
        text = QStringLiteral("%1 from the earlier load at %2; the load at %3 failed: %4")
                   .arg(rowsText(status.rows), clock(status.keptFrom), clock(status.loadedAt),
                        status.failure);
    else if (!status.failure.isEmpty())
        text = QStringLiteral("%1 (%2): %3")
                   .arg(rowsText(status.rows), clock(status.loadedAt), status.failure);
    else
        text = QStringLiteral("%1, loaded %2").arg(rowsText(status.rows), clock(status.loadedAt));
    text += hiddenText(status.hidden);
    if (!status.notice.isEmpty())
        text += QStringLiteral(". ") + status.notice;
    if (status.heldBackAt.isValid())
        text += QStringLiteral(". Not reloaded at %1: asked less than a minute before")
                    .arg(clock(status.heldBackAt));
    if (!status.pause.isEmpty())
        text += QStringLiteral(". ") + status.pause;
    if (!status.tuned.isEmpty())
        text += QStringLiteral(". ") + status.tuned;
    return text;
}

QString logStatusText(int contacts, int hidden, const QString& done) {
    QString text = contacts == 0   ? QStringLiteral("No contacts")
                   : contacts == 1 ? QStringLiteral("1 contact")
                                   : QStringLiteral("%1 contacts").arg(contacts);
    text += hiddenText(hidden);
    if (!done.isEmpty())
        text += QStringLiteral(". ") + done;
    return text;
}

QString rowWords(core::ListKind list, int rows) {
    using core::ListKind;
    QString noun = QStringLiteral("spot");
    if (list == ListKind::NetLogger || list == ListKind::Nets)
        noun = QStringLiteral("net");
    else if (list == ListKind::MW)
        noun = QStringLiteral("station");
    return QString::number(rows) + u' ' + noun + (rows == 1 ? QString() : QStringLiteral("s"));
}

QString loadSentence(core::ListKind list, int rows, const QString& failure) {
    if (!failure.isEmpty())
        return core::listTitle(list) + QStringLiteral(" did not load: ") + failure;
    return core::listTitle(list) + QStringLiteral(": ") + rowWords(list, rows);
}

} // namespace session
