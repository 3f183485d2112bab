#include "app/cli.h"
#include "controllerfixture.h"
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

} // namespace

// What the Tune would send, one frame or command per line, then what would be said.
TEST(CliTune, PrintsWhatTheTuneWouldSend) {
    const std::vector<std::pair<QStringList, QString>> cases = {
        {{"tune", "--list", "pota", "--radio", "Icom IC-7300", "14074", "FT8"},
         "FEFE94E0050040071400FD\nFEFE94E00601FD\nFEFE94E01A060101FD\nsay: \n"},
        {{"tune", "--list", "mw", "--name", "ABC", "540"},
         "MD05;FA000540000;SS0640000;\nsay: A B C\n"},
    };
    for (const auto& [args, printed] : cases) {
        const CliRun run = runCli(args);
        EXPECT_EQ(run.code, 0) << run.err.toStdString();
        EXPECT_EQ(run.out, printed);
    }
}

// Refusals and usage errors exit 2, a port that cannot open exits 1.
TEST(CliTune, FailuresExitNonZero) {
    const std::vector<std::tuple<QStringList, int, QString>> cases = {
        {{"tune", "--list", "pota", "--", "-5"}, 2, "Cannot tune -5\n"},
        {{"tune", "--list", "pota", "-5"}, 2, "bandhopper-cli: unknown option -5"},
        {{"tune", "--list", "pota", "--radio", "Icom IC-9999", "14074"},
         2,
         "bandhopper-cli: unknown radio"},
        {{"tune", "--list", "hf", "14074"}, 2, "bandhopper-cli: --list"},
        {{"tune", "--list", "pota"}, 2, "bandhopper-cli: give FREQUENCY"},
        {{"launch"}, 2, "bandhopper-cli: unknown command launch"},
        {{}, 2, "bandhopper-cli: no command"},
        {{"rows", "pota", "--now", "yesterday"}, 2, "bandhopper-cli: "},
        {{"tune", "--list", "pota", "--port", "/dev/no-such-radio-port", "14074", "FT8"}, 1, ""},
    };
    for (const auto& [args, code, errStart] : cases) {
        const CliRun run = runCli(args);
        EXPECT_EQ(run.code, code) << args.join(' ').toStdString();
        EXPECT_TRUE(run.err.startsWith(errStart) && !run.err.isEmpty()) << run.err.toStdString();
        EXPECT_EQ(run.out.isEmpty(), code == 2) << "a usage error prints nothing else";
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

TEST(CliRowsAndConditions, PrintWhatTheWindowWouldShow) {
    LoopbackServer server;
    ASSERT_TRUE(server.listen());
    server.route("/spot/activator",
                 {200, fixture("pota-activator-spots.json"), "application/json"});
    server.route("/solarxml.php", {200, fixture("solarxml.xml")});
    const QString base = server.baseUrl().toString();
    CliRun run = runCli({"rows", "pota", "--base-url", base, "--now", "2024-12-01T00:00:00"});
    EXPECT_EQ(run.code, 0) << run.err.toStdString();
    EXPECT_EQ(run.out.count('\n'), 54);
    EXPECT_TRUE(run.out.startsWith("[\"JQ2DUX/2\"")) << run.out.left(80).toStdString();
    EXPECT_EQ(runCli({"rows", "mw", "--base-url", "http://127.0.0.1:9"}).out, "");

    run = runCli({"conditions", "--base-url", base});
    EXPECT_EQ(run.code, 0);
    const QStringList lines = run.out.split('\n', Qt::SkipEmptyParts);
    ASSERT_EQ(lines.size(), 12);
    EXPECT_EQ(lines[0], "title: Band Conditions -  15 Jan 2019 0442 GMT");
    EXPECT_TRUE(lines[1].startsWith("solarFlux: ") && lines[1].endsWith(" green"));
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
