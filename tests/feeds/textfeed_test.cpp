#include "feeds/textfeed.h"

#include "fixture.h"

#include <gtest/gtest.h>

#include <limits>
#include <vector>

using namespace feeds;

namespace {

Rows table(std::initializer_list<QStringList> rows) {
    return Rows(rows);
}

TEST(ScanTag, CutsTheValueOutOfOneLine) {
    struct Case {
        QString line;
        QString tag;
        std::optional<QString> expected;
    };
    const std::vector<Case> cases = {
        {"<NetName>Foo</NetName>", "NetName", "Foo"},
        {"  <NetName> A &amp; B </NetName>\r", "NetName", " A &amp; B "},
        {"<NetName></NetName>", "NetName", ""},
        {"<NetName>Foo", "NetName", std::nullopt},
        {"Foo</NetName>", "NetName", std::nullopt},
        {"</NetName>Foo<NetName>", "NetName", std::nullopt},
        {"<NetName>A</NetName><NetName>B</NetName>", "NetName", "A"},
        {"<netname>a</netname>", "NetName", std::nullopt},
        {"<NetName id=\"1\">A</NetName>", "NetName", std::nullopt},
        {"<NetName>A</NetName", "NetName", std::nullopt},
        {"<Mode>SSB</Mode><NetName>N</NetName>", "NetName", "N"},
        {"<Frequency>7.2</Frequency>", "Freq", std::nullopt},
        {"<Net><NetName>x</NetName></Net>", "Net", "<NetName>x</NetName>"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(scanTag(c.line, c.tag), c.expected) << c.line.toStdString();
}

TEST(KeepCharacters, KeepsOnlyAllowedCharactersInOrder) {
    const QString digits = QStringLiteral("0123456789.");
    const std::vector<std::pair<QString, QString>> cases = {
        {"14.300 MHz", "14.300"}, {"7,185", "7185"},    {"REF056B", "056"}, {"", ""},
        {"\uFF11\uFF14", ""},     {"1060 kHz", "1060"},
    };
    for (const auto& [text, kept] : cases)
        EXPECT_EQ(keepCharacters(text, digits), kept) << text.toStdString();
}

TEST(ParseWholeNumber, AcceptsSignAndAsciiDigitsThatFit) {
    constexpr qint64 kMax = std::numeric_limits<qint64>::max();
    constexpr qint64 kMin = std::numeric_limits<qint64>::min();
    const std::vector<std::pair<QString, std::optional<qint64>>> cases = {
        {"12", 12},
        {"-5", -5},
        {"+7", 7},
        {"00012", 12},
        {"9223372036854775807", kMax},
        {"-9223372036854775808", kMin},
        {"9223372036854775808", std::nullopt},
        {"-9223372036854775809", std::nullopt},
        {"99999999999999999999", std::nullopt},
        {"", std::nullopt},
        {"-", std::nullopt},
        {"+-1", std::nullopt},
        {" 1", std::nullopt},
        {"1 ", std::nullopt},
        {"1.0", std::nullopt},
        {"\u0663", std::nullopt}, // an Arabic-Indic digit is not an ASCII digit
    };
    for (const auto& [text, value] : cases)
        EXPECT_EQ(parseWholeNumber(text), value) << text.toStdString();
}

TEST(DecodeFeedText, ReplacesInvalidSequencesInsteadOfDroppingText) {
    EXPECT_EQ(decodeFeedText("Caf\xC3\xA9 \xFF!"), QStringLiteral("Caf\u00E9 \uFFFD!"));
    EXPECT_TRUE(decodeFeedText("end \xE2\x82").startsWith(QStringLiteral("end \uFFFD")));

    const Rows rows = parseNetLoggerNets(decodeFeedText("<NetName>Caf\xE9 Net</NetName>\n"
                                                        "<Frequency>7.2</Frequency>\n"
                                                        "<Mode>SSB</Mode>\n"
                                                        "<SubscriberCount>3</SubscriberCount>\n"));
    ASSERT_EQ(rows.size(), 1);
    EXPECT_EQ(rows[0][0], QStringLiteral("Caf\uFFFD Net"));
}

TEST(NetLoggerNets, CaptureKeepsSsbNetsByDescendingSubscribers) {
    const Rows rows = parseNetLoggerNets(decodeFeedText(readFixture("netlogger-active-nets.xml")));
    EXPECT_EQ(rows, table({
                        {"NATA 40m Net", "7.187", "SSB", "39"},
                        {"WOLVERINE SINGLE SIDEBAND NET!", "3.935", "SSB", "18"},
                        {"The Maine Potato Net", "3.958", "SSB", "16"},
                        {"MOONLIGHTERS", "7.279", "SSB", "13"},
                        {"3905 40m SSB Early Net", "7.2675", "SSB", "10"},
                        {"Thursday night 10 meter net", "28.310", "SSB", "2"},
                        {"YLSYSTEM 40 METER EC SESSION", "7244", "SSB", "1"},
                    }));
}

QString net(const QString& name, const QString& frequency, const QString& mode,
            const QString& count) {
    return "<Net>\n<NetName>" + name + "</NetName>\n<Frequency>" + frequency +
           "</Frequency>\n<Mode>" + mode + "</Mode>\n<SubscriberCount>" + count +
           "</SubscriberCount>\n</Net>\n";
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
         table({{"d", "7.4", "SSB", "1"}})},
        {"most subscribers first, ties in reply order",
         net("a", "1", "SSB", "12") + net("b", "2", "SSB", "40") + net("c", "3", "SSB", "7") +
             net("d", "4", "SSB", "12"),
         table({{"b", "2", "SSB", "40"},
                {"a", "1", "SSB", "12"},
                {"d", "4", "SSB", "12"},
                {"c", "3", "SSB", "7"}})},
        {"counts that are not numbers come first",
         net("a", "1", "SSB", "12") + net("b", "2", "SSB", "") + net("c", "3", "SSB", " 5") +
             net("d", "4", "SSB", "-3"),
         table({{"b", "2", "SSB", ""},
                {"c", "3", "SSB", " 5"},
                {"a", "1", "SSB", "12"},
                {"d", "4", "SSB", "-3"}})},
        {"frequency keeps digits and points",
         net("a", "14.300 MHz", "SSB", "1") + net("b", "7,185", "SSB", "1"),
         table({{"a", "14.300", "SSB", "1"}, {"b", "7185", "SSB", "1"}})},
        {"the whole document on one line gives at most one row",
         QString(net("a", "1", "SSB", "2") + net("b", "2", "SSB", "3")).replace('\n', ' '),
         table({{"a", "1", "SSB", "2"}})},
        {"a value split across lines adds nothing and pairing stays by position",
         "<NetName>\nx</NetName>\n" + net("a", "1", "SSB", "2").remove("<NetName>a</NetName>") +
             net("b", "2", "SSB", "3"),
         table({{"b", "1", "SSB", "2"}})},
        {"CRLF line ends do no harm", net("a", "1", "SSB", "2").replace("\n", "\r\n"),
         table({{"a", "1", "SSB", "2"}})},
        {"an error page gives nothing", "<html><body>500 Internal Server Error</body></html>", {}},
        {"empty reply", "", {}},
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
              table({{"B", "7.185", "1300", "LSB", "https://n.example/B", "0", "id-B"},
                     {"A", "7.185", "1300", "LSB", "https://n.example/A", "0", "id-A"}}));
    // Without B's URL line, A's URL moves up to B and A gets no row.
    EXPECT_EQ(parseNetsDirectory(entry("B", false) + entry("A", true)),
              table({{"B", "7.185", "1300", "LSB", "https://n.example/A", "0", "id-B"}}));
}

TEST(MWStations, PairsFiveTagsInReplyOrder) {
    const QString reply = "<MW>\n<Station>WBBB</Station>\n<Frequency>1060 kHz</Frequency>\n"
                          "<City>Town</City>\n<Power>50kW</Power>\n<URL>u1</URL>\n"
                          "<Station>WAAA</Station>\n<Frequency>540</Frequency>\n"
                          "<City>City</City>\n<Power>5kW</Power>\n<URL>u2</URL>\n</MW>";
    EXPECT_EQ(parseMWStations(reply), table({{"WBBB", "1060", "Town", "50kW", "u1"},
                                             {"WAAA", "540", "City", "5kW", "u2"}}));
}

} // namespace
