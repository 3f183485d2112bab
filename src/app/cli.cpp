#include "app/cli.h"

#include "conditions/bandconditions.h"
#include "feeds/http.h"
#include "nets/netconfirm.h"
#include "nets/operatorkey.h"
#include "radio/qtseriallink.h"
#include "radio/radiomodels.h"
#include "tuning/catencoding.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QMap>
#include <QSettings>
#include <QTimeZone>
#include <QTimer>

#include <memory>
#include <optional>

namespace app {
namespace {

using feeds::ListKind;

struct Parsed {
    QMap<QString, QString> options;
    QStringList positional;
    QString error;
};

// Options take one value each; "--" ends them so that a frequency may start with a minus sign.
Parsed parseArguments(const QStringList& args, const QStringList& known) {
    Parsed parsed;
    bool optionsOver = false;
    for (qsizetype i = 0; i < args.size(); ++i) {
        const QString& arg = args[i];
        if (!optionsOver && arg == QLatin1String("--")) {
            optionsOver = true;
        } else if (!optionsOver && arg.startsWith(u'-') && arg.size() > 1) {
            if (!known.contains(arg)) {
                parsed.error = QStringLiteral("unknown option ") + arg;
                return parsed;
            }
            if (i + 1 >= args.size()) {
                parsed.error = QStringLiteral("option ") + arg + QStringLiteral(" needs a value");
                return parsed;
            }
            parsed.options.insert(arg, args[++i]);
        } else {
            parsed.positional << arg;
        }
    }
    return parsed;
}

std::optional<ListKind> listNamed(const QString& name) {
    static const QMap<QString, ListKind> lists{{QStringLiteral("pota"), ListKind::Pota},
                                               {QStringLiteral("sota"), ListKind::Sota},
                                               {QStringLiteral("netlogger"), ListKind::NetLogger},
                                               {QStringLiteral("nets"), ListKind::Nets},
                                               {QStringLiteral("mw"), ListKind::MW}};
    const auto it = lists.find(name);
    return it == lists.end() ? std::nullopt : std::optional(*it);
}

std::optional<QUrl> baseUrlOption(const Parsed& parsed, const QUrl& fallback) {
    if (!parsed.options.contains(QStringLiteral("--base-url")))
        return fallback;
    const QUrl url(parsed.options.value(QStringLiteral("--base-url")));
    if (!url.isValid() || url.host().isEmpty() ||
        (url.scheme() != QLatin1String("http") && url.scheme() != QLatin1String("https")))
        return std::nullopt;
    return url;
}

} // namespace

Cli::Cli(const QStringList& args, QTextStream& out, QTextStream& err, QObject* parent)
    : QObject(parent)
    , m_args(args)
    , m_out(out)
    , m_err(err) {}

Cli::~Cli() = default;

QString Cli::usage() {
    return QStringLiteral(
        "usage:\n"
        "  bandhopper-cli tune --list pota|sota|netlogger|nets|mw [--radio TITLE] [--name TEXT]\n"
        "                      [--port PATH [--baud RATE]] [--] FREQUENCY [MODE]\n"
        "  bandhopper-cli rows pota|sota|netlogger|nets|mw [--base-url URL] "
        "[--now YYYY-MM-DDTHH:MM:SS]\n"
        "  bandhopper-cli conditions [--base-url URL]\n"
        "  bandhopper-cli confirm|unconfirm NET_ID [--name TEXT] [--key KEY] [--base-url URL]\n");
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

int Cli::usageError(const QString& why) {
    m_err << "bandhopper-cli: " << why << "\n" << usage();
    finish(2);
    return 2;
}

void Cli::start() {
    const QString command = m_args.value(0);
    if (command == QLatin1String("tune"))
        runTune();
    else if (command == QLatin1String("rows"))
        runRows();
    else if (command == QLatin1String("conditions"))
        runConditions();
    else if (command == QLatin1String("confirm") || command == QLatin1String("unconfirm"))
        runConfirm(command == QLatin1String("confirm"));
    else
        usageError(command.isEmpty() ? QStringLiteral("no command")
                                     : QStringLiteral("unknown command ") + command);
}

void Cli::runTune() {
    const Parsed parsed =
        parseArguments(m_args.mid(1), {QStringLiteral("--list"), QStringLiteral("--radio"),
                                       QStringLiteral("--name"), QStringLiteral("--port"),
                                       QStringLiteral("--baud")});
    if (!parsed.error.isEmpty())
        return (void)usageError(parsed.error);
    const auto list = listNamed(parsed.options.value(QStringLiteral("--list")));
    if (!list)
        return (void)usageError(QStringLiteral("--list must be pota, sota, netlogger, nets or mw"));
    if (parsed.positional.isEmpty() || parsed.positional.size() > 2)
        return (void)usageError(QStringLiteral("give FREQUENCY and optionally MODE"));
    if (parsed.options.contains(QStringLiteral("--baud")) &&
        !parsed.options.contains(QStringLiteral("--port")))
        return (void)usageError(QStringLiteral("--baud goes with --port"));

    tuning::TuneInput input;
    input.list = *list;
    input.frequencyText = parsed.positional[0];
    input.modeText = *list == ListKind::MW ? QString() : parsed.positional.value(1);
    input.spokenText = parsed.options.value(QStringLiteral("--name"));
    if (parsed.options.contains(QStringLiteral("--radio"))) {
        const QString title = parsed.options.value(QStringLiteral("--radio"));
        const int position = int(radio::radioPopUpTitles().indexOf(title));
        if (position < 0)
            return (void)usageError(QStringLiteral("unknown radio ") + title);
        const radio::RadioChoice choice = radio::chooseRadio(position, title);
        input.kvRadio = choice.kvRadio;
        input.kvIC = choice.kvIC;
    }
    const tuning::TuneCommands commands = tuning::composeTune(input);
    if (commands.refused) {
        for (const QString& line : commands.diagnostics)
            m_err << line << "\n";
        return finish(2);
    }
    for (const QString& frame : commands.frames)
        m_out << frame << "\n";
    m_out << "say: " << commands.announcement << "\n";
    m_out.flush();

    if (!parsed.options.contains(QStringLiteral("--port")))
        return finish(0);
    bool rateOk = true;
    const qint32 rate =
        parsed.options.contains(QStringLiteral("--baud"))
            ? parsed.options.value(QStringLiteral("--baud")).toInt(&rateOk)
            : (tuning::familyFor(input.kvRadio) == tuning::Family::Icom ? 19200 : 38400);
    if (!rateOk || rate <= 0)
        return (void)usageError(QStringLiteral("--baud needs a positive whole number"));

    auto* link = new radio::QtSerialLink(parsed.options.value(QStringLiteral("--port")), this);
    // Outlives this function: the write is watched from the event loop.
    const auto failure = std::make_shared<QString>();
    connect(link, &radio::SerialLink::errorOccurred, this,
            [failure](const QString& error) { *failure = error; });
    radio::LineSettings settings;
    settings.baudRate = rate;
    link->setLineSettings(settings);
    link->open();
    if (!link->isOpen()) {
        m_err << link->name() << ": "
              << (failure->isEmpty() ? QStringLiteral("cannot open") : *failure) << "\n";
        return finish(1);
    }
    for (const QByteArray& bytes : commands.writes())
        link->sendData(bytes);
    // Close only once the device has taken every byte, or give up after five seconds.
    auto* poll = new QTimer(this);
    auto* giveUp = new QTimer(this);
    giveUp->setSingleShot(true);
    const auto done = [this, link, poll, giveUp](int code, const QString& why) {
        poll->stop();
        giveUp->stop();
        if (!why.isEmpty())
            m_err << link->name() << ": " << why << "\n";
        link->close();
        finish(code);
    };
    connect(poll, &QTimer::timeout, this, [link, done, failure] {
        if (!failure->isEmpty())
            done(1, *failure);
        else if (!link->hasPendingWrites())
            done(0, {});
    });
    connect(giveUp, &QTimer::timeout, this,
            [done] { done(1, QStringLiteral("timed out writing to the port")); });
    poll->start(10);
    giveUp->start(5000);
}

void Cli::runRows() {
    const Parsed parsed =
        parseArguments(m_args.mid(1), {QStringLiteral("--base-url"), QStringLiteral("--now")});
    if (!parsed.error.isEmpty())
        return (void)usageError(parsed.error);
    if (parsed.positional.size() != 1)
        return (void)usageError(QStringLiteral("give one list"));
    const auto list = listNamed(parsed.positional[0]);
    if (!list)
        return (void)usageError(QStringLiteral("unknown list ") + parsed.positional[0]);
    QDateTime now = QDateTime::currentDateTimeUtc();
    if (parsed.options.contains(QStringLiteral("--now"))) {
        now = QDateTime::fromString(parsed.options.value(QStringLiteral("--now")),
                                    QStringLiteral("yyyy-MM-dd'T'HH:mm:ss"));
        if (!now.isValid())
            return (void)usageError(QStringLiteral("--now takes YYYY-MM-DDTHH:MM:SS"));
        now.setTimeZone(QTimeZone::utc());
    }
    feeds::ServiceHosts hosts;
    if (parsed.options.contains(QStringLiteral("--base-url"))) {
        const auto base = baseUrlOption(parsed, {});
        if (!base)
            return (void)usageError(QStringLiteral("--base-url needs an http or https address"));
        hosts = feeds::ServiceHosts::allAt(*base);
    }
    auto* loader = new feeds::FeedLoader(*list, &m_nam, this);
    connect(loader, &feeds::FeedLoader::diagnostic, this,
            [this](const QString& line) { m_err << line << "\n"; });
    connect(loader, &feeds::FeedLoader::shown, this, [this](const feeds::Rows& rows) {
        for (const feeds::Row& row : rows)
            m_out << QJsonDocument(QJsonArray::fromStringList(row)).toJson(QJsonDocument::Compact)
                  << "\n";
        finish(0);
    });
    loader->start(feeds::feedUrl(*list, hosts), now);
}

void Cli::runConditions() {
    const Parsed parsed = parseArguments(m_args.mid(1), {QStringLiteral("--base-url")});
    if (!parsed.error.isEmpty())
        return (void)usageError(parsed.error);
    if (!parsed.positional.isEmpty())
        return (void)usageError(QStringLiteral("conditions takes no arguments"));
    const auto base = baseUrlOption(parsed, feeds::ServiceHosts{}.solar);
    if (!base)
        return (void)usageError(QStringLiteral("--base-url needs an http or https address"));
    auto* fetcher = new conditions::ConditionsFetcher(&m_nam, this);
    connect(fetcher, &conditions::ConditionsFetcher::diagnostic, this,
            [this](const QString& line) { m_err << line << "\n"; });
    connect(fetcher, &conditions::ConditionsFetcher::shown, this,
            [this](const conditions::PanelView& view) {
                m_out << "title: " << view.title << "\n";
                for (const conditions::FieldView& field : view.fields)
                    m_out << field.name << ": " << field.text << " "
                          << conditions::colourName(field.colour) << "\n";
                finish(0);
            });
    fetcher->start(*base);
}

void Cli::runConfirm(bool confirm) {
    const Parsed parsed =
        parseArguments(m_args.mid(1), {QStringLiteral("--name"), QStringLiteral("--key"),
                                       QStringLiteral("--base-url")});
    if (!parsed.error.isEmpty())
        return (void)usageError(parsed.error);
    if (parsed.positional.size() != 1)
        return (void)usageError(QStringLiteral("give one NET_ID"));
    const auto base = baseUrlOption(parsed, feeds::ServiceHosts{}.maker);
    if (!base)
        return (void)usageError(QStringLiteral("--base-url needs an http or https address"));

    auto* confirmer = new nets::NetConfirmer(&m_nam, this);
    connect(confirmer, &nets::NetConfirmer::diagnostic, this,
            [this](const QString& line) { m_err << line << "\n"; });
    connect(confirmer, &nets::NetConfirmer::finished, this,
            [this](bool succeeded, const QString& announcement) {
                m_out << announcement << "\n";
                finish(succeeded ? 0 : 1);
            });
    const QString netId = parsed.positional[0];
    const QString name = parsed.options.value(QStringLiteral("--name"));
    if (parsed.options.contains(QStringLiteral("--key"))) {
        confirmer->send(*base, parsed.options.value(QStringLiteral("--key")), netId, confirm, name);
        return;
    }
    // The stored key comes from the keychain, which answers asynchronously.
    auto* settings =
        m_settingsFile.isEmpty()
            ? new QSettings(QStringLiteral("Bandhopper"), QStringLiteral("Bandhopper"), this)
            : new QSettings(m_settingsFile, QSettings::IniFormat, this);
    auto* keys = new nets::OperatorKeyStore(settings, this);
    connect(keys, &nets::OperatorKeyStore::diagnostic, this,
            [this](const QString& line) { m_err << line << "\n"; });
    connect(keys, &nets::OperatorKeyStore::loaded, this,
            [=, this] { confirmer->send(*base, keys->key(), netId, confirm, name); });
    keys->load();
}

} // namespace app
