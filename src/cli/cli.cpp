#include "cli/cli.h"

#include "conditions/bandconditions.h"
#include "core/callsign.h"
#include "core/servicehosts.h"
#include "feeds/sotasources.h"
#include "nets/operatorkey.h"
#include "radio/qtseriallink.h"
#include "radio/radiomodels.h"
#include "radio/rigctldlink.h"
#include "session/listssession.h"
#include "session/radiosession.h"
#include "tuning/catencoding.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QJsonArray>
#include <QJsonDocument>
#include <QSettings>
#include <QTimeZone>
#include <QTimer>

#include <memory>
#include <optional>

namespace cli {
namespace {

using core::ListKind;

const QString kProgram = QStringLiteral("bandhopper-cli");

QCommandLineOption option(const QString& name, const QString& description,
                          const QString& value = QString()) {
    return value.isEmpty() ? QCommandLineOption(name, description)
                           : QCommandLineOption(name, description, value);
}

const QCommandLineOption kBaseUrl =
    option(QStringLiteral("base-url"), QStringLiteral("Ask the service at URL instead."),
           QStringLiteral("URL"));
const QCommandLineOption kServiceUrl =
    option(QStringLiteral("service-url"),
           QStringLiteral("The directory service (nets, stations, confirmations) at URL; the "
                          "one set in the window's preferences when left out."),
           QStringLiteral("URL"));

const QCommandLineOption kSotaSource =
    option(QStringLiteral("sota-source"),
           QStringLiteral("Where SOTA spots come from (api when left out)."),
           QStringLiteral("legacy|api|cluster"));
const QCommandLineOption kCallsign =
    option(QStringLiteral("callsign"),
           QStringLiteral("Your callsign: named in every request and used to log in to the "
                          "cluster."),
           QStringLiteral("CALL"));
const QCommandLineOption kCluster =
    option(QStringLiteral("cluster"),
           QStringLiteral("The SOTA cluster to listen to (cluster.sota.org.uk:7300 when left "
                          "out)."),
           QStringLiteral("HOST:PORT"));
const QCommandLineOption kListenSeconds =
    option(QStringLiteral("listen-seconds"),
           QStringLiteral("How long to collect cluster spots before printing them (10 when left "
                          "out)."),
           QStringLiteral("N"));

std::optional<QUrl> webAddress(const QString& text) {
    const QUrl url(text);
    return core::isWebAddress(url) ? std::optional(url) : std::nullopt;
}

} // namespace

QSettings* Cli::settings() {
    if (!m_settings)
        m_settings =
            m_settingsFile.isEmpty()
                ? new QSettings(QStringLiteral("Bandhopper"), QStringLiteral("Bandhopper"), this)
                : new QSettings(m_settingsFile, QSettings::IniFormat, this);
    return m_settings;
}

QUrl Cli::serviceUrl(const QCommandLineParser& parser) {
    if (parser.isSet(kServiceUrl))
        return QUrl(parser.value(kServiceUrl));
    if (settings()->contains(QStringLiteral("serviceUrl")))
        return QUrl(settings()->value(QStringLiteral("serviceUrl")).toString());
    return core::ServiceHosts{}.maker;
}

Cli::Cli(const QStringList& args, QTextStream& out, QTextStream& err, QObject* parent)
    : QObject(parent)
    , m_args(args)
    , m_out(out)
    , m_err(err) {}

Cli::~Cli() = default;

QString Cli::usage() {
    return QStringLiteral(
        "usage:\n"
        "  bandhopper-cli tune --list pota|sota|wwff|netlogger|nets|mw [--radio TITLE]\n"
        "                      [--name TEXT] [--port PATH [--baud RATE] | --rigctld HOST:PORT]\n"
        "                      [--] FREQUENCY [MODE]\n"
        "  bandhopper-cli rows pota|sota|wwff|netlogger|nets|mw [--base-url URL]\n"
        "                      [--service-url URL] [--now YYYY-MM-DDTHH:MM:SS]\n"
        "                      [--sota-source legacy|api|cluster] [--callsign CALL]\n"
        "                      [--cluster HOST:PORT] [--listen-seconds N]\n"
        "  bandhopper-cli conditions [--base-url URL] [--callsign CALL]\n"
        "  bandhopper-cli confirm|unconfirm NET_ID [--name TEXT] [--key KEY] [--service-url URL]\n"
        "  bandhopper-cli log add --call CALL [--frequency KHZ] [--mode MODE] [--time TIME]\n"
        "                      [--rst-sent R] [--rst-rcvd R] [--name TEXT] [--pota REFS]\n"
        "                      [--sota REF] [--wwff REF] [--comment TEXT] [--log FILE]\n"
        "  bandhopper-cli log list|export [--from DATE] [--to DATE] [--output FILE] [--log FILE]\n"
        "  bandhopper-cli log import FILE.adi|FILE.csv [--log FILE]\n"
        "  bandhopper-cli log send [--log FILE]\n"
        "  bandhopper-cli --version | --help | COMMAND --help\n");
}

void Cli::finish(int code) {
    if (m_done)
        return;
    m_done = true;
    m_out.flush();
    m_err.flush();
    // Let the caller connect before hearing the result of a command that ended at once.
    QTimer::singleShot(0, this, [this, code] { emit finished(code); });
}

void Cli::usageError(const QString& why, const QString& help) {
    m_err << kProgram << ": " << why << "\n" << help;
    finish(2);
}

bool Cli::parse(QCommandLineParser& parser, const QString& syntax) {
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    const QCommandLineOption help(QStringLiteral("help"), QStringLiteral("Show this help."));
    parser.addOption(help);
    const QString text = QStringLiteral("usage: ") + kProgram + u' ' + syntax + u'\n';
    if (!parser.parse(QStringList{kProgram} + m_args.mid(1))) {
        usageError(parser.errorText(), text);
        return false;
    }
    if (parser.isSet(help)) {
        m_out << text << parser.helpText().section(u'\n', 1);
        finish(0);
        return false;
    }
    return true;
}

bool Cli::readSources(const QCommandLineParser& parser, const QString& help,
                      feeds::SotaSourceSettings& sources) {
    if (parser.isSet(kSotaSource)) {
        const auto source = feeds::sotaSourceNamed(parser.value(kSotaSource));
        if (!source) {
            usageError(QStringLiteral("--sota-source must be legacy, api or cluster"), help);
            return false;
        }
        sources.source = *source;
    }
    if (parser.isSet(kCluster)) {
        const auto cluster = feeds::readClusterAddress(parser.value(kCluster));
        if (!cluster) {
            usageError(QStringLiteral("--cluster takes HOST:PORT"), help);
            return false;
        }
        sources.cluster = *cluster;
    }
    if (!readCallsign(parser, help, sources.callsign))
        return false;
    if (sources.source == feeds::SotaSource::Cluster && sources.callsign.isEmpty()) {
        usageError(QStringLiteral("the cluster needs --callsign to log in"), help);
        return false;
    }
    return true;
}

bool Cli::readCallsign(const QCommandLineParser& parser, const QString& help, QString& callsign) {
    if (parser.isSet(kCallsign)) {
        const auto read = core::readCallsign(parser.value(kCallsign));
        if (!read) {
            usageError(QStringLiteral("--callsign takes a callsign such as N0CALL"), help);
            return false;
        }
        callsign = *read;
    }
    m_nam.policy().setCallsign(callsign);
    return true;
}

void Cli::start() {
    const QString command = m_args.value(0);
    if (command == u"tune")
        runTune();
    else if (command == u"rows")
        runRows();
    else if (command == u"conditions")
        runConditions();
    else if (command == u"confirm" || command == u"unconfirm")
        runConfirm(command == u"confirm");
    else if (command == u"log")
        runLog();
    else if (command == u"--version" || command == u"-v") {
        m_out << kProgram << " " << QCoreApplication::applicationVersion() << "\n";
        finish(0);
    } else if (command == u"--help" || command == u"-h") {
        m_out << usage();
        finish(0);
    } else
        usageError(command.isEmpty() ? QStringLiteral("no command")
                                     : QStringLiteral("unknown command ") + command,
                   usage());
}

void Cli::runTune() {
    QCommandLineParser parser;
    const QCommandLineOption list(QStringLiteral("list"),
                                  QStringLiteral("The list whose Tune to run."),
                                  QStringLiteral("pota|sota|wwff|netlogger|nets|mw"));
    const QCommandLineOption radioTitle(QStringLiteral("radio"),
                                        QStringLiteral("The radio model, as the window lists "
                                                       "it (a Yaesu when left out)."),
                                        QStringLiteral("TITLE"));
    const QCommandLineOption name(QStringLiteral("name"),
                                  QStringLiteral("What the voice guide would say."),
                                  QStringLiteral("TEXT"));
    const QCommandLineOption port(QStringLiteral("port"),
                                  QStringLiteral("Write the commands to this serial port."),
                                  QStringLiteral("PATH"));
    const QCommandLineOption baud(QStringLiteral("baud"),
                                  QStringLiteral("The port's rate (19200 for Icom, 38400 for "
                                                 "Yaesu when left out)."),
                                  QStringLiteral("RATE"));
    const QCommandLineOption rigctld(QStringLiteral("rigctld"),
                                     QStringLiteral("Send the commands to Hamlib's rigctld instead "
                                                    "and check that the radio followed."),
                                     QStringLiteral("HOST:PORT"));
    parser.addOptions({list, radioTitle, name, port, baud, rigctld});
    parser.addPositionalArgument(QStringLiteral("FREQUENCY"),
                                 QStringLiteral("As the list writes it."));
    parser.addPositionalArgument(QStringLiteral("MODE"), QStringLiteral("As the list writes it."),
                                 QStringLiteral("[MODE]"));
    const QString syntax = QStringLiteral("tune --list LIST [--radio TITLE] [--name TEXT] "
                                          "[--port PATH [--baud RATE] | --rigctld HOST:PORT] [--] "
                                          "FREQUENCY [MODE]");
    if (!parse(parser, syntax))
        return;
    const QString help = QStringLiteral("usage: ") + kProgram + u' ' + syntax + u'\n';
    const auto kind = core::listNamed(parser.value(list));
    if (!kind)
        return usageError(QStringLiteral("--list must be pota, sota, wwff, netlogger, nets or mw"),
                          help);
    const QStringList positional = parser.positionalArguments();
    if (positional.isEmpty() || positional.size() > 2)
        return usageError(QStringLiteral("give FREQUENCY and optionally MODE"), help);
    if (parser.isSet(baud) && !parser.isSet(port))
        return usageError(QStringLiteral("--baud goes with --port"), help);
    const bool network = parser.isSet(rigctld);
    if (network && parser.isSet(port))
        return usageError(QStringLiteral("give --port or --rigctld, not both"), help);
    const auto address = radio::parseRigctldAddress(parser.value(rigctld));
    if (network && !address)
        return usageError(QStringLiteral("--rigctld needs HOST:PORT"), help);
    const bool rigctldRadio = parser.value(radioTitle) == radio::rigctldTitle();
    if (parser.isSet(radioTitle) && (network != rigctldRadio))
        return usageError(network ? QStringLiteral("--rigctld drives whatever radio rigctld "
                                                   "runs; leave --radio out")
                                  : QStringLiteral("that radio needs --rigctld"),
                          help);

    tuning::TuneInput input;
    input.list = *kind;
    input.frequencyText = positional[0];
    input.modeText = *kind == ListKind::MW ? QString() : positional.value(1);
    input.spokenText = parser.value(name);
    if (parser.isSet(radioTitle)) {
        const QString title = parser.value(radioTitle);
        const int position = int(radio::radioPopUpTitles().indexOf(title));
        if (position < 0)
            return usageError(QStringLiteral("unknown radio ") + title, help);
        const radio::RadioChoice choice = radio::chooseRadio(position, title);
        input.familyCode = choice.familyCode;
        input.civAddress = choice.civAddress;
    }
    if (network)
        input.familyCode = QStringLiteral("R");
    const tuning::TuneCommands commands = tuning::composeTune(input);
    if (commands.refused) {
        for (const QString& line : commands.diagnostics)
            m_err << line << "\n";
        return finish(2);
    }
    for (qsizetype i = 0; i < commands.writes.size(); ++i)
        m_out << commands.printed(i) << "\n";
    m_out << "say: " << commands.announcement << "\n";
    m_out.flush();

    if (!parser.isSet(port) && !network)
        return finish(0);
    bool rateOk = true;
    const qint32 rate =
        parser.isSet(baud)
            ? parser.value(baud).toInt(&rateOk)
            : (tuning::familyFor(input.familyCode) == tuning::Family::Icom ? 19200 : 38400);
    if (!rateOk || rate <= 0)
        return usageError(QStringLiteral("--baud needs a positive whole number"), help);

    // The radio session prints the link's failures and the radio's refusals on standard error;
    // a failure of the link ends the command.
    auto* radio = new session::RadioSession(
        nullptr, nullptr,
        {nullptr, nullptr, [this](const QString& line) { m_err << line << "\n"; }}, this);
    radio->civAddress = input.civAddress;
    radio->vfo = input.vfo;
    radio::QtSerialLink* serial = network ? nullptr : new radio::QtSerialLink(parser.value(port));
    radio::RadioLink* link = serial;
    if (network)
        link = new radio::RigctldLink(*address);
    radio->setLink(std::unique_ptr<radio::RadioLink>(link));
    radio->chooseBaud(rate);
    auto* poll = new QTimer(this);
    auto* giveUp = new QTimer(this);
    giveUp->setSingleShot(true);
    const auto done = [this, radio, poll, giveUp](int code, const QString& why) {
        if (m_done)
            return;
        poll->stop();
        giveUp->stop();
        if (!why.isEmpty())
            m_err << why << "\n";
        radio->setLink(nullptr);
        finish(code);
    };
    connect(link, &radio::RadioLink::errorOccurred, this, [done] { done(1, {}); });
    connect(radio, &session::RadioSession::linkStateChanged, this,
            [radio, kind, commands](session::LinkState state) {
                if (state == session::LinkState::Connected)
                    radio->tune(*kind, commands);
            });
    connect(radio, &session::RadioSession::radioReported, this, [this](const QString& report) {
        if (!report.isEmpty())
            m_out << report << "\n";
    });
    // A serial radio that does not answer is no failure: older radios and one-way cables never
    // do. Close only once the device has taken every byte.
    const auto code = std::make_shared<int>(0);
    connect(radio, &session::RadioSession::tuneOutcome, this,
            [network, code, poll](ListKind, const QString&, radio::TuneVerdict verdict) {
                using radio::TuneVerdict;
                *code =
                    verdict == TuneVerdict::Tuned || (verdict == TuneVerdict::NoAnswer && !network)
                        ? 0
                        : 1;
                poll->start(10);
            });
    connect(poll, &QTimer::timeout, this, [serial, done, code] {
        if (!serial || !serial->hasPendingWrites())
            done(*code, {});
    });
    connect(giveUp, &QTimer::timeout, this, [link, done] {
        done(1, link->name() + QStringLiteral(": timed out talking to the radio"));
    });
    giveUp->start(10000);
    radio->openOrClose();
    if (serial && !m_done && !serial->isOpen())
        done(1, serial->name() + QStringLiteral(": cannot open"));
}

void Cli::runRows() {
    QCommandLineParser parser;
    const QCommandLineOption now(QStringLiteral("now"),
                                 QStringLiteral("The instant the spot ages count to (UTC)."),
                                 QStringLiteral("YYYY-MM-DDTHH:MM:SS"));
    parser.addOptions(
        {kBaseUrl, kServiceUrl, now, kSotaSource, kCallsign, kCluster, kListenSeconds});
    parser.addPositionalArgument(QStringLiteral("LIST"),
                                 QStringLiteral("pota, sota, wwff, netlogger, nets or mw."));
    const QString syntax =
        QStringLiteral("rows pota|sota|wwff|netlogger|nets|mw [--base-url URL] [--service-url URL] "
                       "[--now TIME] [--sota-source SOURCE] [--callsign CALL] "
                       "[--cluster HOST:PORT] [--listen-seconds N]");
    if (!parse(parser, syntax))
        return;
    const QString help = QStringLiteral("usage: ") + kProgram + u' ' + syntax + u'\n';
    const QStringList positional = parser.positionalArguments();
    if (positional.size() != 1)
        return usageError(QStringLiteral("give one list"), help);
    const auto list = core::listNamed(positional[0]);
    if (!list)
        return usageError(QStringLiteral("unknown list ") + positional[0], help);
    QDateTime at = QDateTime::currentDateTimeUtc();
    if (parser.isSet(now)) {
        at = QDateTime::fromString(parser.value(now), QStringLiteral("yyyy-MM-dd'T'HH:mm:ss"));
        if (!at.isValid())
            return usageError(QStringLiteral("--now takes YYYY-MM-DDTHH:MM:SS"), help);
        at.setTimeZone(QTimeZone::utc());
    }
    feeds::SotaSourceSettings sources;
    if (!readSources(parser, help, sources))
        return;
    bool listenOk = true;
    const double listenSeconds =
        parser.isSet(kListenSeconds) ? parser.value(kListenSeconds).toDouble(&listenOk) : 10.0;
    if (!listenOk || !(listenSeconds >= 0 && listenSeconds <= 86400))
        return usageError(QStringLiteral("--listen-seconds takes a number of seconds"), help);
    core::ServiceHosts hosts;
    if (parser.isSet(kBaseUrl)) {
        const auto base = webAddress(parser.value(kBaseUrl));
        if (!base)
            return usageError(QStringLiteral("--base-url needs an http or https address"), help);
        hosts = core::ServiceHosts::allAt(*base);
    }
    // Without a directory service the nets and stations come from the lists built in.
    if (!parser.isSet(kBaseUrl) || parser.isSet(kServiceUrl))
        hosts.maker = serviceUrl(parser);
    auto* lists = new session::ListsSession(
        &m_nam, hosts, [this](const QString& line) { m_err << line << "\n"; }, this);
    lists->setSpotSources(sources);
    connect(lists, &session::ListsSession::listShown, this, [this, lists](ListKind shown) {
        const session::ListModel* model = lists->model(shown);
        for (int row = 0; row < model->rowCount(); ++row)
            m_out << QJsonDocument(QJsonArray::fromStringList(model->rowColumns(row)))
                         .toJson(QJsonDocument::Compact)
                  << "\n";
        m_err << lists->statusText(shown) << "\n";
        finish(0);
    });
    if (*list != ListKind::Sota || sources.source != feeds::SotaSource::Cluster)
        return lists->load(*list, at);
    // The cluster sends what it has heard over the listening time; the load then shows it at once.
    lists->setDeadlineMs(0);
    QTimer::singleShot(qRound(listenSeconds * 1000), this,
                       [lists, at] { lists->load(ListKind::Sota, at); });
}

void Cli::runConditions() {
    QCommandLineParser parser;
    parser.addOptions({kBaseUrl, kCallsign});
    const QString syntax = QStringLiteral("conditions [--base-url URL] [--callsign CALL]");
    if (!parse(parser, syntax))
        return;
    const QString help = QStringLiteral("usage: ") + kProgram + u' ' + syntax + u'\n';
    if (!parser.positionalArguments().isEmpty())
        return usageError(QStringLiteral("conditions takes no arguments"), help);
    QString callsign;
    if (!readCallsign(parser, help, callsign))
        return;
    std::optional<QUrl> base = core::ServiceHosts{}.solar;
    if (parser.isSet(kBaseUrl))
        base = webAddress(parser.value(kBaseUrl));
    if (!base)
        return usageError(QStringLiteral("--base-url needs an http or https address"), help);
    auto* fetcher = new conditions::ConditionsFetcher(&m_nam, this);
    connect(fetcher, &conditions::ConditionsFetcher::diagnostic, this,
            [this](const QString& line) { m_err << line << "\n"; });
    connect(fetcher, &conditions::ConditionsFetcher::shown, this,
            [this](const conditions::PanelView& view) {
                m_out << "title: " << view.title << "\n";
                bool any = false;
                for (const conditions::FieldView& field : view.fields) {
                    m_out << field.name << ": " << field.text << " "
                          << conditions::colourName(field.colour) << "\n";
                    any = any || !field.text.isEmpty();
                }
                m_err << (any ? QStringLiteral("Band conditions loaded %1 UTC")
                                    .arg(QDateTime::currentDateTimeUtc().toString(
                                        QStringLiteral("HH:mm")))
                              : QStringLiteral("No band conditions: nothing usable came back"))
                      << "\n";
                finish(0);
            });
    fetcher->start(*base);
}

void Cli::runConfirm(bool confirm) {
    QCommandLineParser parser;
    const QCommandLineOption name(QStringLiteral("name"),
                                  QStringLiteral("The net's name, for the announcement."),
                                  QStringLiteral("TEXT"));
    const QCommandLineOption key(QStringLiteral("key"),
                                 QStringLiteral("The operator key (the stored one when left "
                                                "out)."),
                                 QStringLiteral("KEY"));
    parser.addOptions({name, key, kServiceUrl, kBaseUrl});
    parser.addPositionalArgument(QStringLiteral("NET_ID"),
                                 QStringLiteral("The net's identifier in the directory."));
    const QString syntax = (confirm ? QStringLiteral("confirm") : QStringLiteral("unconfirm")) +
                           QStringLiteral(" NET_ID [--name TEXT] [--key KEY] [--service-url URL]");
    if (!parse(parser, syntax))
        return;
    const QString help = QStringLiteral("usage: ") + kProgram + u' ' + syntax + u'\n';
    if (parser.positionalArguments().size() != 1)
        return usageError(QStringLiteral("give one NET_ID"), help);
    const QUrl service = parser.isSet(kBaseUrl) ? QUrl(parser.value(kBaseUrl)) : serviceUrl(parser);
    if ((parser.isSet(kBaseUrl) || parser.isSet(kServiceUrl)) && !webAddress(service.toString()))
        return usageError(QStringLiteral("the service's address must be an http or https address"),
                          help);
    if (!webAddress(service.toString())) {
        m_err << kProgram
              << ": no directory service is set; give --service-url URL or set one in the "
                 "window's Preferences\n";
        return finish(1);
    }
    core::ServiceHosts hosts;
    hosts.maker = service;
    auto* lists = new session::ListsSession(
        &m_nam, hosts, [this](const QString& line) { m_err << line << "\n"; }, this);
    connect(lists, &session::ListsSession::confirmAnswered, this,
            [this](bool succeeded, const QString& announcement) {
                m_out << announcement << "\n";
                finish(succeeded ? 0 : 1);
            });
    const QString netId = parser.positionalArguments().first();
    const QString netName = parser.value(name);
    const auto send = [this, lists, netId, netName, confirm](const QString& operatorKey) {
        if (!lists->confirm(netId, netName, confirm, operatorKey))
            finish(1);
    };
    if (parser.isSet(key))
        return send(parser.value(key));
    // The stored key comes from the keychain, which answers asynchronously.
    auto* keys = new nets::OperatorKeyStore(settings(), this);
    connect(keys, &nets::OperatorKeyStore::diagnostic, this,
            [this](const QString& line) { m_err << line << "\n"; });
    // Like the window, the first confirmation without a key makes the operator one and keeps it.
    connect(keys, &nets::OperatorKeyStore::loaded, this, [keys, send] { send(keys->ensureKey()); });
    keys->load();
}

} // namespace cli
