#include "conditions/bandconditions.h"
#include "conditions/updatenotice.h"

#include "loopbackserver.h"
#include "testing.h"

#include <QNetworkAccessManager>

using namespace conditions;

// A reply of `count` lines, each "<x>N</x>" with N its line number, so a value shows its line.
static QByteArray numberedLines(int count) {
    QByteArray body;
    for (int i = 0; i < count; ++i)
        body += "\t<x>" + QByteArray::number(i) + "</x>\n";
    return body;
}

// The slots in the order of the struct, joined by '|'; "no data" for nothing.
static QString slotText(const QByteArray& body) {
    const auto s = cutConditionSlots(body);
    return !s ? QStringLiteral("no data")
              : QStringList{s->title,     s->solarFlux, s->day8040,   s->day3020,
                            s->day1715,   s->day1210,   s->night8040, s->night3020,
                            s->night1715, s->night1210, s->magicBand, s->signalNoise}
                    .join(u'|');
}

// Values come from fixed lines, each cut after its first '>' and before the next '>' or '<'.
// Lines without '>' keep their place in the count and give empty values, tabs anywhere vanish
// and only one CR is dropped from a line end. An empty body or one that is not valid UTF-8
// anywhere, even in one value or in a character cut off at the very end, is no data.
TEST(CutConditionSlots, CapturesAndOddReplies) {
    const QString all = "4|5|20|21|22|23|24|25|26|27|33|37";
    const QByteArray capture = fixture("solarxml.xml");
    const std::pair<QByteArray, QString> cases[] = {
        {capture,
         " 15 Jan 2019 0442 GMT|69|Fair|Poor|Poor|Poor|Good|Poor|Poor|Poor|Band Closed|S1-S2"},
        {QByteArray(capture).replace("\n", "\r\n") + "\r\n",
         " 15 Jan 2019 0442 GMT|69|Fair|Poor|Poor|Poor|Good|Poor|Poor|Poor|Band Closed|S1-S2"},
        {fixture("solarxml-2.xml"),
         " 22 Feb 2020 1034 GMT|71|Fair|Fair|Poor|Poor|Good|Fair|Poor|Poor|Band Closed|S0-S1"},
        {fixture("solarxml-4.xml"),
         " 14 May 2026 1833 GMT|103|Good|Good|Fair|Poor|Good|Good|Fair|Poor|Band Closed|S0-S1"},
        {numberedLines(6), "4|5||||||||||"},
        {numberedLines(3), "|||||||||||"},
        {numberedLines(38), all},
        {numberedLines(43).replace("\n", "\r\n"), all},
        {numberedLines(43).replace("<x>20</x>", "no value here").replace("<x>37</x>", ""),
         "4|5||21|22|23|24|25|26|27|33|"},
        {numberedLines(43).replace("<x>5</x>\n", "<x>\t5\t</x>\r\r\n"), all},
        {numberedLines(38)
             .replace("<x>4</x>", "<updated> 15 Jan")
             .replace("<x>5</x>", "<a>cut<b>more")
             .replace("<x>20</x>", "<a>up to>here"),
         " 15 Jan|cut|up to|21|22|23|24|25|26|27|33|37"},
        {"\xef\xbb\xbf<x>Good</x>\n\xe2\x82\xac", "|||||||||||"},
        {"", "no data"},
        {QByteArray(capture).replace("Fair", "F\xc3ir"), "no data"},
        {"\xff\xfe<x>Good</x>\n", "no data"},
        {"<x>Good</x>\n\xe2\x82", "no data"},
    };
    for (const auto& [body, values] : cases)
        EXPECT_EQ(slotText(body), values) << body.left(60).toHex().toStdString();
}

