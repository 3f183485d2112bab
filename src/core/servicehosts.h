#pragma once

#include <QUrl>

namespace core {

// Base addresses (scheme, host, port) of every outside service, in one place so that tests and
// the CLI can point them at loopback. Paths are fixed by the code that uses each host.
struct ServiceHosts {
    QUrl pota{QStringLiteral("https://api.pota.app")};
    QUrl sota{QStringLiteral("https://api2.sota.org.uk")};
    // The current SOTA spot API; the address above is its deprecated predecessor.
    QUrl sotaApi{QStringLiteral("https://api-db2.sota.org.uk")};
    QUrl wwff{QStringLiteral("https://spots.wwff.co")};
    QUrl netLogger{QStringLiteral("https://www.netlogger.org")};
    QUrl solar{QStringLiteral("https://www.hamqsl.com")};
    QUrl potaWeb{QStringLiteral("https://pota.app")};
    // The WWFF directory, where each reference has its page.
    QUrl wwffWeb{QStringLiteral("https://wwff.co")};
    QUrl maps{QStringLiteral("https://maps.google.com")};
    QUrl maker{QStringLiteral(BANDHOPPER_MAKER_URL)};

    // Every host replaced by one base address (scheme, host and port of `base`).
    static ServiceHosts allAt(const QUrl& base);
};

// Whether `url` is a web address: http or https, with a host. Only such addresses are asked,
// linked to or offered as services.
bool isWebAddress(const QUrl& url);

// `base` with its path replaced by `path` (which may carry a query after '?').
QUrl serviceUrl(const QUrl& base, const QString& path);

} // namespace core
