#include "printers.h"
#include "ui/cells.h"

#include <gtest/gtest.h>
#include <limits>

using feeds::ListKind;
using feeds::Row;

namespace {

const Row potaRow{"KN4AL", "14272",   "SSB",      "cq pota", "Three Rivers State Game Land",
                  "12",    "41.8694", "-85.7444", "US-MI",   "US-6795"};
const Row sotaRow{"7N1FRE/1",          "KAZ",   "21.062",   "cw", "qrv now", "JA/GM-084",
                  "Higashimikaboyama", "1246m", "8 points", "5"};
const Row netLoggerRow{"MOONLIGHTERS", "7.279", "SSB", "12"};
const Row netsRow{"Night Owls", "3.940", "0300", "LSB", "https://nets.example/owls", "Yes", "42"};
const Row mwRow{"WABC", "770", "New York", "50", "https://wabc.example/"};

Row with(Row row, int column, const QString& value) {
    row[column] = value;
    return row;
}

struct CellCase {
    ListKind list;
    const char* identifier;
    Row row;
    QString text;
    QString link = {}; // empty: the cell must not be linked
};

constexpr Qt::Alignment left = Qt::AlignLeft | Qt::AlignVCenter;
constexpr Qt::Alignment right = Qt::AlignRight | Qt::AlignVCenter;

TEST(CellFor, ShowsEveryColumnOfEveryList) {
    const QString map = "https://maps.google.com/?q=41.8694,-85.7444&ll=41.8694,-85.7444&z=5";
    const std::vector<CellCase> cases{
        {ListKind::Pota, "tune", potaRow, ""},
        {ListKind::Pota, "activator", potaRow, "KN4AL"},
        {ListKind::Pota, "frequency", potaRow, "14272.0"},
        {ListKind::Pota, "frequency", with(potaRow, 1, "14074"), "14074.0"},
        {ListKind::Pota, "frequency", with(potaRow, 1, "14043.5"), "14043.5"},
        {ListKind::Pota, "frequency", with(potaRow, 1, "+7.25e1"), "72.5"},
        {ListKind::Pota, "frequency", with(potaRow, 1, "-3"), "-3.0"},
        {ListKind::Pota, "frequency", with(potaRow, 1, "abc"), "0.0"},
        {ListKind::Pota, "frequency", with(potaRow, 1, ""), "0.0"},
        {ListKind::Pota, "frequency", with(potaRow, 1, " 14074"), "0.0"},
        {ListKind::Pota, "frequency", with(potaRow, 1, "14074 "), "0.0"},
        {ListKind::Pota, "frequency", with(potaRow, 1, "inf"), "0.0"},
        {ListKind::Pota, "frequency", with(potaRow, 1, "nan"), "0.0"},
        {ListKind::Pota, "frequency", with(potaRow, 1, "0x1p4"), "0.0"},
        {ListKind::Pota, "frequency", with(potaRow, 1, "1e99"), "0.0"},
        {ListKind::Pota, "mode", potaRow, "SSB"},
        {ListKind::Pota, "comment", potaRow, "cq pota"},
        {ListKind::Pota, "name", potaRow, "Three Rivers State Game Land", map},
        {ListKind::Pota, "last", potaRow, "12 min"},
        {ListKind::Pota, "last", with(potaRow, 5, "-1"), "-1 min"},
        {ListKind::Pota, "last", with(potaRow, 5, ""), ""},
        {ListKind::Pota, "location", potaRow, "US-MI"},
        {ListKind::Pota, "reference", potaRow, "US-6795", "https://pota.app/#/park/US-6795"},
        {ListKind::Pota, "reference", potaRow.mid(0, 9), ""},

        {ListKind::Sota, "tune2", sotaRow, ""},
        {ListKind::Sota, "activator2", sotaRow, "7N1FRE/1"},
        {ListKind::Sota, "activatorName", sotaRow, "Kaz"},
        {ListKind::Sota, "activatorName", with(sotaRow, 1, "JOHN SMITH"), "John Smith"},
        {ListKind::Sota, "activatorName", with(sotaRow, 1, "Not recognised"), "--"},
        {ListKind::Sota, "frequency2", sotaRow, "21062.0"},
        {ListKind::Sota, "frequency2", with(sotaRow, 2, "14.062"), "14062.0"},
        {ListKind::Sota, "frequency2", with(sotaRow, 2, "14.062 "), "0.0"},
        {ListKind::Sota, "frequency2", with(sotaRow, 2, "3e38"), "0.0"},
        {ListKind::Sota, "mode2", sotaRow, "CW"},
        {ListKind::Sota, "comment2", sotaRow, "qrv now"},
        {ListKind::Sota, "name2", sotaRow, "Higashimikaboyama"},
        {ListKind::Sota, "name2", with(sotaRow, 6, "Summit not recognised"), "--"},
        {ListKind::Sota, "last2", sotaRow, "5 min"},
        {ListKind::Sota, "last2", with(sotaRow, 9, ""), ""},
        {ListKind::Sota, "last2", sotaRow.mid(0, 9), " "},
        {ListKind::Sota, "location2", sotaRow, "1246m"},
        {ListKind::Sota, "reference2", sotaRow, "8 points"},

        {ListKind::NetLogger, "tune", netLoggerRow, ""},
        {ListKind::NetLogger, "freq", netLoggerRow, "7279.0"},
        {ListKind::NetLogger, "freq", with(netLoggerRow, 1, "abc"), ""},
        {ListKind::NetLogger, "mode2", netLoggerRow, "SSB"},
        {ListKind::NetLogger, "netName", netLoggerRow, "MOONLIGHTERS"},
        {ListKind::NetLogger, "checkIns", netLoggerRow, "12"},

        {ListKind::Nets, "tune3", netsRow, ""},
        {ListKind::Nets, "confirm", netsRow, ""},
        {ListKind::Nets, "unconfirm", netsRow, ""},
        {ListKind::Nets, "utc", netsRow, "0300"},
        {ListKind::Nets, "freq", netsRow, "3.940"},
        {ListKind::Nets, "mode", netsRow, "LSB"},
        {ListKind::Nets, "confirmed", netsRow, "Yes"},
        {ListKind::Nets, "netName", netsRow, "Night Owls", "https://nets.example/owls"},
        {ListKind::Nets, "netName", with(netsRow, 4, ""), "Night Owls"},

        {ListKind::MW, "tune3", mwRow, ""},
        {ListKind::MW, "station", mwRow, "WABC", "https://wabc.example/"},
        {ListKind::MW, "station", with(mwRow, 4, ""), "WABC"},
        {ListKind::MW, "freq", mwRow, "770"},
        {ListKind::MW, "city", mwRow, "New York"},
        {ListKind::MW, "power", mwRow, "50 kW"},
    };
    for (const CellCase& c : cases) {
        SCOPED_TRACE(QStringLiteral("%1 of %2").arg(c.identifier, c.row.join(u'|')).toStdString());
        const auto cell = ui::cellFor(c.list, QString::fromLatin1(c.identifier), c.row, {});
        ASSERT_TRUE(cell.has_value());
        EXPECT_EQ(cell->text, c.text);
        EXPECT_EQ(cell->linked, !c.link.isEmpty());
        EXPECT_EQ(cell->link, c.link.isEmpty() ? QUrl() : QUrl(c.link));
    }
}

TEST(CellFor, AlignsParkReferencesRight) {
    EXPECT_EQ(ui::cellFor(ListKind::Pota, u"reference", potaRow, {})->alignment, right);
    EXPECT_EQ(ui::cellFor(ListKind::Pota, u"reference", potaRow.mid(0, 9), {})->alignment, right);
    EXPECT_EQ(ui::cellFor(ListKind::MW, u"station", mwRow, {})->alignment, left);
    EXPECT_EQ(ui::cellFor(ListKind::Pota, u"name", potaRow, {})->alignment, left);
}

TEST(CellFor, GivesNoViewForUnknownColumnsAndShortCheckInRows) {
    EXPECT_FALSE(ui::cellFor(ListKind::Pota, u"bogus", potaRow, {}));
    EXPECT_FALSE(ui::cellFor(ListKind::Pota, u"Tune", potaRow, {}));
    EXPECT_FALSE(ui::cellFor(ListKind::Sota, u"tune", sotaRow, {}));
    EXPECT_FALSE(ui::cellFor(ListKind::MW, u"", mwRow, {}));
    EXPECT_FALSE(ui::cellFor(ListKind::NetLogger, u"checkIns", netLoggerRow.mid(0, 3), {}));
}

TEST(CellFor, NeverReadsPastAShortRow) {
    for (ListKind list :
         {ListKind::Pota, ListKind::Sota, ListKind::NetLogger, ListKind::Nets, ListKind::MW}) {
        for (const ui::ColumnSpec& column : ui::columnsFor(list))
            ui::cellFor(list, column.identifier, Row{}, {});
    }
}

TEST(CellFor, LinksOnlyToWebAddresses) {
    const std::vector<std::pair<QString, bool>> addresses{
        {"https://nets.example/owls", true},
        {"http://nets.example", true},
        {"HTTPS://Nets.Example/x", true},
        {"javascript:alert(1)", false},
        {"file:///etc/passwd", false},
        {"ftp://nets.example/", false},
        {"nets.example", false},
        {"http://", false},
        {"mailto:op@nets.example", false},
        {"https://exa mple.com/", false},
    };
    for (const auto& [address, linked] : addresses) {
        SCOPED_TRACE(address.toStdString());
        for (auto [list, row, identifier] :
             {std::tuple{ListKind::Nets, with(netsRow, 4, address), u"netName"},
              std::tuple{ListKind::MW, with(mwRow, 4, address), u"station"}}) {
            const auto cell = ui::cellFor(list, identifier, row, {});
            EXPECT_EQ(cell->linked, linked);
            EXPECT_EQ(cell->link.isEmpty(), !linked);
            EXPECT_EQ(cell->text, row.value(0));
        }
    }
}

TEST(CellFor, BuildsLinksOnTheGivenHosts) {
    feeds::ServiceHosts hosts = feeds::ServiceHosts::allAt(QUrl("http://127.0.0.1:8080"));
    EXPECT_EQ(ui::cellFor(ListKind::Pota, u"reference", with(potaRow, 9, "K-1234"), hosts)->link,
              QUrl("http://127.0.0.1:8080/#/park/K-1234"));
    // A feed text cannot add query items of its own or cut the address short.
    const Row odd = with(with(potaRow, 6, "1&z=20"), 7, "2#x");
    const QUrl map = ui::cellFor(ListKind::Pota, u"name", odd, hosts)->link;
    EXPECT_EQ(map.toString(), "http://127.0.0.1:8080/?q=1%26z%3D20,2%23x&ll=1%26z%3D20,2%23x&z=5");
    EXPECT_TRUE(map.fragment().isEmpty());
    // A host that is not a web host gives no link at all.
    hosts.potaWeb = QUrl("file:///tmp");
    EXPECT_FALSE(ui::cellFor(ListKind::Pota, u"reference", potaRow, hosts)->linked);
}

TEST(ColumnsFor, PutsTuneFirstAndEveryColumnHasAView) {
    for (ListKind list :
         {ListKind::Pota, ListKind::Sota, ListKind::NetLogger, ListKind::Nets, ListKind::MW}) {
        const QList<ui::ColumnSpec> columns = ui::columnsFor(list);
        ASSERT_FALSE(columns.isEmpty());
        EXPECT_EQ(columns.first().kind, ui::CellKind::TuneButton);
        const Row full(feeds::columnCount(list), QStringLiteral("x"));
        for (const ui::ColumnSpec& column : columns) {
            SCOPED_TRACE(column.identifier.toStdString());
            const bool button =
                column.kind != ui::CellKind::Text && column.kind != ui::CellKind::Link;
            EXPECT_EQ(column.title.isEmpty(), button);
            EXPECT_TRUE(ui::cellFor(list, column.identifier, full, {}).has_value());
        }
    }
    EXPECT_EQ(ui::columnsFor(ListKind::Nets).size(), 8);
}

TEST(NetLoggerFrequencyText, ShowsKilohertzWithOneDecimal) {
    const std::vector<std::pair<QString, QString>> cases{
        {"14290", "14290.0"}, {"7.2", "7200.0"},   {"3573.5", "3573.5"},
        {"7188", "7188.0"},   {"145.5", "0145.5"}, {"70", "70000.0"},
        {"70.001", "0070.0"}, {"0", "0000.0"},     {"", ""},
        {"abc", ""},          {"7.2.1", ""},       {"..", ""},
    };
    for (const auto& [column1, text] : cases)
        EXPECT_EQ(ui::netLoggerFrequencyText(column1), text) << column1.toStdString();
}

TEST(Capitalised, UpperCasesTheFirstLetterOfEachWord) {
    const std::vector<std::pair<QString, QString>> cases{
        {"JOHN SMITH", "John Smith"}, {"kaz", "Kaz"},           {"  two  words ", "  Two  Words "},
        {"(bob)", "(Bob)"},           {"3rd", "3rd"},           {"--", "--"},
        {"éMILE zola", "Émile Zola"}, {"mary-ANN", "Mary-ann"}, {"", ""},
    };
    for (const auto& [text, expected] : cases)
        EXPECT_EQ(ui::capitalised(text), expected) << text.toStdString();
}

TEST(ParseDroppedIndex, ReadsSignedDecimalsOnly) {
    constexpr qint64 max = std::numeric_limits<qint64>::max();
    constexpr qint64 min = std::numeric_limits<qint64>::min();
    const std::vector<std::pair<QString, std::optional<qint64>>> cases{
        {"4", 4},
        {"12", 12},
        {"+3", 3},
        {"-1", -1},
        {"007", 7},
        {"9223372036854775807", max},
        {"-9223372036854775808", min},
        {"9223372036854775808", std::nullopt},
        {"word", std::nullopt},
        {"12a", std::nullopt},
        {"", std::nullopt},
        {"+", std::nullopt},
        {"-", std::nullopt},
        {"+-3", std::nullopt},
        {" 3", std::nullopt},
        {"3 ", std::nullopt},
        {"3.0", std::nullopt},
        {QString::fromUtf8("\u0663"), std::nullopt}, // Arabic-Indic three
    };
    for (const auto& [text, index] : cases)
        EXPECT_EQ(ui::parseDroppedIndex(text), index) << text.toStdString();
}

TEST(DropDestination, AccountsForTheRowTakenOut) {
    EXPECT_EQ(ui::dropDestination(2, 6), 5);
    EXPECT_EQ(ui::dropDestination(5, 2), 2);
    EXPECT_EQ(ui::dropDestination(3, 3), 3);
    EXPECT_EQ(ui::dropDestination(3, 4), 3);
    EXPECT_EQ(ui::dropDestination(0, 0), 0);
}

} // namespace
