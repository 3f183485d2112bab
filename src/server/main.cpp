#include "server/commands.h"

#include <QCoreApplication>

#include <csignal>
#include <cstring>

int main(int argc, char** argv) {
    // `serve` takes SIGTERM and SIGINT through a signalfd; they are blocked before any thread
    // exists, so that no thread dies of one while the server shuts down in order.
    if (argc > 1 && std::strcmp(argv[1], "serve") == 0) {
        sigset_t stopSignals;
        sigemptyset(&stopSignals);
        sigaddset(&stopSignals, SIGTERM);
        sigaddset(&stopSignals, SIGINT);
        pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);
    }
    QCoreApplication app(argc, argv);
    qSetMessagePattern(QStringLiteral("%{if-warning}warning: %{endif}%{message}"));
    QTextStream out(stdout);
    QTextStream err(stderr);
    return server::runCommand(app.arguments().mid(1), out, err);
}
