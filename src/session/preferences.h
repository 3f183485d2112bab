#pragma once

#include <QObject>
#include <QPointer>
#include <QSettings>
#include <QString>

class QSettings;

namespace session {

// The operator's lasting choices in the settings store: the voice guide and sounds switches
// ("1" on, anything else off, "1" when never set) and the remembered radio, port and rate.
class Preferences : public QObject {
    Q_OBJECT
public:
    explicit Preferences(QSettings* settings, QObject* parent = nullptr);

    QSettings* settings() const { return m_settings; }

    // Reads both switches from the store.
    void restoreSwitches();
    bool voiceOn() const { return voiceSwitch == u"1"; }
    bool soundsOn() const { return soundsSwitch == u"1"; }
    void setVoice(bool on);
    void setSounds(bool on);

    // A stored text; "" when the key was never written.
    QString text(const QString& key) const;
    void setText(const QString& key, const QString& value);
    void remove(const QString& key);

    QString voiceSwitch;
    QString soundsSwitch;

signals:
    void switchesChanged();

private:
    QPointer<QSettings> m_settings;
};

} // namespace session
