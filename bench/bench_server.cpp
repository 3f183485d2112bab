// Load on real server processes over loopback: 64 keep-alive clients mixing GET /nets.php and
// POST /netconf.php, against one process and two sharing a database, on SQLite and (with
// BANDHOPPER_TEST_POSTGRES naming a throw-away database, as tools/with-postgres.sh does)
// PostgreSQL. Reports requests per second, latency percentiles and errors, and checks that every
// confirmation was counted.
//
// With BANDHOPPER_NGINX naming an nginx binary (bench/side-by-side.sh installs and names it), it
// first serves the same /nets.php bytes from nginx as a static file and reads them with the same
// keep-alive clients from both, one after the other, and prints the ratio of the two rates.
//
//   bench_server [SECONDS=10] [CLIENTS=64] [reads]   (reads: only the side-by-side reads)
#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QThread>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/epoll.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <future>
#include <map>
#include <thread>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;
constexpr int kNets = 20;

// From 127.0.0.`from`: clients of a service come from many addresses, and each address has its
// share of the server's connections and requests in progress.
int connectTo(quint16 port, int from = 1) {
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in source{};
    source.sin_family = AF_INET;
    source.sin_addr.s_addr = htonl(INADDR_LOOPBACK - 1 + quint32(from));
    ::bind(fd, reinterpret_cast<sockaddr*>(&source), sizeof source);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0)
        qFatal("cannot connect to port %d", port);
    const int one = 1;
    ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
    const timeval patience{5, 0}; // an answer later than this counts as an error
    ::setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &patience, sizeof patience);
    return fd;
}

// Complete answer at the front of `in`: its length, status in `status`; 0 while incomplete.
qsizetype answerLength(const QByteArray& in, int& status) {
    const qsizetype head = in.indexOf("\r\n\r\n");
    if (head < 0)
        return 0;
    const qsizetype at = in.indexOf("Content-Length: ");
    const qsizetype length =
        head + 4 + in.mid(at + 16, in.indexOf('\r', at) - at - 16).toLongLong();
    status = in.mid(9, 3).toInt();
    return in.size() >= length ? length : 0;
}

QByteArray fetch(quint16 port, const QByteArray& path) {
    QTcpSocket socket;
    socket.connectToHost(QHostAddress::LocalHost, port);
    socket.write("GET " + path + " HTTP/1.1\r\nHost: bench\r\nConnection: close\r\n\r\n");
    while (socket.waitForReadyRead(5000)) {
    }
    return socket.readAll();
}

struct Result {
    qint64 errors = 0;
    std::vector<double> latencyMs;
    std::map<int, int> confirmed; // per net, answered 200
};

// One keep-alive connection sending a request, reading its answer, and so on until `end`:
// three directory reads for each confirmation, every confirmation with a key of its own.
Result client(int index, quint16 port, int firstNet, Clock::time_point end) {
    Result result;
    const int fd = connectTo(port, 1 + index % 16);
    QByteArray in;
    char buffer[65536];
    for (qint64 n = 1; Clock::now() < end; ++n) {
        const int net = n % 4 == 0 ? firstNet + int((n / 4 + index) % kNets) : 0;
        const QByteArray body = R"({"key":"bench-key-)" +
                                QByteArray::number(index).rightJustified(3, '0') + '-' +
                                QByteArray::number(n).rightJustified(6, '0') + R"(","net_id":")" +
                                QByteArray::number(net) + R"(","action":1})";
        const QByteArray request =
            net ? "POST /netconf.php HTTP/1.1\r\nHost: bench\r\nContent-Type: Application/json\r\n"
                  "Content-Length: " +
                      QByteArray::number(body.size()) + "\r\n\r\n" + body
                : QByteArray("GET /nets.php HTTP/1.1\r\nHost: bench\r\n\r\n");
        const Clock::time_point sent = Clock::now();
        ::write(fd, request.constData(), size_t(request.size()));
        int status = 0;
        qsizetype length = 0;
        while ((length = answerLength(in, status)) == 0) {
            const ssize_t got = ::read(fd, buffer, sizeof buffer);
            if (got <= 0)
                break;
            in.append(buffer, got);
        }
        if (length == 0) {
            ++result.errors; // the server ended the connection
            break;
        }
        in.remove(0, length);
        result.latencyMs.push_back(
            std::chrono::duration<double, std::milli>(Clock::now() - sent).count());
        if (status != 200)
            ++result.errors;
        else if (net)
            ++result.confirmed[net];
    }
    ::close(fd);
    return result;
}

