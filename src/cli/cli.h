#pragma once

#include "net/politeness.h"

#include <QObject>
#include <QStringList>
#include <QTextStream>
#include <QUrl>

class QCommandLineParser;
class QSettings;

namespace feeds {
struct SotaSourceSettings;
}

namespace logbook {
class LogStore;
}

namespace cli {

// bandhopper-cli: the window's Tune, list loads, band conditions and confirmations from a
// terminal, on the same sessions the window uses. Needs no display.
class Cli : public QObject {
    Q_OBJECT
public:
    // `args` excludes the program name.
    Cli(const QStringList& args, QTextStream& out, QTextStream& err, QObject* parent = nullptr);
    ~Cli() override;

    // The settings file that holds the stored operator key; empty means the application's own.
    void setSettingsFile(const QString& path) { m_settingsFile = path; }
    // Runs the command; `finished` carries the exit code (also for immediate ones): 0 done,
    // 1 the radio or the service failed, 2 a usage error or a refused Tune.
    void start();

    static QString usage();

signals:
    void finished(int exitCode);

private:
    void finish(int code);
    void usageError(const QString& why, const QString& help);
    // Parses the command's options; false when it has already finished (help or a usage error).
    bool parse(QCommandLineParser& parser, const QString& syntax);
    QSettings* settings();
    QUrl serviceUrl(const QCommandLineParser& parser);
    // Reads --sota-source, --cluster and --callsign (and names the callsign in every request);
    // false when it has already finished with a usage error.
    bool readSources(const QCommandLineParser& parser, const QString& help,
                     feeds::SotaSourceSettings& sources);
    // Reads --callsign (and names it in every request); false after a usage error. A parser
    // answers only for the options its command declared, so each command reads its own.
    bool readCallsign(const QCommandLineParser& parser, const QString& help, QString& callsign);
    void runTune();
    void runRows();
    void runConditions();
    void runConfirm(bool confirm);
    // The contact log: add, list, export, import, send (logcommands.cpp).
    void runLog();
    void runLogAdd(const QCommandLineParser& parser, logbook::LogStore* store, const QString& help);
    void runLogImport(const QString& path, logbook::LogStore* store, const QString& help);
    // Sends what waits, then finishes with `code`, or 1 when a destination failed.
    void sendUnsent(logbook::LogStore* store, int code);

    QStringList m_args;
    QTextStream& m_out;
    QTextStream& m_err;
    QString m_settingsFile;
    QSettings* m_settings = nullptr;
    net::PoliteNetworkAccess m_nam;
    bool m_done = false;
};

} // namespace cli
