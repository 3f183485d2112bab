#include "cli/cli.h"
#include "loopbackpeers.h"
#include "loopbackserver.h"
#include "ptypair.h"
#include "testing.h"

#include <QSettings>
#include <QTemporaryDir>

// One run of the command-line tool with settings of its own, started at once.
struct CliRun {
    explicit CliRun(const QStringList& args, const QString& settingsFile = {})
        : cli(args, outStream, errStream) {
        cli.setSettingsFile(settingsFile.isEmpty() ? dir.filePath("settings.ini") : settingsFile);
        cli.start();
    }
    // The exit code, once the tool has finished; -1 if it does not.
    int code() {
        if (finished.isEmpty() && !finished.wait(5000))
            return -1;
        outStream.flush(), errStream.flush();
        return finished.first().first().toInt();
    }

    QString out, err;
    QTextStream outStream{&out}, errStream{&err};
    QTemporaryDir dir;
    cli::Cli cli;
    QSignalSpy finished{&cli, &cli::Cli::finished};
};

// Every command: 0 on success, 1 when the radio or the service failed, 2 for a refusal or a
// usage error, which prints nothing on standard output. Each case gives how the standard output
// starts, or the standard error where nothing went to the output. "BASE" stands for the loopback
// server.
TEST(Cli, ExitCodesAndOutput) {
    LoopbackServer server;
    server.route("/spot/activator",
                 {200, fixture("pota-activator-spots.json"), "application/json"});
    server.route("/static/spots.json", {200, fixture("wwff-spots-elements.json")});
    server.route("/solarxml.php", {200, fixture("solarxml.xml")});
    server.route("/netconf.php", {200, "ok"});
    const std::tuple<QStringList, int, QString> cases[] = {
        {{"tune", "--list", "pota", "--radio", "Icom IC-7300", "14074", "FT8"},
         0,
         "FEFE94E0050040071400FD\nFEFE94E00601FD\nFEFE94E01A060101FD\nsay: \n"},
        {{"tune", "--list", "mw", "--name", "ABC", "540"},
         0,
         "MD05;FA000540000;SS0640000;\nsay: A B C\n"},
        {{"rows", "pota", "--base-url", "BASE", "--now", "2024-12-01T00:00:00"},
         0,
         "[\"JQ2DUX/2\",\"7006.5\""},
        {{"tune", "--list", "wwff", "--radio", "Icom IC-7300", "7046.0", "CW"},
         0,
         "FEFE94E0050060040700FD\nFEFE94E00603FD\nFEFE94E01A060000FD\nsay: \n"},
        {{"rows", "wwff", "--base-url", "BASE", "--now", "2026-06-05T08:00:00"},
         0,
         "[\"F4ILK/P\",\"7006\",\"CW\",\"FFF-3970\",\"CAVITES SOUTERRAINES LE BUISSON\",\"7\","},
        // Without a directory service: the bundled stations, and no confirmations.
        {{"rows", "mw"}, 0, "[\"KFI\",\"640\""},
        {{"confirm", "1"}, 1, "bandhopper-cli: no directory service is set"},
        {{"conditions", "--base-url", "BASE"},
         0,
         "title: Band Conditions -  15 Jan 2019 0442 GMT\nsolarFlux: "},
        {{"confirm", "42", "--name", "Noon Net", "--key", "K3Y", "--base-url", "BASE"},
         0,
         "thank you for confirming Noon Net\n"},
        {{"unconfirm", "42", "--name", "Noon Net", "--base-url", "http://127.0.0.1:9"},
         1,
         "retraction failed for Noon Net\n"},
        {{"tune", "--list", "pota", "--port", "/dev/no-such-radio-port", "14074", "FT8"},
         1,
         "MD02;SF1E;"},
        {{"tune", "--list", "pota", "--", "-5"}, 2, "Cannot tune -5\n"},
        {{"tune", "--list", "pota", "--radio", "Icom IC-9999", "14074"},
         2,
         "bandhopper-cli: unknown radio"},
        {{"tune", "--list", "hf", "14074"}, 2, "bandhopper-cli: --list"},
        {{"tune", "--list", "pota", "--rigctld", "host:0", "14074"},
         2,
         "bandhopper-cli: --rigctld"},
        {{"tune", "--list", "pota", "--rigctld", "h:1", "--port", "p", "14074"},
         2,
         "bandhopper-cli: give"},
        {{"rows", "pota", "--now", "yesterday"}, 2, "bandhopper-cli: --now"},
        {{}, 2, "bandhopper-cli: no command"},
        {{"tune", "--bogus"}, 2, "bandhopper-cli: Unknown option 'bogus'"},
        {{"tune", "--help"}, 0, "usage: bandhopper-cli tune --list LIST"},
        {{"--version"}, 0, "bandhopper-cli "},
    };
    // A command that asks its parser about an option it never declared gets a warning on every
    // run.
    static QStringList warnings;
    warnings.clear();
    const QtMessageHandler previous = qInstallMessageHandler(
        [](QtMsgType, const QMessageLogContext&, const QString& line) { warnings << line; });
    // All at once: the loads wait for their deadlines.
    std::vector<std::unique_ptr<CliRun>> runs;
    for (const auto& [args, code, start] : cases)
        runs.push_back(std::make_unique<CliRun>(
            QStringList(args).replaceInStrings("BASE", server.baseUrl().toString())));
    for (std::size_t i = 0; i < std::size(cases); ++i) {
        const auto& [args, code, start] = cases[i];
        CliRun& run = *runs[i];
        SCOPED_TRACE(args.join(' ').toStdString());
        EXPECT_EQ(run.code(), code) << run.err.toStdString();
        EXPECT_TRUE((run.out.isEmpty() ? run.err : run.out).startsWith(start))
            << run.out.left(200).toStdString() << run.err.toStdString();
        EXPECT_TRUE(code != 2 || run.out.isEmpty());
        EXPECT_TRUE(code == 0 || !run.err.isEmpty());
    }
    qInstallMessageHandler(previous);
    EXPECT_TRUE(warnings.filter("not defined").isEmpty()) << warnings.join('\n').toStdString();
    ASSERT_EQ(server.count("/netconf.php"), 1);
    for (const LoopbackServer::Request& request : server.requests())
        EXPECT_TRUE(request.path != "/netconf.php" || request.body.contains("\"K3Y\""));
}

