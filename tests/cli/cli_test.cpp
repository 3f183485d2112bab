#include "cli/cli.h"
#include "fixtures.h"
#include "loopbackserver.h"
#include "ptypair.h"

#include <QSignalSpy>
#include <QTemporaryDir>
#include <gtest/gtest.h>

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
    cli::Cli cli(args, out, err);
    cli.setSettingsFile(dir.filePath("settings.ini"));
    QSignalSpy finished(&cli, &cli::Cli::finished);
    cli.start();
    if (finished.isEmpty() && !finished.wait(timeoutMs))
        return run;
    run.code = finished.first().first().toInt();
    out.flush();
    err.flush();
    return run;
}

} // namespace

// Every command: 0 on success, 1 when the radio or the service failed, 2 for a refusal or a
// usage error, which prints nothing on standard output. "BASE" stands for the loopback server.
TEST(Cli, ExitCodesAndOutput) {
    LoopbackServer server;
    ASSERT_TRUE(server.listen());
    server.route("/spot/activator",
                 {200, fixture("pota-activator-spots.json"), "application/json"});
    server.route("/solarxml.php", {200, fixture("solarxml.xml")});
    server.route("/netconf.php", {200, "ok"});
    const QString dead = QStringLiteral("http://127.0.0.1:9");
    struct Case {
        QStringList args;
        int code;
        QString outStart;
        QString errStart = {};
    };
    const std::vector<Case> cases = {
        {{"tune", "--list", "pota", "--radio", "Icom IC-7300", "14074", "FT8"},
         0,
         "FEFE94E0050040071400FD\nFEFE94E00601FD\nFEFE94E01A060101FD\nsay: \n"},
        {{"tune", "--list", "mw", "--name", "ABC", "540"},
         0,
         "MD05;FA000540000;SS0640000;\nsay: A B C\n"},
        {{"rows", "pota", "--base-url", "BASE", "--now", "2024-12-01T00:00:00"},
         0,
         "[\"JQ2DUX/2\",\"7006.5\""},
        {{"rows", "mw", "--base-url", dead}, 0, ""},
        {{"conditions", "--base-url", "BASE"},
         0,
         "title: Band Conditions -  15 Jan 2019 0442 GMT\nsolarFlux: "},
        {{"confirm", "42", "--name", "Noon Net", "--key", "K3Y", "--base-url", "BASE"},
         0,
         "thank you for confirming Noon Net\n"},
        {{"unconfirm", "42", "--name", "Noon Net", "--base-url", dead},
         1,
         "retraction failed for Noon Net\n"},
        {{"tune", "--list", "pota", "--port", "/dev/no-such-radio-port", "14074", "FT8"},
         1,
         "MD02;SF1E;"},
        {{"tune", "--list", "pota", "--", "-5"}, 2, "", "Cannot tune -5\n"},
        {{"tune", "--list", "pota", "--radio", "Icom IC-9999", "14074"},
         2,
         "",
         "bandhopper-cli: unknown radio"},
        {{"tune", "--list", "hf", "14074"}, 2, "", "bandhopper-cli: --list"},
        {{"rows", "pota", "--now", "yesterday"}, 2, "", "bandhopper-cli: --now"},
        {{}, 2, "", "bandhopper-cli: no command"},
        {{"tune", "--bogus"}, 2, "", "bandhopper-cli: Unknown option 'bogus'"},
        {{"tune", "--help"}, 0, "usage: bandhopper-cli tune --list LIST"},
        {{"--version"}, 0, "bandhopper-cli "},
    };
    for (Case c : cases) {
        c.args.replaceInStrings("BASE", server.baseUrl().toString());
        SCOPED_TRACE(c.args.join(' ').toStdString());
        const CliRun run = runCli(c.args);
        EXPECT_EQ(run.code, c.code) << run.err.toStdString();
        EXPECT_EQ(run.out.left(c.outStart.size()), c.outStart);
        EXPECT_EQ(run.out.isEmpty(), c.outStart.isEmpty()) << run.out.left(200).toStdString();
        EXPECT_EQ(run.err.left(c.errStart.size()), c.errStart);
        EXPECT_TRUE(c.code == 0 || !run.err.isEmpty());
    }
    ASSERT_EQ(server.count("/netconf.php"), 1);
    EXPECT_TRUE(server.requests().last().body.contains("\"K3Y\""));
}

TEST(Cli, TuneWritesToThePortOneWritePerFrame) {
    PtyPair pty;
    ASSERT_TRUE(pty.isValid());
    const CliRun run = runCli({"tune", "--list", "pota", "--radio", "Icom IC-7300", "--port",
                               pty.slavePath(), "7030", "CW"});
    EXPECT_EQ(run.code, 0) << run.err.toStdString();
    EXPECT_EQ(pty.read(33), QByteArray::fromHex("FEFE94E0050000030700FDFEFE94E00603FD"
                                                "FEFE94E01A060000FDFEFE94E003FD"));
}
