#include "cli/cli.h"

#include "log/adif.h"
#include "log/destinations.h"
#include "log/logstore.h"
#include "log/workedparks.h"
#include "nets/operatorkey.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSettings>
#include <QTimeZone>

namespace cli {

namespace {

using logbook::Contact;

const QString kProgram = QStringLiteral("bandhopper-cli");

// "2026-12-07", "2026-12-07T14:05" or "2026-12-07T14:05:30", UTC. A bare day reaches to its
// last second when it ends a range.
QDateTime readTime(const QString& text, bool endOfDay) {
    for (const QString& format :
         {QStringLiteral("yyyy-MM-dd'T'HH:mm:ss"), QStringLiteral("yyyy-MM-dd'T'HH:mm")}) {
        QDateTime at = QDateTime::fromString(text, format);
        if (at.isValid())
            return QDateTime(at.date(), at.time(), QTimeZone::utc());
    }
    const QDate day = QDate::fromString(text, QStringLiteral("yyyy-MM-dd"));
    if (!day.isValid())
        return {};
    return QDateTime(day, endOfDay ? QTime(23, 59, 59) : QTime(0, 0), QTimeZone::utc());
}

QJsonObject contactJson(const Contact& c) {
    QJsonObject o{{QStringLiteral("id"), c.id},
                  {QStringLiteral("call"), c.call},
                  {QStringLiteral("time"), c.start.toUTC().toString(Qt::ISODate)},
                  {QStringLiteral("frequency_hz"), c.frequencyHz}};
    const std::pair<const char*, const QString*> texts[] = {
        {"band", &c.band},
        {"mode", &c.mode},
        {"submode", &c.submode},
        {"rst_sent", &c.rstSent},
        {"rst_rcvd", &c.rstReceived},
        {"name", &c.name},
        {"pota_ref", &c.potaRef},
        {"sota_ref", &c.sotaRef},
        {"wwff_ref", &c.wwffRef},
        {"sig", &c.sig},
        {"sig_info", &c.sigInfo},
        {"comment", &c.comment},
        {"station_callsign", &c.stationCallsign},
        {"my_gridsquare", &c.myGrid}};
    for (const auto& [name, value] : texts)
        if (!value->isEmpty())
            o.insert(QLatin1String(name), *value);
    for (const auto& [name, value] : c.extra)
        o.insert(name.toLower(), value);
    return o;
}

} // namespace

void Cli::runLog() {
    QCommandLineParser parser;
    const QCommandLineOption logFile(QStringLiteral("log"),
                                     QStringLiteral("The log (BANDHOPPER_LOG, or log.sqlite in the "
                                                    "user's data folder, when left out)."),
                                     QStringLiteral("FILE"));
    const auto text = [](const char* name, const char* description, const char* value) {
        return QCommandLineOption(QString::fromLatin1(name), QString::fromUtf8(description),
                                  QString::fromLatin1(value));
    };
    const QList<QCommandLineOption> fields = {
        text("call", "The station worked.", "CALL"),
        text("time", "When, in UTC (now when left out).", "YYYY-MM-DDTHH:MM[:SS]"),
        text("frequency", "In kilohertz, as the lists give it.", "KHZ"),
        text("mode", "As the lists or the radio name it (USB, CW, FT8, FT4...).", "MODE"),
        text("rst-sent", "The report sent (59, 599 or -10 by mode when left out).", "R"),
        text("rst-rcvd", "The report received (as --rst-sent when left out).", "R"),
        text("name", "The operator's name.", "TEXT"),
        text("pota", "The park or parks (a comma list).", "REFS"),
        text("sota", "The summit.", "REF"),
        text("wwff", "The WWFF reference.", "REF"),
        text("comment", "A comment.", "TEXT"),
        text("station-callsign", "Your callsign (the one in the preferences when left out).",
             "CALL"),
        text("grid", "Your grid square (the one in the preferences when left out).", "GRID"),
    };
    const QCommandLineOption from = text("from", "From this day or time (UTC).", "DATE");
    const QCommandLineOption to = text("to", "To this day or time (UTC), included.", "DATE");
    const QCommandLineOption output =
        text("output", "Write the ADIF to FILE (standard output when left out).", "FILE");
    parser.addOptions(fields);
    parser.addOptions({logFile, from, to, output});
    parser.addPositionalArgument(QStringLiteral("COMMAND"),
                                 QStringLiteral("add, list, export, import or send."));
    const QString syntax = QStringLiteral("log add|list|export|import|send [OPTIONS] [FILE]");
    if (!parse(parser, syntax))
        return;
    const QString help = QStringLiteral("usage: ") + kProgram + u' ' + syntax + u'\n';
    const QStringList positional = parser.positionalArguments();
    const QString command = positional.value(0);
    const QStringList commands = {QStringLiteral("add"), QStringLiteral("list"),
                                  QStringLiteral("export"), QStringLiteral("import"),
                                  QStringLiteral("send")};
    if (!commands.contains(command))
        return usageError(command.isEmpty() ? QStringLiteral("give a log command")
                                            : QStringLiteral("unknown log command ") + command,
                          help);
    // import names the file it reads; export may name the one it writes, like --output.
    const bool takesFile = command == u"import" || command == u"export";
    if (positional.size() > (takesFile ? 2 : 1) || (command == u"import" && positional.size() < 2))
        return usageError(command == u"import" ? QStringLiteral("give one file to import")
                                               : QStringLiteral("too many arguments"),
                          help);
    if (command == u"export" && positional.size() == 2 && parser.isSet(output))
        return usageError(QStringLiteral("give the file to export to once"), help);
    QDateTime fromTime;
    QDateTime toTime;
    if (parser.isSet(from) && !(fromTime = readTime(parser.value(from), false)).isValid())
        return usageError(QStringLiteral("--from takes YYYY-MM-DD or YYYY-MM-DDTHH:MM"), help);
    if (parser.isSet(to) && !(toTime = readTime(parser.value(to), true)).isValid())
        return usageError(QStringLiteral("--to takes YYYY-MM-DD or YYYY-MM-DDTHH:MM"), help);

    QString path = parser.value(logFile);
    if (path.isEmpty())
        path = qEnvironmentVariable("BANDHOPPER_LOG");
    if (path.isEmpty())
        path = logbook::LogStore::defaultPath();
    auto* store = new logbook::LogStore(this);
    if (!store->open(path)) {
        m_err << kProgram << ": " << store->errorText() << "\n";
        return finish(1);
    }
    if (command == u"add")
        return runLogAdd(parser, store, help);
    if (command == u"import")
        return runLogImport(positional[1], store, help);
    if (command == u"send")
        return sendUnsent(store, 0);
    const QList<Contact> contacts = store->contacts(fromTime, toTime);
    if (command == u"list") {
        for (auto it = contacts.crbegin(); it != contacts.crend(); ++it)
            m_out << QJsonDocument(contactJson(*it)).toJson(QJsonDocument::Compact) << "\n";
        m_err << contacts.size() << (contacts.size() == 1 ? " contact\n" : " contacts\n");
        return finish(0);
    }
    const QByteArray adif = logbook::adifFile(contacts, QCoreApplication::applicationVersion(),
                                              QDateTime::currentDateTimeUtc());
    const QString target = positional.size() == 2 ? positional[1] : parser.value(output);
    if (target.isEmpty() || target == u"-") {
        m_out.flush();
        QFile out;
        if (!out.open(stdout, QIODevice::WriteOnly) || out.write(adif) != adif.size()) {
            m_err << kProgram << ": cannot write to standard output\n";
            return finish(1);
        }
    } else {
        QFile out(target);
        if (!out.open(QIODevice::WriteOnly | QIODevice::Truncate) ||
            out.write(adif) != adif.size() || !out.flush()) {
            m_err << kProgram << ": " << out.fileName() << ": " << out.errorString() << "\n";
            return finish(1);
        }
    }
    m_err << "exported " << contacts.size()
          << (contacts.size() == 1 ? " contact\n" : " contacts\n");
    finish(0);
}

void Cli::runLogAdd(const QCommandLineParser& parser, logbook::LogStore* store,
                    const QString& help) {
    const auto value = [&parser](const char* name) {
        return parser.value(QString::fromLatin1(name)).trimmed();
    };
    Contact contact;
    contact.call = value("call").toUpper();
    if (contact.call.isEmpty())
        return usageError(QStringLiteral("log add needs --call"), help);
    contact.start = QDateTime::currentDateTimeUtc();
    contact.start.setTime(QTime(contact.start.time().hour(), contact.start.time().minute(),
                                contact.start.time().second()));
    if (parser.isSet(QStringLiteral("time")) &&
        !(contact.start = readTime(value("time"), false)).isValid())
        return usageError(QStringLiteral("--time takes YYYY-MM-DDTHH:MM[:SS]"), help);
    if (parser.isSet(QStringLiteral("frequency"))) {
        const std::optional<qint64> hz = logbook::readKilohertz(value("frequency"));
        if (!hz || *hz == 0)
            return usageError(QStringLiteral("--frequency takes kilohertz, such as 14074"), help);
        contact.frequencyHz = *hz;
    }
    contact.band = logbook::bandForHz(contact.frequencyHz);
    const logbook::AdifMode mode = logbook::adifModeFor(value("mode"), contact.frequencyHz);
    contact.mode = mode.mode;
    contact.submode = mode.submode;
    const QString report = logbook::defaultReport(mode);
    contact.rstSent = parser.isSet(QStringLiteral("rst-sent")) ? value("rst-sent") : report;
    contact.rstReceived = parser.isSet(QStringLiteral("rst-rcvd")) ? value("rst-rcvd") : report;
    contact.name = value("name");
    contact.comment = value("comment");
    if (parser.isSet(QStringLiteral("pota")))
        logbook::setReference(contact, logbook::Program::Pota, value("pota"));
    if (parser.isSet(QStringLiteral("wwff"))) {
        if (!contact.sig.isEmpty())
            return usageError(QStringLiteral("give --pota or --wwff, not both"), help);
        logbook::setReference(contact, logbook::Program::Wwff, value("wwff"));
    }
    if (parser.isSet(QStringLiteral("sota")))
        logbook::setReference(contact, logbook::Program::Sota, value("sota"));
    contact.stationCallsign = parser.isSet(QStringLiteral("station-callsign"))
                                  ? value("station-callsign").toUpper()
                                  : settings()->value(QStringLiteral("callsign")).toString();
    contact.myGrid = parser.isSet(QStringLiteral("grid"))
                         ? value("grid")
                         : settings()->value(QStringLiteral("grid")).toString();

    const logbook::DestinationSettings destinations =
        logbook::DestinationSettings::read(*settings());
    const std::optional<qint64> id = store->add(contact, destinations.ids());
    if (!id) {
        m_err << kProgram << ": " << store->errorText() << "\n";
        return finish(1);
    }
    contact.id = *id;
    m_out << QJsonDocument(contactJson(contact)).toJson(QJsonDocument::Compact) << "\n";
    m_err << "Logged " << contact.call << "\n";
    sendUnsent(store, 0);
}

void Cli::runLogImport(const QString& path, logbook::LogStore* store, const QString& help) {
    Q_UNUSED(help);
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        m_err << kProgram << ": " << path << ": " << file.errorString() << "\n";
        return finish(1);
    }
    const QByteArray bytes = file.readAll();
    if (path.endsWith(QLatin1String(".csv"), Qt::CaseInsensitive)) {
        const logbook::WorkedParks parks = logbook::readWorkedParks(bytes);
        if (!parks.error.isEmpty()) {
            m_err << path << ": " << parks.error << "\n";
            return finish(1);
        }
        for (const QString& line : parks.problems)
            m_err << path << ": " << line << "\n";
        const logbook::ImportReport report =
            store->importWorked(logbook::Program::Pota, parks.references);
        if (!report.error.isEmpty()) {
            m_err << path << ": " << report.error << "\n";
            return finish(1);
        }
        m_err << path << ": " << report.added << " parks worked before added, " << report.duplicates
              << " already known, " << parks.problems.size() << " lines skipped\n";
        return finish(parks.problems.isEmpty() ? 0 : 1);
    }
    const logbook::AdifRead read = logbook::readAdif(bytes);
    for (const logbook::AdifProblem& problem : read.problems)
        m_err << path << ": " << problem.text() << "\n";
    if (read.contacts.isEmpty() && !read.problems.isEmpty()) {
        m_err << path << ": nothing imported\n";
        return finish(1);
    }
    const logbook::ImportReport report = store->import(read.contacts);
    if (!report.error.isEmpty()) {
        m_err << path << ": " << report.error << "; nothing imported\n";
        return finish(1);
    }
    m_err << path << ": " << report.added << " contacts imported, " << report.duplicates
          << " duplicates skipped, " << read.problems.size() << " bad records skipped\n";
    finish(read.problems.isEmpty() ? 0 : 1);
}

