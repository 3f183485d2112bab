#pragma once

#include <QNetworkAccessManager>
#include <QObject>
#include <QStringList>
#include <QTextStream>

#include <memory>

namespace app {

// bandhopper-cli: the window's Tune, list loads, band conditions and confirmations from a
// terminal, on the same code the window uses. Needs no display.
class Cli : public QObject {
    Q_OBJECT
public:
    // `args` excludes the program name. `settingsFile` holds the stored operator key; empty
    // means the application's own settings.
    Cli(const QStringList& args, QTextStream& out, QTextStream& err, QObject* parent = nullptr);
    ~Cli() override;

    void setSettingsFile(const QString& path) { m_settingsFile = path; }
    // Runs the command; `finished` carries the exit code (also for immediate failures).
    void start();

    static QString usage();

signals:
    void finished(int exitCode);

private:
    void finish(int code);
    int usageError(const QString& why);
    void runTune();
    void runRows();
    void runConditions();
    void runConfirm(bool confirm);

    QStringList m_args;
    QTextStream& m_out;
    QTextStream& m_err;
    QString m_settingsFile;
    QNetworkAccessManager m_nam;
    bool m_done = false;
};

} // namespace app
