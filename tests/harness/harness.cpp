// Opens the real window with every service pointed at a loopback server that serves the
// captured replies in fixtures/, so the filled window can be looked at without the internet.
#include "app/application.h"
#include "fixtures.h"
#include "loopbackserver.h"
#include "ptypair.h"
#include "radio/qtseriallink.h"
#include "session/station.h"

#include <QApplication>
#include <QPalette>
#include <QSocketNotifier>
#include <QTabWidget>
#include <QTimer>

#include <unistd.h>

// A dark desktop theme, as a dark platform theme would hand it to the application.
void useDarkPalette() {
    QApplication::setStyle(QStringLiteral("Fusion"));
    QPalette dark;
    dark.setColor(QPalette::Window, QColor(0x2b, 0x2b, 0x2b));
    dark.setColor(QPalette::WindowText, QColor(0xe6, 0xe6, 0xe6));
    dark.setColor(QPalette::Base, QColor(0x1e, 0x1e, 0x1e));
    dark.setColor(QPalette::AlternateBase, QColor(0x26, 0x26, 0x26));
    dark.setColor(QPalette::Text, QColor(0xe6, 0xe6, 0xe6));
    dark.setColor(QPalette::Button, QColor(0x3a, 0x3a, 0x3a));
    dark.setColor(QPalette::ButtonText, QColor(0xe6, 0xe6, 0xe6));
    dark.setColor(QPalette::Highlight, QColor(0x3d, 0x7a, 0xd6));
    dark.setColor(QPalette::HighlightedText, Qt::white);
    dark.setColor(QPalette::Link, QColor(0x7a, 0xb7, 0xff));
    QApplication::setPalette(dark);
}

// A Yaesu on a pseudo-terminal, connected from the start, that answers each frequency query
// with the next of `answers`: "follow" (the frequency it was set to), a frequency in hertz,
// "silent" (no answer) or "unplug" (the adapter vanishes); "follow" once they run out.
void attachRadio(session::RadioSession& radio, const QStringList& answers, QObject* owner) {
    auto* pty = new PtyPair;
    QObject::connect(owner, &QObject::destroyed, [pty] { delete pty; });
    const QString title = QStringLiteral("Yaesu FTDX10");
    radio.chooseRadio(int(session::RadioSession::radioTitles().indexOf(title)), title);
    radio.setLink(std::make_unique<radio::QtSerialLink>(pty->slavePath()));
    radio.openOrClose();
    auto* heard = new QSocketNotifier(pty->masterFd(), QSocketNotifier::Read, owner);
    QObject::connect(
        heard, &QSocketNotifier::activated, owner,
        [pty, heard, next = answers, set = QByteArray(), pending = QByteArray()]() mutable {
            char buffer[256];
            ssize_t n = 0;
            while ((n = ::read(pty->masterFd(), buffer, sizeof buffer)) > 0)
                pending.append(buffer, n);
            for (qsizetype end; (end = pending.indexOf(';')) >= 0;) {
                const QByteArray command = pending.left(end);
                pending.remove(0, end + 1);
                if (command.startsWith("FA") && command.size() > 2)
                    set = command.mid(2);
                if (command != "FA")
                    continue;
                const QString answer = next.isEmpty() ? "follow" : next.takeFirst();
                if (answer == u"unplug") {
                    heard->setEnabled(false);
                    return pty->closeMaster();
                }
                if (answer == u"follow")
                    pty->write("FA" + set + ';');
                else if (answer != u"silent")
                    pty->write(QStringLiteral("FA%1;")
                                   .arg(answer.toLongLong(), 9, 10, QLatin1Char('0'))
                                   .toLatin1());
            }
        });
}

int main(int argc, char** argv) {
    QApplication qapp(argc, argv);
    if (qapp.arguments().contains(QStringLiteral("--dark")))
        useDarkPalette();
    // Keep the harness's settings apart from the operator's own.
    QCoreApplication::setOrganizationName(QStringLiteral("BandhopperHarness"));
    QCoreApplication::setApplicationName(QStringLiteral("BandhopperHarness"));

    LoopbackServer server;
    if (!server.listen())
        return 1;
    server.route("/spot/activator",
                 {200, fixture("pota-activator-spots.json"), "application/json"});
    server.route("/api/spots/epoch", {200, "1"});
    server.route("/api/spots/-3/all/all",
                 {200, fixture("sota-api-spots.json"), "application/json"});
    server.route("/static/spots.json",
                 {200, fixture("wwff-spots-elements.json"), "application/json"});
    server.route("/api/GetActiveNets.php", {200, fixture("netlogger-active-nets.xml")});
    server.route("/nets.php", {200, fixture("nets-directory.txt")});
    server.route("/mw.php", {200, fixture("mw-stations.txt")});
    server.route("/solarxml.php", {200, fixture("solarxml-4.xml")});
    server.route("/bandhopper/version.txt", {200, "0.93\n"});
    server.route("/netconf.php", {200, "ok"});

    // --failing PATH makes that service answer 503 Service Unavailable.
    const int failing = qapp.arguments().indexOf(QStringLiteral("--failing"));
    if (failing > 0 && failing + 1 < qapp.arguments().size())
        server.route(qapp.arguments()[failing + 1].toLatin1(), {503, "busy"});

    app::Application application(core::ServiceHosts::allAt(server.baseUrl()));
    application.launch();

    // --tab N shows that tab once the lists are in; --dark uses a dark palette; --quit-after MS
    // ends the run; --radio-pty ANSWERS attaches a radio (see attachRadio).
    const QStringList args = qapp.arguments();
    const int radio = args.indexOf(QStringLiteral("--radio-pty"));
    if (radio > 0 && radio + 1 < args.size())
        attachRadio(application.station().radio(), args[radio + 1].split(u','), &qapp);
    const int tab = args.indexOf(QStringLiteral("--tab"));
    if (tab > 0 && tab + 1 < args.size())
        QTimer::singleShot(2500, &qapp, [&application, index = args[tab + 1].toInt()] {
            application.window().controls().mainTab->setCurrentIndex(index);
        });
    const int quit = args.indexOf(QStringLiteral("--quit-after"));
    if (quit > 0 && quit + 1 < args.size())
        QTimer::singleShot(args[quit + 1].toInt(), &qapp, &QCoreApplication::quit);
    return qapp.exec();
}
