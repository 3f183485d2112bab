#include "log/adif.h"
#include "log/destinations.h"
#include "log/logstore.h"

#include "loopbackpeers.h"
#include "loopbackserver.h"
#include "testing.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QNetworkAccessManager>
#include <QNetworkDatagram>
#include <QSettings>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTimeZone>
#include <QUdpSocket>
#include <QtEndian>

using namespace logbook;

namespace {

Contact contact(const QString& call, int minute) {
    Contact c;
    c.call = call;
    c.start = QDateTime(QDate(2026, 12, 7), QTime(22, minute), QTimeZone::utc());
    c.frequencyHz = 14'074'000;
    c.band = "20m";
    c.mode = "FT8";
    c.name = "Zoë";
    setReference(c, Program::Pota, "US-1234");
    return c;
}

// The "Logged ADIF" message read as the protocol's layout gives it, without QDataStream: three
// big-endian 32-bit numbers, then two utf8 fields, each a 32-bit byte count and the bytes.
struct LoggedAdif {
    quint32 magic = 0, schema = 0, type = 0;
    QByteArray id, adif;
    bool whole = false; // nothing missing and nothing left over
};
LoggedAdif decode(const QByteArray& d) {
    LoggedAdif m;
    qsizetype at = 0;
    const auto number = [&](quint32& out) {
        if (at + 4 > d.size())
            return false;
        out = qFromBigEndian<quint32>(d.constData() + at);
        at += 4;
        return true;
    };
    const auto bytes = [&](QByteArray& out) {
        quint32 size = 0;
        if (!number(size) || at + qsizetype(size) > d.size())
            return false;
        out = d.mid(at, size);
        at += size;
        return true;
    };
    m.whole = number(m.magic) && number(m.schema) && number(m.type) && bytes(m.id) &&
              bytes(m.adif) && at == d.size();
    return m;
}

} // namespace

// Kept in the store: every field, contacts in time order, removal and its undo under the same
// id, an import of duplicates (same call, band and mode within two minutes) and the parks
// worked before, and a schema version a newer program wrote refused.
TEST(LogStore, KeepsContactsAndImportsWithoutDuplicates) {
    QTemporaryDir dir;
    const QString path = dir.filePath("sub/log.sqlite");
    {
        LogStore store;
        ASSERT_TRUE(store.open(path)) << store.errorText().toStdString();
        QSignalSpy changed(&store, &LogStore::changed);
        Contact first = contact("K1ABC", 10);
        first.extra = {{"GRIDSQUARE", "FN31"}};
        first.id = *store.add(first);
        const qint64 second = *store.add(contact("W1AW", 5));
        EXPECT_EQ(store.contacts(), (QList<Contact>{*store.contact(second), first}));
        const std::optional<Contact> removed = store.remove(first.id);
        ASSERT_TRUE(removed && store.count() == 1);
        ASSERT_TRUE(store.restore(*removed));
        EXPECT_EQ(store.contact(first.id), first);
        EXPECT_EQ(changed.size(), 4);

        Contact near = contact("K1ABC", 11);
        Contact otherMode = near;
        otherMode.mode = "CW";
        const ImportReport report =
            store.import({near, contact("K1ABC", 13), otherMode, contact("N0NEW", 0)});
        EXPECT_EQ(report.added, 3);
        EXPECT_EQ(report.duplicates, 1);
        EXPECT_EQ(store.count(), 5);
        const ImportReport parks = store.importWorked(Program::Pota, {"K-0001", "K-0001"});
        EXPECT_EQ(parks.added, 1);
        EXPECT_EQ(store.workedReferences().size(), 1);
    }
    {
        LogStore store;
        ASSERT_TRUE(store.open(path));
        EXPECT_EQ(store.count(), 5);
    }
    {
        QSqlDatabase db = QSqlDatabase::addDatabase("QSQLITE", "newer");
        db.setDatabaseName(path);
        ASSERT_TRUE(db.open());
        QSqlQuery(db).exec("UPDATE schema_version SET version = 99");
        db.close();
    }
    QSqlDatabase::removeDatabase("newer");
    LogStore store;
    EXPECT_FALSE(store.open(path));
    EXPECT_TRUE(store.errorText().contains("newer Bandhopper")) << store.errorText().toStdString();
}

// Each contact goes to UDP as a "Logged ADIF" message that decodes by the documented layout.
TEST(Destinations, UdpSendsLoggedAdif) {
    QUdpSocket listener;
    ASSERT_TRUE(listener.bind(QHostAddress::LocalHost, 0));
    UdpDestination udp("127.0.0.1", listener.localPort());
    QSignalSpy done(&udp, &Destination::done);
    udp.deliver(contact("K1ABC", 10));
    ASSERT_TRUE(done.wait(5000));
    EXPECT_EQ(done.first(), (QVariantList{true, QString()}));
    ASSERT_TRUE(waitFor([&] { return listener.hasPendingDatagrams(); }, 5000));
    const QByteArray datagram = listener.receiveDatagram().data();
    const LoggedAdif message = decode(datagram);
    ASSERT_TRUE(message.whole);
    EXPECT_EQ(message.magic, 0xadbccbdau);
    EXPECT_EQ(message.schema, 2u);
    EXPECT_EQ(message.type, 12u);
    EXPECT_EQ(message.id, "Bandhopper");
    const AdifRead read = readAdif(message.adif);
    ASSERT_EQ(read.contacts.size(), 1);
    EXPECT_EQ(read.contacts.first(), contact("K1ABC", 10));
}