TEST(Cli, TuneWritesToThePortOneWritePerFrame) {
    PtyPair pty;
    CliRun run({"tune", "--list", "pota", "--radio", "Icom IC-7300", "--port", pty.slavePath(),
                "7030", "CW"});
    EXPECT_EQ(run.code(), 0) << run.err.toStdString();
    EXPECT_EQ(pty.read(33), QByteArray::fromHex("FEFE94E0050000030700FDFEFE94E00603FD"
                                                "FEFE94E01A060000FDFEFE94E003FD"));
}

// Tunes through rigctld, read back with Hamlib's own client; exit 1 when the radio reports
// another frequency (a fake daemon) or the daemon cannot be reached.
TEST(Cli, TuneThroughRigctldSetsTheRadioAndChecksIt) {
    RigctldDaemon daemon;
    SKIP_WITHOUT_RIGCTLD(daemon);
    FakePeer wandering({"RPRT 0\n", "RPRT 0\n", "7074000\n", "USB\n2400\n"});
    const std::pair<QStringList, const char*> cases[] = {
        {{"pota", "14074", "FT8"}, "14074000 PKTUSB"},
        {{"pota", "7030", "CW"}, "7030000 CW"},
        {{"pota", "29600", "FM"}, "29600000 FM"},
        {{"pota", "14250", "OLIVIA"}, "14250000 USB"},
        {{"sota", "7.185", "SSB"}, "7185000 LSB"},
        {{"netlogger", "3.9275", "SSB"}, "3927500 LSB"},
        {{"nets", "14.300", "LSB"}, "14300000 LSB"},
        {{"nets", "7.255", "USB"}, "7255000 USB"},
        {{"mw", "540"}, "540000 AM"},
        {{"pota", "14074", "FT8"}, nullptr}};
    for (const auto& [args, readBack] : cases) {
        const QString address = readBack ? daemon.address() : wandering.address();
        CliRun run(QStringList{"tune", "--rigctld", address, "--list"} + args);
        EXPECT_EQ(run.code(), readBack ? 0 : 1) << run.err.toStdString();
        EXPECT_EQ(readBack ? daemon.readBack() : QString(), QString(readBack));
    }
    CliRun printed({"tune", "--list", "pota", "--rigctld", daemon.address(), "14074", "FT8"});
    printed.code();
    EXPECT_EQ(printed.out, "F 14074000\nM PKTUSB 0\nsay: \nRadio reports 14.074.000 MHz PKTUSB\n");
    const QString nobody = "127.0.0.1:" + QString::number(freePort());
    EXPECT_EQ(CliRun({"tune", "--list", "mw", "--rigctld", nobody, "540"}).code(), 1);
}

