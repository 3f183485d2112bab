#pragma once

#include "feeds/servicehosts.h"

#include <QString>
#include <QUrl>

#include <functional>

class QNetworkAccessManager;
class QSettings;

namespace conditions {
struct UpdateAlert;
}
namespace nets {
class OperatorKeyStore;
}
namespace radio {
class Notifier;
class PortManager;
} // namespace radio
namespace tuning {
class SoundPlayer;
class SpeechEngine;
} // namespace tuning

namespace app {

// Opens an address in the desktop's browser.
class Browser {
public:
    virtual ~Browser() = default;
    virtual void open(const QUrl& url) = 0;
};

// Shows the new-version alert; `done` learns whether the operator chose "Download".
class UpdatePrompter {
public:
    virtual ~UpdatePrompter() = default;
    virtual void showUpdateAlert(const conditions::UpdateAlert& alert,
                                 std::function<void(bool download)> done) = 0;
};

// Everything outside the controller that it talks to, handed in so that tests can substitute
// each piece. The controller owns none of them.
struct Platform {
    QSettings* settings = nullptr;
    radio::PortManager* ports = nullptr;
    tuning::SpeechEngine* speech = nullptr;
    tuning::SoundPlayer* sounds = nullptr;
    radio::Notifier* notifier = nullptr;
    Browser* browser = nullptr;
    UpdatePrompter* prompter = nullptr;
    QNetworkAccessManager* nam = nullptr;
    nets::OperatorKeyStore* keys = nullptr;
    feeds::ServiceHosts hosts;
    // Diagnostic lines; standard output when left empty.
    std::function<void(const QString&)> out;
};

} // namespace app