// The web log answers as Wavelog documents it: created, a refused key, a server error, nothing
// in time. The request carries the key, the station profile and the contact as ADIF.
TEST(Destinations, WebLogOutcomes) {
    LoopbackServer server;
    QNetworkAccessManager nam;
    const std::tuple<LoopbackServer::Response, bool, QString> cases[] = {
        {{201, R"({"status":"created","type":"adif","string":"..."})", "application/json"},
         true,
         ""},
        {{401, R"({"status":"failed","reason":"missing api key"})", "application/json"},
         false,
         "127.0.0.1 refused the API key or the station profile (HTTP 401) (missing api key)"},
        {{500, "oops"}, false, "HTTP 500 from 127.0.0.1"},
        {{201, "late", "text/plain", 2000}, false, "no answer from 127.0.0.1 within 0.3 s"},
    };
    for (const auto& [response, delivered, why] : cases) {
        server.clearRequests();
        server.route("/log/index.php/api/qso", response);
        QUrl base = server.baseUrl();
        base.setPath("/log");
        WebLogDestination web(&nam, base, "s3cret", "7");
        web.setTimeoutMs(300);
        QSignalSpy done(&web, &Destination::done);
        web.deliver(contact("K1ABC", 10));
        ASSERT_TRUE(done.wait(5000));
        EXPECT_EQ(done.first(), (QVariantList{delivered, why}));
        ASSERT_EQ(server.requests().size(), 1);
        const LoopbackServer::Request request = server.requests().first();
        EXPECT_EQ(request.method, "POST");
        EXPECT_EQ(request.header("Content-Type"), "application/json");
        const QJsonObject body = QJsonDocument::fromJson(request.body).object();
        EXPECT_EQ(body.value("key"), "s3cret");
        EXPECT_EQ(body.value("station_profile_id"), "7");
        EXPECT_EQ(body.value("type"), "adif");
        EXPECT_EQ(readAdif(body.value("string").toString().toUtf8()).contacts,
                  QList<Contact>{contact("K1ABC", 10)});
    }
}

// A destination that is down loses nothing: what it did not take waits in the store, also
// across a restart, and goes out later in order and once. The ADIF file gets its header once.
TEST(Destinations, UnsentQueueSurvivesRestart) {
    QTemporaryDir dir;
    const QString path = dir.filePath("log.sqlite");
    const QString adifPath = dir.filePath("watched.adi");
    LoopbackServer server;
    QNetworkAccessManager nam;
    server.route("/index.php/api/qso", {500, "down"});
    const auto destinations = [&] {
        std::vector<std::unique_ptr<Destination>> out;
        out.push_back(std::make_unique<WebLogDestination>(&nam, server.baseUrl(), "k", "1"));
        out.push_back(std::make_unique<AdifFileDestination>(adifPath));
        return out;
    };
    const QStringList ids = {"weblog", "adif-file"};
    {
        LogStore store;
        ASSERT_TRUE(store.open(path));
        store.add(contact("K1ABC", 10), ids);
        store.add(contact("W1AW", 11), ids);
        LogSender sender(&store);
        sender.setDestinations(destinations());
        QSignalSpy failed(&sender, &LogSender::failed);
        QSignalSpy finished(&sender, &LogSender::finished);
        sender.sendUnsent();
        ASSERT_TRUE(finished.wait(5000));
        EXPECT_EQ(finished.first().first().toInt(), 2);
        ASSERT_EQ(failed.size(), 1);
        EXPECT_EQ(failed.first().first().toString(),
                  "Not sent to the web log at 127.0.0.1: HTTP 500 from 127.0.0.1; 2 contacts "
                  "waiting to be sent");
        EXPECT_EQ(server.requests().size(), 1); // the first failure stops the rest
    }
    server.clearRequests();
    server.route("/index.php/api/qso", {201, R"({"status":"created"})", "application/json"});
    LogStore store;
    ASSERT_TRUE(store.open(path));
    LogSender sender(&store);
    sender.setDestinations(destinations());
    QSignalSpy finished(&sender, &LogSender::finished);
    sender.sendUnsent();
    ASSERT_TRUE(finished.wait(5000));
    EXPECT_EQ(finished.first().first().toInt(), 0);
    sender.sendUnsent();
    ASSERT_TRUE(finished.wait(5000));
    QStringList calls;
    for (const LoopbackServer::Request& request : server.requests())
        calls << readAdif(QJsonDocument::fromJson(request.body)["string"].toString().toUtf8())
                     .contacts.value(0)
                     .call;
    EXPECT_EQ(calls, (QStringList{"K1ABC", "W1AW"}));
    QFile file(adifPath);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray written = file.readAll();
    EXPECT_EQ(written.count("<EOH>"), 1);
    EXPECT_EQ(readAdif(written).contacts,
              (QList<Contact>{contact("K1ABC", 10), contact("W1AW", 11)}));
}

// Preferences, Logging: what is set on becomes a destination; the rest does not.
TEST(Destinations, SettingsRoundTrip) {
    QTemporaryDir dir;
    QSettings settings(dir.filePath("s.ini"), QSettings::IniFormat);
    EXPECT_TRUE(DestinationSettings::read(settings).ids().isEmpty());
    DestinationSettings set;
    set.udp = true;
    set.udpPort = 2333;
    set.webLog = true;
    set.webLogUrl = QUrl("https://log.example.org/");
    set.adifFile = dir.filePath("x.adi");
    set.write(settings);
    const DestinationSettings read = DestinationSettings::read(settings);
    EXPECT_EQ(read.ids(), (QStringList{"udp", "weblog", "adif-file"}));
    EXPECT_EQ(read.udpPort, 2333);
    EXPECT_EQ(webLogEndpoint(read.webLogUrl), QUrl("https://log.example.org/index.php/api/qso"));
}
