#include "session/preferences.h"

#include <QSettings>

namespace session {

namespace {

const QString kVoice = QStringLiteral("voice");
const QString kSounds = QStringLiteral("sounds");

QString onOff(bool on) {
    return on ? QStringLiteral("1") : QStringLiteral("0");
}

} // namespace

Preferences::Preferences(QSettings* settings, QObject* parent)
    : QObject(parent)
    , m_settings(settings) {}

void Preferences::restoreSwitches() {
    const auto stored = [this](const QString& key) {
        return m_settings && m_settings->contains(key) ? m_settings->value(key).toString()
                                                       : QStringLiteral("1");
    };
    soundsSwitch = stored(kSounds);
    voiceSwitch = stored(kVoice);
    emit switchesChanged();
}

void Preferences::setVoice(bool on) {
    voiceSwitch = onOff(on);
    setText(kVoice, voiceSwitch);
    emit switchesChanged();
}

void Preferences::setSounds(bool on) {
    soundsSwitch = onOff(on);
    setText(kSounds, soundsSwitch);
    emit switchesChanged();
}

QString Preferences::text(const QString& key) const {
    return m_settings ? m_settings->value(key).toString() : QString();
}

void Preferences::setText(const QString& key, const QString& value) {
    if (m_settings)
        m_settings->setValue(key, value);
}

void Preferences::remove(const QString& key) {
    if (m_settings)
        m_settings->remove(key);
}

} // namespace session