Result load(const std::vector<quint16>& ports, int firstNet, int clients, int seconds) {
    const Clock::time_point end = Clock::now() + std::chrono::seconds(seconds);
    std::vector<std::future<Result>> running;
    for (int i = 0; i < clients; ++i)
        running.push_back(std::async(std::launch::async, client, i, ports[size_t(i) % ports.size()],
                                     firstNet, end));
    Result total;
    for (auto& future : running) {
        const Result one = future.get();
        total.errors += one.errors;
        total.latencyMs.insert(total.latencyMs.end(), one.latencyMs.begin(), one.latencyMs.end());
        for (const auto& [net, count] : one.confirmed)
            total.confirmed[net] += count;
    }
    return total;
}

QProcess* startServer(const QString& database) {
    auto* process = new QProcess;
    process->setProcessChannelMode(QProcess::MergedChannels);
    // Nobody reads the request log here: a full pipe would stall the server.
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("QT_LOGGING_RULES", "bandhopper.server.http.info=false");
    process->setProcessEnvironment(environment);
    process->start(
        QStringLiteral(BANDHOPPER_SERVER_BINARY),
        {"serve", "--listen", "127.0.0.1:0", "--database", database, "--rate-limit", "0"});
    QByteArray said;
    while (!said.contains("listening") && process->waitForReadyRead(10000))
        said += process->readAll();
    const qsizetype colon = said.indexOf(':', said.indexOf("127.0.0.1"));
    process->setProperty("port", said.mid(colon + 1, said.indexOf(',', colon) - colon - 1).toInt());
    return process;
}

void scenario(const char* name, const QString& database, int processes, int clients, int seconds,
              const QString& folder) {
    // Nets of its own, whose next session is an hour away: the import drops the previous
    // scenario's nets with their counts, and no count rolls over during the run.
    static int scenarios = 0;
    const int firstNet = ++scenarios * 100;
    const QString start = QDateTime::currentDateTimeUtc().addSecs(3600).toString("HHmm");
    QFile nets(folder + "/nets.csv");
    nets.open(QIODevice::WriteOnly);
    nets.write("id,name,frequency_mhz,utc,days,mode,url,duration_min\n");
    for (int id = firstNet; id < firstNet + kNets; ++id)
        nets.write(QStringLiteral("%1,Bench net %1,14.3,%2,daily,USB,,60\n")
                       .arg(QString::number(id), start)
                       .toUtf8());
    nets.close();
    if (QProcess::execute(QStringLiteral(BANDHOPPER_SERVER_BINARY),
                          {"import", "nets", nets.fileName(), "--database", database}) != 0)
        qFatal("import failed");
    std::vector<QProcess*> servers;
    std::vector<quint16> ports;
    for (int i = 0; i < processes; ++i) {
        servers.push_back(startServer(database));
        ports.push_back(quint16(servers.back()->property("port").toInt()));
    }
    Result result = load(ports, firstNet, clients, seconds);
    std::sort(result.latencyMs.begin(), result.latencyMs.end());
    const auto percentile = [&](double p) {
        return result.latencyMs.empty()
                   ? 0.0
                   : result.latencyMs[size_t(p * double(result.latencyMs.size() - 1))];
    };
    // Every confirmation answered 200 is in the count, read through the last process once it has
    // looked for the other's changes.
    QThread::msleep(2500);
    int miscounted = 0;
    int total = 0;
    for (const auto& [net, count] : result.confirmed)
        total += count;
    const QList<QByteArray> lines = fetch(ports.back(), "/nets.php").split('\n');
    for (qsizetype i = 1; i < lines.size(); ++i)
        if (lines[i].startsWith("<NetID>")) {
            const int net = lines[i].mid(7, lines[i].size() - 15).toInt();
            const int counted = lines[i - 1].mid(11, lines[i - 1].size() - 23).toInt();
            miscounted += counted != result.confirmed[net];
        }
    std::printf("%-28s %2d proc  %8.0f req/s  p50 %6.2f ms  p99 %6.2f ms  errors %lld  "
                "confirmations %d, miscounted nets %d\n",
                name, processes, double(result.latencyMs.size()) / seconds, percentile(0.5),
                percentile(0.99), result.errors, total, miscounted);
    std::fflush(stdout);
    for (QProcess* server : servers) {
        server->terminate();
        server->waitForFinished(10000);
        delete server;
    }
}

