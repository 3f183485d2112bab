#include "feeds/spotfeeds.h"
#include "session/listfilter.h"
#include "session/liststatus.h"
#include "session/watchlist.h"
#include "testing.h"

#include <QTimeZone>

using namespace session;

const QDateTime kNow(QDate(2024, 12, 1), QTime(0, 0), QTimeZone::utc());

TEST(Bands, EdgesAndModeClasses) {
    const std::vector<std::pair<qint64, Band>> bands{
        {1'799'999, Band::Any},  {1'800'000, Band::M160},  {3'999'999, Band::M80},
        {7'300'000, Band::M40},  {7'300'001, Band::Any},   {10'136'000, Band::M30},
        {14'074'000, Band::M20}, {18'100'000, Band::M17},  {28'074'000, Band::M10},
        {50'313'000, Band::M6},  {144'174'000, Band::Any}, {0, Band::Any}};
    for (const auto& [hertz, band] : bands)
        EXPECT_EQ(bandOf(hertz), band) << hertz;
    const std::vector<std::pair<QString, ModeClass>> modes{
        {"CW", ModeClass::CW},     {"usb", ModeClass::SSB},  {"SSB", ModeClass::SSB},
        {"FT8", ModeClass::FT8},   {"FT4", ModeClass::FT4},  {"RTTY", ModeClass::Data},
        {"DATA", ModeClass::Data}, {"AM", ModeClass::Other}, {"", ModeClass::Other}};
    for (const auto& [mode, modeClass] : modes)
        EXPECT_EQ(modeClassOf(mode), modeClass) << mode.toStdString();
    FilterSettings stored{Band::M20, ModeClass::CW, "a;b", true};
    EXPECT_EQ(FilterSettings::fromText(stored.toText()), stored);
    stored.hideWorked = true;
    EXPECT_EQ(FilterSettings::fromText(stored.toText()), stored);
    EXPECT_EQ(FilterSettings::fromText("99;x"), FilterSettings{});
}

// The sentences a screen reader is told after a filter change or a load the operator asked for.
TEST(Sentences, SayWhatIsLeftAndWhatLoaded) {
    using core::ListKind;
    const std::pair<QString, const char*> said[] = {
        {filterSentence({Band::M20, ModeClass::Any, "", false}, 12, rowWords(ListKind::Pota, 54)),
         "20 metres: 12 of 54 spots"},
        {filterSentence({Band::M160, ModeClass::CW, "k1", true}, 1, rowWords(ListKind::Sota, 1)),
         "160 metres, CW, “k1”, newest per activator: 1 of 1 spot"},
        {filterSentence({}, 3, rowWords(ListKind::MW, 3)), "All bands: 3 of 3 stations"},
        {logStatusText(12, 3, "Deleted K1ABC"),
         "12 contacts, 3 hidden by the filter. Deleted K1ABC"},
        {logStatusText(1, 0), "1 contact"},
        {loadSentence(ListKind::NetLogger, 0, ""), "NetLogger: 0 nets"},
        {loadSentence(ListKind::Pota, 0, "no reply from api.pota.app within 2 s"),
         "POTA did not load: no reply from api.pota.app within 2 s"}};
    for (const auto& [sentence, expected] : said)
        EXPECT_EQ(sentence, QString::fromUtf8(expected));
}

