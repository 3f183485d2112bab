#include "app/cli.h"
#include "loopbackserver.h"
#include "ptypair.h"
#include "waitfor.h"

#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <optional>

namespace {

struct CliRun {
    int code = -1;
    QString out;
    QString err;
};

CliRun runCli(const QStringList& args, int timeoutMs = 5000) {
    CliRun run;
    QTextStream out(&run.out);
    QTextStream err(&run.err);
    QTemporaryDir dir;
    app::Cli cli(args, out, err);
    cli.setSettingsFile(dir.filePath("settings.ini"));
    QSignalSpy finished(&cli, &app::Cli::finished);
    cli.start();
    if (finished.isEmpty() && !finished.wait(timeoutMs))
        return run;
    run.code = finished.first().first().toInt();
    out.flush();
    err.flush();
    return run;
}

QByteArray fixture(const char* name) {
    QFile file(QStringLiteral(BH_FIXTURES_DIR "/") + QLatin1String(name));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

} // namespace

TEST(CliTune, PrintsWhatTheTuneWouldSend) {
    struct Case {
        QStringList args;
        QString out;
    };
    const Case cases[] = {
        {{"tune", "--list", "pota", "--radio", "Icom IC-7300", "14074", "FT8"},
         "FEFE94E0050040071400FD\nFEFE94E00601FD\nFEFE94E01A060101FD\nsay: \n"},
        {{"tune", "--list", "mw", "--name", "ABC", "540"},
         "MD05;FA000540000;SS0640000;\nsay: A B C\n"},
        {{"tune", "--list", "sota", "--radio", "Yaesu FTDX10", "--name", "Mount Si", "14.062",
          "CW"},
         "MD03;SF1H;FA014062000;SS0640000;\nsay: Mount Si\n"},
        {{"tune", "--list", "nets", "3.940", "LSB"}, "MD01;FA003940000;SS0640000;\nsay: \n"},
    };
    for (const Case& c : cases) {
        const CliRun run = runCli(c.args);
        EXPECT_EQ(run.code, 0) << run.err.toStdString();
        EXPECT_EQ(run.out, c.out);
    }
}

TEST(CliTune, RefusalsAndUsageErrorsExitTwo) {
    struct Case {
        QStringList args;
        QString errStart;
    };
    const Case cases[] = {
        {{"tune", "--list", "pota", "--", "-5"}, "Cannot tune -5\n"},
        {{"tune", "--list", "pota", "144174", "FT8"}, "Cannot tune 144174\n"},
        {{"tune", "--list", "pota", "-5"}, "bandhopper-cli: unknown option -5"},
        {{"tune", "--list", "pota", "--radio", "Icom IC-9999", "14074"},
         "bandhopper-cli: unknown radio"},
        {{"tune", "--list", "hf", "14074"}, "bandhopper-cli: --list"},
        {{"tune", "--list", "pota"}, "bandhopper-cli: give FREQUENCY"},
        {{"launch"}, "bandhopper-cli: unknown command launch"},
        {{}, "bandhopper-cli: no command"},
    };
    for (const Case& c : cases) {
        const CliRun run = runCli(c.args);
        EXPECT_EQ(run.code, 2) << c.args.join(' ').toStdString();
        EXPECT_TRUE(run.err.startsWith(c.errStart)) << run.err.toStdString();
        EXPECT_TRUE(run.out.isEmpty());
    }
}

TEST(CliTune, WritesToThePortOneWritePerFrame) {
    PtyPair pty;
    ASSERT_TRUE(pty.isValid());
    const CliRun run = runCli({"tune", "--list", "pota", "--radio", "Icom IC-7300", "--port",
                               pty.slavePath(), "7030", "CW"});
    EXPECT_EQ(run.code, 0) << run.err.toStdString();
    EXPECT_EQ(pty.read(27), QByteArray::fromHex("FEFE94E0050000030700FDFEFE94E00603FD"
                                                "FEFE94E01A060000FD"));
}

TEST(CliTune, APortThatCannotOpenExitsOne) {
    const CliRun run =
        runCli({"tune", "--list", "pota", "--port", "/dev/no-such-radio-port", "14074", "FT8"});
    EXPECT_EQ(run.code, 1);
    EXPECT_FALSE(run.err.isEmpty());
}

TEST(CliRows, PrintsTheTableRowsAsJson) {
    LoopbackServer server;
    ASSERT_TRUE(server.listen());
    server.route("/spot/activator",
                 {200, fixture("pota-activator-spots.json"), "application/json"});
    const CliRun run = runCli({"rows", "pota", "--base-url", server.baseUrl().toString(), "--now",
                               "2024-12-01T00:00:00"});
    EXPECT_EQ(run.code, 0) << run.err.toStdString();
    const QStringList lines = run.out.split('\n', Qt::SkipEmptyParts);
    ASSERT_FALSE(lines.isEmpty());
    EXPECT_TRUE(lines[0].startsWith("[\"")) << lines[0].toStdString();
    EXPECT_EQ(server.count("/spot/activator"), 1);

    const CliRun empty = runCli({"rows", "mw", "--base-url", "http://127.0.0.1:9"});
    EXPECT_EQ(empty.code, 0);
    EXPECT_TRUE(empty.out.isEmpty());
    EXPECT_EQ(runCli({"rows", "pota", "--now", "yesterday"}).code, 2);
}

TEST(CliConditions, PrintsTitleAndElevenFields) {
    LoopbackServer server;
    ASSERT_TRUE(server.listen());
    server.route("/solarxml.php", {200, fixture("solarxml.xml")});
    const CliRun run = runCli({"conditions", "--base-url", server.baseUrl().toString()});
    EXPECT_EQ(run.code, 0);
    const QStringList lines = run.out.split('\n', Qt::SkipEmptyParts);
    ASSERT_EQ(lines.size(), 12);
    EXPECT_EQ(lines[0], "title: Band Conditions -  15 Jan 2019 0442 GMT");
    EXPECT_TRUE(lines[1].startsWith("solarFlux: ")) << lines[1].toStdString();
    EXPECT_TRUE(lines[1].endsWith(" green"));
    EXPECT_TRUE(lines[11].startsWith("magicBand: "));
}

TEST(CliConfirm, ExitCodeFollowsTheServiceAnswer) {
    LoopbackServer server;
    ASSERT_TRUE(server.listen());
    server.route("/netconf.php", {200, "ok"});
    const QString base = server.baseUrl().toString();
    CliRun run =
        runCli({"confirm", "42", "--name", "Noon Net", "--key", "K3Y", "--base-url", base});
    EXPECT_EQ(run.code, 0);
    EXPECT_EQ(run.out, "thank you for confirming Noon Net\n");
    ASSERT_EQ(server.requests().size(), 1);
    EXPECT_TRUE(server.requests()[0].body.contains("\"K3Y\""));

    server.route("/netconf.php", {500, "no"});
    run = runCli({"unconfirm", "42", "--name", "Noon Net", "--base-url", base});
    EXPECT_EQ(run.code, 1);
    EXPECT_EQ(run.out, "retraction failed for Noon Net\n");
}