// GET `path` over `connections` keep-alive connections for `seconds`, one request in flight on
// each, from two threads that each wait on their connections with epoll: the client stays far
// cheaper than either server, so the rate measures the server. Returns answers per second
// (-1 after any error).
double readRate(quint16 port, const QByteArray& path, int connections, int seconds) {
    const QByteArray request = "GET " + path + " HTTP/1.1\r\nHost: bench\r\n\r\n";
    std::atomic<qint64> answered{0};
    std::atomic<bool> failed{false};
    const Clock::time_point end = Clock::now() + std::chrono::seconds(seconds);
    const auto worker = [&](int count) {
        const int poller = ::epoll_create1(EPOLL_CLOEXEC);
        std::vector<int> fds;
        std::map<int, QByteArray> pending;
        for (int i = 0; i < count; ++i) {
            const int fd = connectTo(port);
            fds.push_back(fd);
            epoll_event event{};
            event.events = EPOLLIN;
            event.data.fd = fd;
            ::epoll_ctl(poller, EPOLL_CTL_ADD, fd, &event);
            ::write(fd, request.constData(), size_t(request.size()));
        }
        qint64 done = 0;
        char buffer[65536];
        epoll_event events[64];
        while (Clock::now() < end && !failed) {
            const int ready = ::epoll_wait(poller, events, 64, 1000);
            for (int i = 0; i < ready; ++i) {
                const int fd = events[i].data.fd;
                const ssize_t got = ::read(fd, buffer, sizeof buffer);
                if (got <= 0) {
                    failed = true;
                    break;
                }
                QByteArray& in = pending[fd];
                in.append(buffer, got);
                int status = 0;
                while (const qsizetype length = answerLength(in, status)) {
                    in.remove(0, length);
                    if (status != 200)
                        failed = true;
                    ++done;
                    ::write(fd, request.constData(), size_t(request.size()));
                }
            }
        }
        answered += done;
        for (const int fd : fds)
            ::close(fd);
        ::close(poller);
    };
    std::thread first(worker, connections / 2);
    worker(connections - connections / 2);
    first.join();
    return failed ? -1 : double(answered) / seconds;
}

quint16 freePort() {
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    ::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address);
    ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length);
    ::close(fd);
    return ntohs(address.sin_port);
}

// nginx as it is usually run (a worker per core, keep-alive), serving `body` as /nets.php.
QProcess* startNginx(const QString& binary, const QString& folder, const QByteArray& body,
                     quint16 port) {
    QDir(folder).mkpath("www");
    // Its workers drop root; the temporary folders are the owner's only.
    for (QString path = folder + "/www"; path.size() > 1; path = QFileInfo(path).path())
        if (QFileInfo(path).ownerId() == ::getuid())
            QFile::setPermissions(path,
                                  QFile::permissions(path) | QFile::ExeOther | QFile::ReadOther);
    QFile file(folder + "/www/nets.php");
    file.open(QIODevice::WriteOnly);
    file.write(body);
    file.close();
    QFile config(folder + "/nginx.conf");
    config.open(QIODevice::WriteOnly);
    config.write(QStringLiteral("worker_processes auto;\ndaemon off;\npid %1/nginx.pid;\n"
                                "error_log %1/error.log;\nevents { worker_connections 4096; }\n"
                                "http {\n access_log off;\n keepalive_requests 10000000;\n"
                                " client_body_temp_path %1/body; proxy_temp_path %1/proxy;\n"
                                " fastcgi_temp_path %1/fastcgi; uwsgi_temp_path %1/uwsgi;\n"
                                " scgi_temp_path %1/scgi;\n"
                                " server {\n  listen 127.0.0.1:%2;\n  root %1/www;\n"
                                "  default_type \"text/plain; charset=utf-8\";\n }\n}\n")
                     .arg(folder, QString::number(port))
                     .toUtf8());
    config.close();
    auto* process = new QProcess;
    process->setProcessChannelMode(QProcess::ForwardedChannels);
    process->start(binary, {"-p", folder, "-c", config.fileName()});
    for (int i = 0; i < 100; ++i) { // until it answers
        QTcpSocket probe;
        probe.connectToHost(QHostAddress::LocalHost, port);
        if (probe.waitForConnected(100))
            return process;
        QThread::msleep(50);
    }
    process->kill();
    qFatal("nginx did not start; see %s/error.log", qPrintable(folder));
}

