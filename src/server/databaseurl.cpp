#include "server/databaseurl.h"

#include <QUrl>

namespace server {

namespace {

QString decoded(const QString& text) {
    return QUrl::fromPercentEncoding(text.toUtf8());
}

} // namespace

DatabaseUrl DatabaseUrl::sqlite(const QString& path) {
    DatabaseUrl url;
    url.path = path;
    return url;
}

std::optional<DatabaseUrl> DatabaseUrl::parse(const QString& text, QString* why) {
    const auto fail = [why](const QString& reason) -> std::optional<DatabaseUrl> {
        if (why)
            *why = reason;
        return std::nullopt;
    };
    if (text.startsWith(u"sqlite:")) {
        const QString path = text.mid(7);
        return path.isEmpty() ? fail(QStringLiteral("sqlite: needs a file path")) : sqlite(path);
    }
    QString rest;
    for (const QString& scheme : {QStringLiteral("postgresql://"), QStringLiteral("postgres://")})
        if (text.startsWith(scheme))
            rest = text.mid(scheme.size());
    if (rest.isEmpty())
        return fail(QStringLiteral("expected sqlite:PATH or postgresql://USER@HOST/DBNAME"));

    DatabaseUrl url;
    url.driver = Driver::Postgresql;
    const qsizetype slash = rest.indexOf(u'/');
    url.name = decoded(rest.mid(slash + 1));
    if (slash < 0 || url.name.isEmpty())
        return fail(QStringLiteral("the database name is missing"));
    QString authority = rest.left(slash);
    const qsizetype at = authority.lastIndexOf(u'@');
    if (at >= 0) {
        const QString userInfo = authority.left(at);
        const qsizetype colon = userInfo.indexOf(u':');
        url.user = decoded(userInfo.left(colon));
        if (colon >= 0)
            url.password = decoded(userInfo.mid(colon + 1));
        authority = authority.mid(at + 1);
    }
    const qsizetype colon = authority.lastIndexOf(u':');
    if (colon >= 0) {
        bool ok = false;
        url.port = authority.mid(colon + 1).toInt(&ok);
        if (!ok || url.port <= 0 || url.port > 65535)
            return fail(QStringLiteral("the port is not a number from 1 to 65535"));
        authority = authority.left(colon);
    }
    url.host = decoded(authority);
    if (url.host.isEmpty())
        return fail(QStringLiteral("the host is missing"));
    return url;
}

QString DatabaseUrl::display() const {
    if (driver == Driver::Sqlite)
        return QStringLiteral("sqlite:") + path;
    // One arg() call: a percent-encoded host holds "%2F", which a second call would replace.
    return QStringLiteral("postgresql://%1@%2:%3/%4")
        .arg(user, QString::fromUtf8(QUrl::toPercentEncoding(host)), QString::number(port), name);
}

} // namespace server
