#include "feeds/textfeed.h"

#include "fixture.h"

#include <gtest/gtest.h>

#include <limits>
#include <vector>

using namespace feeds;

namespace {

TEST(ScanTag, CutsTheValueOutOfOneLine) {
    const std::vector<std::pair<QString, std::optional<QString>>> cases = {
        {"  <NetName> A &amp; B </NetName>\r", " A &amp; B "}, // untrimmed, unescaped
        {"<NetName></NetName>", ""},
        {"<NetName>Foo", std::nullopt},
        {"Foo</NetName>", std::nullopt},
        {"</NetName>Foo<NetName>", std::nullopt},
        {"<NetName>A</NetName><NetName>B</NetName>", "A"},
        {"<netname>a</netname>", std::nullopt},
        {"<NetName id=\"1\">A</NetName>", std::nullopt},
        {"<Mode>SSB</Mode><NetName>N</NetName>", "N"},
        {"<NetNames>x</NetNames>", std::nullopt},
    };
    for (const auto& [line, value] : cases)
        EXPECT_EQ(scanTag(line, u"NetName"), value) << line.toStdString();
    EXPECT_EQ(scanTag(u"<Net><NetName>x</NetName></Net>", u"Net"), "<NetName>x</NetName>");
}

TEST(ParseWholeNumber, AcceptsSignAndAsciiDigitsThatFit) {
    EXPECT_EQ(parseWholeNumber(u"+007"), 7);
    EXPECT_EQ(parseWholeNumber(u"-9223372036854775808"), std::numeric_limits<qint64>::min());
    // The last one is an Arabic-Indic digit, not an ASCII one.
    for (const char* text : {"9223372036854775808", "", "-", "+-1", " 1", "1.0", "\u0663"})
        EXPECT_EQ(parseWholeNumber(QString::fromUtf8(text)), std::nullopt) << text;
}

TEST(DecodeFeedText, ReplacesInvalidSequencesInsteadOfDroppingText) {
    EXPECT_EQ(decodeFeedText("Caf\xC3\xA9 \xFF!"), QStringLiteral("Caf\u00E9 \uFFFD!"));
    EXPECT_TRUE(decodeFeedText("end \xE2\x82").startsWith(QStringLiteral("end \uFFFD")));
}

TEST(NetLoggerNets, CaptureKeepsSsbNetsByDescendingSubscribers) {
    const Rows rows = parseNetLoggerNets(decodeFeedText(readFixture("netlogger-active-nets.xml")));
    EXPECT_EQ(rows, Rows({
                        {"NATA 40m Net", "7.187", "SSB", "39"},
                        {"WOLVERINE SINGLE SIDEBAND NET!", "3.935", "SSB", "18"},
                        {"The Maine Potato Net", "3.958", "SSB", "16"},
                        {"MOONLIGHTERS", "7.279", "SSB", "13"},
                        {"3905 40m SSB Early Net", "7.2675", "SSB", "10"},
                        {"Thursday night 10 meter net", "28.310", "SSB", "2"},
                        {"YLSYSTEM 40 METER EC SESSION", "7244", "SSB", "1"},
                    }));
}

// One net as the server writes it, a tag per line.
QString net(const QString& name, const QString& frequency, const QString& mode,
            const QString& count) {
    return "<NetName>" + name + "</NetName>\n<Frequency>" + frequency + "</Frequency>\n<Mode>" +
           mode + "</Mode>\n<SubscriberCount>" + count + "</SubscriberCount>\n";
}

TEST(NetLoggerNets, FiltersPairsAndSorts) {
    struct Case {
        const char* what;
        QString reply;
        Rows expected;
    };
    const std::vector<Case> cases = {
        {"only exact SSB",
         net("a", "7.1", "ssb", "1") + net("b", "7.2", "USB", "1") + net("c", "7.3", " SSB", "1") +
             net("d", "7.4", "SSB", "1"),
         {{"d", "7.4", "SSB", "1"}}},
        {"most subscribers first, ties in reply order, counts that are not numbers before all",
         net("a", "1", "SSB", "12") + net("b", "2", "SSB", "40") + net("c", "3", "SSB", " 5") +
             net("d", "4", "SSB", "12") + net("e", "5", "SSB", "") + net("f", "6", "SSB", "-3"),
         {{"c", "3", "SSB", " 5"},
          {"e", "5", "SSB", ""},
          {"b", "2", "SSB", "40"},
          {"a", "1", "SSB", "12"},
          {"d", "4", "SSB", "12"},
          {"f", "6", "SSB", "-3"}}},
        {"frequency keeps digits and points",
         net("a", "14.300 MHz", "SSB", "1") + net("b", "7,185", "SSB", "1"),
         {{"a", "14.300", "SSB", "1"}, {"b", "7185", "SSB", "1"}}},
        {"the whole document on one line gives at most one row",
         QString(net("a", "1", "SSB", "2") + net("b", "2", "SSB", "3")).replace('\n', ' '),
         {{"a", "1", "SSB", "2"}}},
        {"a value split across lines adds nothing and pairing stays by position",
         "<NetName>\nx</NetName>\n" + net("a", "1", "SSB", "2").remove("<NetName>a</NetName>") +
             net("b", "2", "SSB", "3"),
         {{"b", "1", "SSB", "2"}}},
        {"CRLF line ends do no harm",
         net("a", "1", "SSB", "2").replace("\n", "\r\n"),
         {{"a", "1", "SSB", "2"}}},
        {"an error page gives nothing", "<html><body>500 Internal Server Error</body></html>", {}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(parseNetLoggerNets(c.reply), c.expected) << c.what;
}

TEST(NetsDirectory, PairsSevenTagsInReplyOrder) {
    auto entry = [](const QString& name, bool withUrl) {
        return "<NetName>" + name + "</NetName>\n<Frequency>7.185 MHz</Frequency>\n" +
               "<UTC>1300</UTC>\n<Mode>LSB</Mode>\n" +
               (withUrl ? "<URL>https://n.example/" + name + "</URL>\n" : QString()) +
               "<Confirmed>0</Confirmed>\n<NetID>id-" + name + "</NetID>\n";
    };
    EXPECT_EQ(parseNetsDirectory(entry("B", true) + entry("A", true)),
              Rows({{"B", "7.185", "1300", "LSB", "https://n.example/B", "0", "id-B"},
                    {"A", "7.185", "1300", "LSB", "https://n.example/A", "0", "id-A"}}));
    // Without B's URL line, A's URL moves up to B and A gets no row.
    EXPECT_EQ(parseNetsDirectory(entry("B", false) + entry("A", true)),
              Rows({{"B", "7.185", "1300", "LSB", "https://n.example/A", "0", "id-B"}}));
}

TEST(MWStations, PairsFiveTagsInReplyOrder) {
    const QString reply = "<MW>\n<Station>WBBB</Station>\n<Frequency>1060 kHz</Frequency>\n"
                          "<City>Town</City>\n<Power>50kW</Power>\n<URL>u1</URL>\n"
                          "<Station>WAAA</Station>\n<Frequency>540</Frequency>\n"
                          "<City>City</City>\n<Power>5kW</Power>\n<URL>u2</URL>\n</MW>";
    EXPECT_EQ(parseMWStations(reply),
              Rows({{"WBBB", "1060", "Town", "50kW", "u1"}, {"WAAA", "540", "City", "5kW", "u2"}}));
}

} // namespace
