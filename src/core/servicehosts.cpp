#include "core/servicehosts.h"

namespace core {

ServiceHosts ServiceHosts::allAt(const QUrl& base) {
    ServiceHosts hosts;
    for (QUrl* url : {&hosts.pota, &hosts.sota, &hosts.sotaApi, &hosts.wwff, &hosts.netLogger,
                      &hosts.solar, &hosts.potaWeb, &hosts.wwffWeb, &hosts.maps, &hosts.maker})
        *url = base;
    return hosts;
}

bool isWebAddress(const QUrl& url) {
    return url.isValid() && !url.host().isEmpty() &&
           (url.scheme() == u"http" || url.scheme() == u"https");
}

QUrl serviceUrl(const QUrl& base, const QString& path) {
    QUrl url = base;
    const qsizetype query = path.indexOf(u'?');
    url.setPath(query < 0 ? path : path.left(query));
    url.setQuery(query < 0 ? QString() : path.mid(query + 1));
    url.setFragment({});
    return url;
}

} // namespace core
