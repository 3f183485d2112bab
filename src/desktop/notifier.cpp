#include "desktop/notifier.h"

#include <QDBusConnection>
#include <QDBusError>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QTimer>
#include <QVariantMap>

namespace desktop {
namespace {
const QString kService = QStringLiteral("org.freedesktop.Notifications");
const QString kPath = QStringLiteral("/org/freedesktop/Notifications");
} // namespace

DBusNotifier::DBusNotifier(QObject* parent)
    : QObject(parent) {}

void DBusNotifier::notify(const QString& title, const QString& text) {
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) {
        reportMissing(bus.lastError().message());
        return;
    }
    QDBusMessage call =
        QDBusMessage::createMethodCall(kService, kPath, kService, QStringLiteral("Notify"));
    QVariantMap hints{{QStringLiteral("suppress-sound"), true}};
    call << QStringLiteral("Bandhopper") << uint(0) << QString() << title << text << QStringList()
         << hints << int(-1);
    auto* watcher = new QDBusPendingCallWatcher(bus.asyncCall(call), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [this](QDBusPendingCallWatcher* w) {
        const QDBusPendingReply<uint> reply = *w;
        w->deleteLater();
        if (reply.isError()) {
            reportMissing(reply.error().message());
            return;
        }
        const uint id = reply.value();
        QTimer::singleShot(kRemoveAfterMs, this, [this, id] { remove(id); });
    });
}

void DBusNotifier::reportMissing(const QString& why) {
    if (m_reportedMissing)
        return;
    m_reportedMissing = true;
    emit diagnostic(QStringLiteral("Desktop notifications are unavailable, skipping them: ") + why);
}

void DBusNotifier::remove(uint id) {
    QDBusMessage call = QDBusMessage::createMethodCall(kService, kPath, kService,
                                                       QStringLiteral("CloseNotification"));
    call << id;
    QDBusConnection::sessionBus().asyncCall(call);
}

} // namespace desktop