// The log from the command line, on one log file: a contact added (and appended to the ADIF file
// the settings name), listed, exported and imported again as a duplicate; bad files refused with
// the record's position; POTA's list of worked parks taken.
TEST(Cli, LogCommands) {
    QTemporaryDir dir;
    const QString settings = dir.filePath("settings.ini");
    QSettings(settings, QSettings::IniFormat).setValue("log/adifFile", dir.filePath("watched.adi"));
    QFile bad(dir.filePath("bad.adi"));
    ASSERT_TRUE(bad.open(QIODevice::WriteOnly) && bad.write("<CALL:4>N0AB<EOR>") > 0);
    bad.close();
    QFile parks(dir.filePath("hunter_parks.csv"));
    ASSERT_TRUE(parks.open(QIODevice::WriteOnly) &&
                parks.write("DX Entity,Location,HASC,Reference,Park Name,First QSO Date,QSOs\n"
                            "Canada,CA-ON,CA-ON,CA-0001,Park,2023-01-01,2\n") > 0);
    parks.close();
    const QStringList log = {"--log", dir.filePath("log.sqlite")};
    const std::tuple<QStringList, int, QString> cases[] = {
        {{"add", "--call", "k1abc", "--frequency", "14080", "--mode", "FT4", "--pota",
          "US-1234,US-5678", "--time", "2026-12-07T22:15", "--name", "Zoë"},
         0,
         R"({"band":"20m","call":"K1ABC","frequency_hz":14080000,"id":1,"mode":"MFSK",)"
         R"("name":"Zoë","pota_ref":"US-1234,US-5678","rst_rcvd":"-10","rst_sent":"-10",)"
         R"("sig":"POTA","sig_info":"US-1234,US-5678","submode":"FT4","time":"2026-12-07T22:15:00Z"})"
         "\n"},
        {{"list", "--from", "2026-12-07", "--to", "2026-12-07"},
         0,
         R"({"band":"20m","call":"K1ABC")"},
        {{"export", "--output", dir.filePath("out.adi")}, 0, "exported 1 contact\n"},
        {{"export", dir.filePath("named.adi")}, 0, "exported 1 contact\n"},
        {{"import", dir.filePath("named.adi")}, 0, "0 contacts imported, 1 duplicates skipped"},
        {{"import", dir.filePath("bad.adi")}, 1, "record 1 (byte 0): no QSO_DATE"},
        {{"import", dir.filePath("hunter_parks.csv")}, 0, "1 parks worked before added"},
        {{"send"}, 0, ""},
        {{"add", "--mode", "CW"}, 2, "bandhopper-cli: log add needs --call"},
        {{"add", "--call", "K1ABC", "--frequency", "x"}, 2, "bandhopper-cli: --frequency"},
        {{"frobnicate"}, 2, "bandhopper-cli: unknown log command frobnicate"},
    };
    for (const auto& [args, code, text] : cases) {
        CliRun run(QStringList{"log"} + args + log, settings);
        SCOPED_TRACE(args.join(' ').toStdString());
        EXPECT_EQ(run.code(), code) << run.err.toStdString();
        EXPECT_TRUE((code == 0 && args[0] != "import" && args[0] != "export" ? run.out : run.err)
                        .contains(text))
            << run.out.toStdString() << run.err.toStdString();
    }
    QFile watched(dir.filePath("watched.adi"));
    ASSERT_TRUE(watched.open(QIODevice::ReadOnly));
    EXPECT_TRUE(watched.readAll().contains("<CALL:5>K1ABC <QSO_DATE:8>20261207"));
}