void Cli::sendUnsent(logbook::LogStore* store, int code) {
    const logbook::DestinationSettings destinations =
        logbook::DestinationSettings::read(*settings());
    auto* sender = new logbook::LogSender(store, this);
    const auto failed = std::make_shared<bool>(false);
    connect(sender, &logbook::LogSender::failed, this, [this, failed](const QString& line) {
        *failed = true;
        m_err << line << "\n";
    });
    connect(sender, &logbook::LogSender::delivered, this,
            [this](qint64 id, const QString& destination) {
                m_err << "Sent contact " << id << " to " << destination << "\n";
            });
    connect(sender, &logbook::LogSender::finished, this,
            [this, failed, code](int) { finish(*failed ? 1 : code); });
    const auto start = [this, sender, destinations](const QString& key) {
        sender->setDestinations(destinations.make(&m_nam, key));
        sender->sendUnsent();
    };
    if (!destinations.webLog)
        return start({});
    // The web log's key comes from the keychain, which answers asynchronously.
    auto* keys =
        new nets::OperatorKeyStore(settings(), QString::fromLatin1(logbook::kWebLogKeyName),
                                   QStringLiteral("web log API key"), this);
    connect(keys, &nets::OperatorKeyStore::diagnostic, this,
            [this](const QString& line) { m_err << line << "\n"; });
    connect(keys, &nets::OperatorKeyStore::loaded, this, [keys, start] { start(keys->key()); });
    keys->load();
}

} // namespace cli