void sideBySide(const QString& nginx, const char* name, const QString& database, int clients,
                int seconds, const QString& folder) {
    QProcess* ours = startServer(database);
    const quint16 port = quint16(ours->property("port").toInt());
    QByteArray reply = fetch(port, "/nets.php");
    const QByteArray body = reply.mid(reply.indexOf("\r\n\r\n") + 4);
    const quint16 nginxPort = freePort();
    QProcess* static_ = startNginx(nginx, folder + "/nginx", body, nginxPort);
    reply = fetch(nginxPort, "/nets.php");
    if (reply.mid(reply.indexOf("\r\n\r\n") + 4) != body) {
        static_->kill();
        ours->kill();
        qFatal("nginx does not serve the same bytes: %s", reply.left(200).constData());
    }
    // One-second turns, alternating: a machine shared with other work slows both alike.
    double oursRate = 0, nginxRate = 0;
    for (int turn = 0; turn < seconds; ++turn) {
        oursRate += readRate(port, "/nets.php", clients, 1) / seconds;
        nginxRate += readRate(nginxPort, "/nets.php", clients, 1) / seconds;
    }
    std::printf("GET /nets.php (%lld bytes), %d keep-alive connections, %d s each in turns\n"
                "  %-28s %8.0f req/s\n  %-28s %8.0f req/s\n  ratio %.2f\n",
                qlonglong(body.size()), clients, seconds, name, oursRate, "nginx (static file)",
                nginxRate, nginxRate > 0 ? oursRate / nginxRate : 0.0);
    std::fflush(stdout);
    for (QProcess* server : {ours, static_}) {
        server->terminate();
        server->waitForFinished(10000);
        delete server;
    }
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const int seconds = argc > 1 ? std::atoi(argv[1]) : 10;
    const int clients = argc > 2 ? std::atoi(argv[2]) : 64;
    QTemporaryDir dir;
    const QString postgres = qEnvironmentVariable("BANDHOPPER_TEST_POSTGRES");
    const QString nginx = qEnvironmentVariable("BANDHOPPER_NGINX");
    if (!nginx.isEmpty()) {
        sideBySide(nginx, "bandhopper-server (SQLite)", "sqlite:" + dir.filePath("reads.sqlite"),
                   clients, seconds, dir.path());
        if (!postgres.isEmpty())
            sideBySide(nginx, "bandhopper-server (PostgreSQL)", postgres, clients, seconds,
                       dir.path());
    }
    if (argc > 3 && std::strcmp(argv[3], "reads") == 0)
        return 0;
    for (int processes : {1, 2})
        scenario("SQLite (WAL, one file)", "sqlite:" + dir.filePath("bench.sqlite"), processes,
                 clients, seconds, dir.path());
    // A throw-away database: the runs replace its nets.
    if (postgres.isEmpty())
        std::printf("PostgreSQL skipped: BANDHOPPER_TEST_POSTGRES is not set\n");
    for (int processes : {1, 2})
        if (!postgres.isEmpty())
            scenario("PostgreSQL (Unix socket)", postgres, processes, clients, seconds, dir.path());
    return 0;
}