// Over the real POTA capture (54 spots on every band, plus one older spot of its first activator):
// each filter hides what it should and keeps the list's own order.
TEST(ListFilter, HidesRowsOfTheRealCapture) {
    TypedListModel<core::PotaSpot> model{core::ServiceHosts{}};
    QList<core::PotaSpot> rows =
        feeds::parsePotaSpots(fixture("pota-activator-spots.json"), kNow).rows;
    ASSERT_EQ(rows.size(), 54);
    // An older spot of the first activator at the same park, on another band.
    core::PotaSpot older = rows[0];
    older.age = "999";
    older.frequency = "7074";
    rows.append(older);
    model.setRows(rows);
    ListFilter filter(&model);
    const auto shown = [&](const FilterSettings& settings) {
        filter.setSettings(settings);
        QStringList activators;
        for (int row = 0; row < filter.rowCount(); ++row)
            activators << model.facts(filter.sourceRow(row)).activator;
        return activators;
    };
    EXPECT_EQ(shown({}).size(), 55);
    const QStringList twenty = shown({Band::M20, ModeClass::Any, {}, false});
    for (int row = 0; row < filter.rowCount(); ++row)
        EXPECT_EQ(bandOf(model.facts(filter.sourceRow(row)).hertz), Band::M20);
    EXPECT_EQ(filter.hiddenRows(), 55 - twenty.size());
    EXPECT_GT(twenty.size(), 5);
    for (int row = 1; row < filter.rowCount(); ++row)
        EXPECT_LT(filter.sourceRow(row - 1), filter.sourceRow(row)) << "the list's own order";
    const QStringList cw = shown({Band::Any, ModeClass::CW, {}, false});
    EXPECT_FALSE(cw.isEmpty());
    for (int row = 0; row < filter.rowCount(); ++row)
        EXPECT_EQ(model.facts(filter.sourceRow(row)).mode, "CW");
    EXPECT_EQ(shown({Band::Any, ModeClass::Any, "jq2dux", false}),
              (QStringList{"JQ2DUX/2", "JQ2DUX/2"}));
    EXPECT_EQ(shown({Band::Any, ModeClass::Any, "craig mountain", false}).size(), 1)
        << "park names too";
    // One row per activator and park: the capture spots some of them more than once.
    const QStringList single = shown({Band::Any, ModeClass::Any, {}, true});
    EXPECT_EQ(single.size(), 54);
    EXPECT_EQ(filter.sourceRow(0), 0) << "the newer spot stays";
    // Hiding what was worked today follows the marks as they change.
    FilterSettings hideWorked;
    hideWorked.hideWorked = true;
    EXPECT_EQ(shown(hideWorked).size(), 55);
    std::vector<RowMark> marks(55);
    marks[3] = {"Worked", "worked today"};
    marks[4] = {"New", "new park"};
    model.setMarks(marks);
    EXPECT_EQ(filter.rowCount(), 54);
    EXPECT_FALSE(shown(hideWorked).contains(model.facts(3).activator));
    model.setRows({});
    EXPECT_EQ(filter.rowCount(), 0);
}

TEST(WatchList, MatchesCallsignsAndReferencesWithWildcards) {
    const std::vector<std::tuple<const char*, const char*, bool>> cases{
        {"K-*", "K-1234", true},       {"W7O/*", "W7O/WV-096", true}, {"N0CALL*", "n0call/p", true},
        {"N0CALL", "N0CALL/P", false}, {"*/P", "DL1ABC/P", true},     {"K*4", "K-1234", true},
        {"K*5", "K-1234", false},      {"", "K1ABC", false},          {"**", "", true}};
    for (const auto& [pattern, text, match] : cases)
        EXPECT_EQ(WatchList::globMatch(QString::fromUtf8(pattern), QString::fromUtf8(text)), match)
            << pattern << " " << text;
    EXPECT_EQ(WatchList::fromText("k-*, w7o/*\n  N0CALL*").patterns(),
              (QStringList{"K-*", "W7O/*", "N0CALL*"}));
}

// The legacy SOTA feed sends a summit's association apart from its code; the watch list matches
// the whole reference, as it does for the other sources, and the row keeps the code as sent.
TEST(WatchList, MatchesTheWholeSummitReferenceOfLegacySotaRows) {
    const QList<core::SotaSpot> rows = feeds::parseSotaSpots(fixture("sota-spots.json"), kNow).rows;
    ASSERT_FALSE(rows.isEmpty());
    EXPECT_EQ(core::columns(rows[0]).value(5), "GM-084");
    for (const auto& [pattern, match] :
         {std::pair{"JA/*", true}, {"ja/gm-084", true}, {"GM-084", false}, {"W7O/*", false}})
        EXPECT_EQ(WatchList({pattern}).matches(factsOf(rows[0])), match) << pattern;
}
