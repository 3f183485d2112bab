#include "conditions/bandconditions.h"

#include "loopbackserver.h"
#include "waitfor.h"

#include <QFile>
#include <QNetworkAccessManager>

#include <gtest/gtest.h>

#include <vector>

using namespace conditions;

namespace conditions {
void PrintTo(const ConditionSlots& s, std::ostream* os) {
    *os << QStringList({s.title, s.solarFlux, s.day8040, s.day3020, s.day1715, s.day1210,
                        s.night8040, s.night3020, s.night1715, s.night1210, s.magicBand,
                        s.signalNoise})
               .join(u'|')
               .toStdString();
}
} // namespace conditions

namespace {

QByteArray capture(const char* name) {
    QFile file(QStringLiteral(BH_FIXTURES_DIR "/") + QLatin1String(name));
    if (!file.open(QIODevice::ReadOnly))
        ADD_FAILURE() << "missing fixture " << name;
    return file.readAll();
}

QByteArray withCrlf(QByteArray body) {
    return body.replace("\n", "\r\n");
}

// A reply of `count` lines, each "<x>N</x>" with N its line number, so a value shows its line.
QByteArray numberedLines(int count) {
    QByteArray body;
    for (int i = 0; i < count; ++i)
        body += "\t<x>" + QByteArray::number(i) + "</x>\n";
    return body;
}

struct CaptureCase {
    const char* file;
    ConditionSlots values;
};

const CaptureCase kCaptures[] = {
    {"solarxml.xml",
     {" 15 Jan 2019 0442 GMT", "69", "Fair", "Poor", "Poor", "Poor", "Good", "Poor", "Poor", "Poor",
      "Band Closed", "S1-S2"}},
    {"solarxml-2.xml",
     {" 22 Feb 2020 1034 GMT", "71", "Fair", "Fair", "Poor", "Poor", "Good", "Fair", "Poor", "Poor",
      "Band Closed", "S0-S1"}},
    {"solarxml-4.xml",
     {" 14 May 2026 1833 GMT", "103", "Good", "Good", "Fair", "Poor", "Good", "Good", "Fair",
      "Poor", "Band Closed", "S0-S1"}},
};

TEST(CutConditionSlots, RealCapturesWithBareLfAndCrlf) {
    for (const CaptureCase& c : kCaptures) {
        SCOPED_TRACE(c.file);
        const QByteArray body = capture(c.file);
        EXPECT_EQ(cutConditionSlots(body), c.values);
        EXPECT_EQ(cutConditionSlots(withCrlf(body)), c.values);
        EXPECT_EQ(cutConditionSlots(withCrlf(body) + "\r\n"), c.values);
    }
}

TEST(LineValue, TwoCuts) {
    const struct {
        const char* line;
        const char* value;
    } cases[] = {
        {"<solarflux>69</solarflux>", "69"},
        {"<band name=\"80m-40m\" time=\"day\">Good</band>", "Good"},
        {"<updated> 15 Jan", " 15 Jan"},  // no second '>': to the end of the line
        {"<a>up to>here", "up to"},       // no '<' after the first '>'
        {"<a>cut<here>more", "cut"},      // both cuts
        {"no angle brackets at all", ""}, // the empty last line or a stray text line
        {">", ""},
    };
    for (const auto& c : cases)
        EXPECT_EQ(lineValue(QString::fromUtf8(c.line)), QString::fromUtf8(c.value)) << c.line;
}

// An empty body or one that is not valid UTF-8 anywhere, even in one value or in a character
// cut off at the very end, is no data.
TEST(CutConditionSlots, NoDataGivesNothing) {
    QByteArray broken = capture("solarxml.xml");
    broken.replace("Fair", "F\xc3ir");
    for (const QByteArray& body : {QByteArray(), broken, QByteArray("\xff\xfe<x>Good</x>\n"),
                                   QByteArray("<x>Good</x>\n\xe2\x82")})
        EXPECT_FALSE(cutConditionSlots(body)) << body.left(40).toHex().toStdString();
    EXPECT_TRUE(cutConditionSlots("\xef\xbb\xbf<x>Good</x>\n\xe2\x82\xac"));
}

TEST(CutConditionSlots, ShortAndOddReplies) {
    ConditionSlots headOnly;
    headOnly.title = "4";
    headOnly.solarFlux = "5";
    EXPECT_EQ(cutConditionSlots(numberedLines(6)), headOnly);
    EXPECT_EQ(cutConditionSlots(numberedLines(3)), ConditionSlots{});

    ConditionSlots all{"4", "5", "20", "21", "22", "23", "24", "25", "26", "27", "33", "37"};
    EXPECT_EQ(cutConditionSlots(numberedLines(38)), all);
    EXPECT_EQ(cutConditionSlots(withCrlf(numberedLines(43))), all);

    // Lines without '>' keep their place in the count and give empty values.
    QByteArray gaps = numberedLines(43);
    gaps.replace("<x>20</x>", "no value here").replace("<x>37</x>", "");
    ConditionSlots gapped = all;
    gapped.day8040.clear();
    gapped.signalNoise.clear();
    EXPECT_EQ(cutConditionSlots(gaps), gapped);

    // Tabs anywhere vanish; only one CR is dropped from a line end.
    QByteArray padded = numberedLines(43);
    padded.replace("<x>5</x>\n", "<x>\t5\t</x>\r\r\n");
    const auto values = cutConditionSlots(padded);
    ASSERT_TRUE(values);
    EXPECT_EQ(values->solarFlux, "5");
    EXPECT_EQ(values->day8040, "20");
}

TEST(PanelView, ColourRules) {
    const struct {
        const char* value;
        Colour condition;
        Colour noise;
        const char* magicText;
        Colour magic;
    } cases[] = {
        {"Good", Colour::Green, Colour::Red, "Open", Colour::Green},
        {"Fair", Colour::Orange, Colour::Red, "Open", Colour::Green},
        {"good", Colour::Red, Colour::Red, "Open", Colour::Green},
        {"", Colour::Red, Colour::Red, "Open", Colour::Green},
        {"S0-S1", Colour::Red, Colour::Green, "Open", Colour::Green},
        {"S2-S3", Colour::Red, Colour::Red, "Open", Colour::Green},
        {"Band Closed", Colour::Red, Colour::Red, "Closed", Colour::Red},
        {"band closed", Colour::Red, Colour::Red, "Open", Colour::Green},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.value);
        const QString v = QString::fromUtf8(c.value);
        const PanelView view = panelView(ConditionSlots{"t", v, v, v, v, v, v, v, v, v, v, v});
        EXPECT_EQ(view.title, "Band Conditions - t");
        ASSERT_EQ(view.fields.size(), 11);
        EXPECT_EQ(view.fields[0].colour, Colour::Green); // solar flux, whatever it holds
        for (int i = 1; i <= 8; ++i) {
            EXPECT_EQ(view.fields[i].text, v);
            EXPECT_EQ(view.fields[i].colour, c.condition) << view.fields[i].name.toStdString();
        }
        EXPECT_EQ(view.fields[9].text, v);
        EXPECT_EQ(view.fields[9].colour, c.noise);
        EXPECT_EQ(view.fields[10].text, c.magicText);
        EXPECT_EQ(view.fields[10].colour, c.magic);
    }
}

