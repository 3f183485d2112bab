#pragma once

#include "core/seams.h"

#include <QObject>
#include <QString>

namespace desktop {

// org.freedesktop.Notifications on the session bus. Without a bus or a notification service
// nothing is shown and one line on standard output says so.
class DBusNotifier : public QObject, public core::Notifier {
    Q_OBJECT
public:
    static constexpr int kRemoveAfterMs = 3000;

    explicit DBusNotifier(QObject* parent = nullptr);
    void notify(const QString& title, const QString& text) override;

signals:
    void diagnostic(const QString& line);

private:
    void remove(uint id);
    void reportMissing(const QString& why);

    bool m_reportedMissing = false;
};

} // namespace desktop