TEST(PanelView, ColourRules) {
    // Every slot's text, then the colours of the bands and of the noise, and the magic band.
    const std::tuple<const char*, Colour, Colour, const char*, Colour> cases[] = {
        {"Good", Colour::Green, Colour::Red, "Open", Colour::Green},
        {"Fair", Colour::Orange, Colour::Red, "Open", Colour::Green},
        {"good", Colour::Red, Colour::Red, "Open", Colour::Green},
        {"", Colour::Red, Colour::Red, "Open", Colour::Green},
        {"S0-S1", Colour::Red, Colour::Green, "Open", Colour::Green},
        {"S2-S3", Colour::Red, Colour::Red, "Open", Colour::Green},
        {"Band Closed", Colour::Red, Colour::Red, "Closed", Colour::Red},
        {"band closed", Colour::Red, Colour::Red, "Open", Colour::Green},
    };
    for (const auto& [value, band, noise, magicText, magic] : cases) {
        const QString v = QString::fromUtf8(value), condition = colourName(band);
        const PanelView view = panelView(ConditionSlots{"t", v, v, v, v, v, v, v, v, v, v, v});
        QStringList texts, colours;
        for (const FieldView& f : view.fields)
            texts << f.text, colours << colourName(f.colour);
        EXPECT_EQ(view.title, "Band Conditions - t");
        EXPECT_EQ(texts, QStringList(10, v) << magicText) << value;
        // The solar flux is green whatever it holds.
        EXPECT_EQ(colours, QStringList({"green", condition, condition, condition, condition,
                                        condition, condition, condition, condition,
                                        colourName(noise), colourName(magic)}))
            << value;
    }
    // Without data the panel is blank, not bad conditions or an open magic band.
    for (const FieldView& f : panelView(std::nullopt).fields)
        EXPECT_TRUE(f.text.isEmpty() && f.colour == Colour::Normal) << f.name.toStdString();
}

// What arrived by the deadline is shown once; an error page, whose lines would otherwise read as
// conditions, shows the blank panel.
TEST(ConditionsFetcher, ShowsWhatArrivedByTheDeadline) {
    const QByteArray body = fixture("solarxml-2.xml");
    LoopbackServer server;
    QNetworkAccessManager nam;
    ConditionsFetcher fetcher(&nam);
    fetcher.setDeadlineMs(200);
    QSignalSpy shown(&fetcher, &ConditionsFetcher::shown);
    for (const auto& [response, view] :
         {std::pair{LoopbackServer::Response{200, body}, panelView(cutConditionSlots(body))},
          {{500, numberedLines(43)}, panelView(std::nullopt)}}) {
        shown.clear();
        server.route("/solarxml.php", response);
        fetcher.start(server.baseUrl());
        ASSERT_TRUE(shown.wait(3000));
        EXPECT_EQ(shown[0][0].value<PanelView>(), view);
    }
    EXPECT_EQ(server.count("/solarxml.php"), 2);
}

TEST(UpdateNotice, OnlyShortVersionTextsAndOnlyAnotherVersion) {
    const std::pair<QByteArray, QString> valid[] = {
        {"  0.94\r\n", "0.94"},
        {QByteArray("\xEF\xBB\xBF") + "1.0-beta2\n", "1.0-beta2"},
        {"1234567890123456", "1234567890123456"},
    };
    for (const auto& [body, version] : valid)
        EXPECT_EQ(parsePublishedVersion(body), version) << body.toStdString();
    // The first one has 17 characters.
    for (const QByteArray body :
         {"12345678901234567", "", " \n", "v0.94", "0.94 beta", "0.94\n0.95", "0.9\xc3\xa9",
          "<html><body>Not Found</body></html>"})
        EXPECT_EQ(parsePublishedVersion(body), std::nullopt) << body.toStdString();
    EXPECT_EQ(parsePublishedVersion(QByteArray("0.9\0", 4)), std::nullopt);
    // The alert is raised where the texts differ, not by their order.
    EXPECT_FALSE(updateAlert(kVersion, kVersion));
    EXPECT_FALSE(updateAlert(kVersion, QString()));
    EXPECT_TRUE(updateAlert(kVersion, kVersion + "0"));
    EXPECT_TRUE(updateAlert(kVersion, QStringLiteral("0.01")));
}

TEST(VersionFetcher, PublishedVersionOrTheRunningOne) {
    LoopbackServer server;
    const std::pair<LoopbackServer::Response, QString> cases[] = {
        {{200, "0.94\n"}, "0.94"},
        {{404, "0.95"}, kVersion},
        {{200, "0.94" + QByteArray(64 * 1024, ' ')}, kVersion}, // too large to be a version
    };
    for (const auto& [response, version] : cases) {
        SCOPED_TRACE(response.body.left(20).toStdString());
        server.route("/bandhopper/version.txt", response);
        QNetworkAccessManager nam;
        VersionFetcher fetcher(&nam);
        QSignalSpy finished(&fetcher, &VersionFetcher::finished);
        QSignalSpy diagnostics(&fetcher, &VersionFetcher::diagnostic);
        fetcher.start(server.baseUrl());
        ASSERT_TRUE(finished.wait(5000));
        EXPECT_EQ(finished[0][0].toString(), version);
        EXPECT_EQ(diagnostics.size(), version == kVersion ? 1 : 0);
    }
}