TEST(PanelView, NoDataIsBlankNotBad) {
    const PanelView view = panelView(std::nullopt);
    EXPECT_EQ(view.title, "Band Conditions - ");
    QStringList names;
    for (const FieldView& f : view.fields) {
        names << f.name;
        EXPECT_EQ(f.text, "") << f.name.toStdString();
        EXPECT_EQ(f.colour, Colour::Normal) << f.name.toStdString();
    }
    EXPECT_EQ(names,
              QStringList({"solarFlux", "day8040", "day3020", "day1715", "day1210", "night8040",
                           "night3020", "night1715", "night1210", "signalNoise", "magicBand"}));
}

// A reply shows at the deadline; an error page (whose lines would otherwise read as conditions)
// and a reply after the deadline show the blank panel, and nothing more comes later.
TEST(ConditionsFetcher, ShowsWhatArrivedByTheDeadline) {
    const QByteArray body = capture("solarxml-2.xml");
    LoopbackServer::Response late{200, body, "text/xml"};
    late.delayMs = 800;
    const std::vector<std::pair<LoopbackServer::Response, PanelView>> cases = {
        {{200, body, "text/xml"}, panelView(cutConditionSlots(body))},
        {{500, numberedLines(43)}, panelView(std::nullopt)},
        {late, panelView(std::nullopt)},
    };
    for (const auto& [response, view] : cases) {
        LoopbackServer server;
        ASSERT_TRUE(server.listen());
        server.route("/solarxml.php", response);
        QNetworkAccessManager nam;
        ConditionsFetcher fetcher(&nam);
        QList<PanelView> shown;
        QObject::connect(&fetcher, &ConditionsFetcher::shown,
                         [&](const PanelView& each) { shown.append(each); });
        fetcher.setDeadlineMs(400);
        fetcher.start(server.baseUrl());
        ASSERT_TRUE(waitFor([&] { return !shown.isEmpty(); }, 3000));
        settle(700);
        EXPECT_EQ(shown, QList<PanelView>{view});
        EXPECT_EQ(server.count("/solarxml.php"), 1);
    }
}

} // namespace
