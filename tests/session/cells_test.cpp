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

constexpr Qt::Alignment left = Qt::AlignLeft | Qt::AlignVCenter;
constexpr Qt::Alignment right = Qt::AlignRight | Qt::AlignVCenter;

// Every column in display order, its texts joined by '|'; buttons show no text and carry the
// only empty titles, and no column reads past a short row.
TEST(CellFor, ShowsEveryColumnOfEveryList) {
    const std::vector<std::tuple<ListKind, Row, QString>> lists = {
        {ListKind::Pota, potaRow,
         "|KN4AL|14272.0|SSB|US-6795|Three Rivers State Game Land|US-MI|12 min|cq pota"},
        {ListKind::Sota, sotaRow,
         "|7N1FRE/1|Kaz|21062.0|CW|Higashimikaboyama|1246m|8 points|5 min|qrv now"},
        {ListKind::NetLogger, netLoggerRow, "|MOONLIGHTERS|7279.0|SSB|12"},
        {ListKind::Nets, netsRow, "|Night Owls|3.940|0300|LSB|Yes||"},
        {ListKind::MW, mwRow, "|WABC|770|New York|50 kW"},
    };
    for (const auto& [list, row, expected] : lists) {
        SCOPED_TRACE(expected.toStdString());
        const QList<ui::ColumnSpec> columns = ui::columnsFor(list);
        ASSERT_FALSE(columns.isEmpty());
        EXPECT_EQ(columns.first().kind, ui::CellKind::TuneButton);
        QStringList texts;
        for (const ui::ColumnSpec& column : columns) {
            const bool button =
                column.kind != ui::CellKind::Text && column.kind != ui::CellKind::Link;
            EXPECT_EQ(column.title.isEmpty(), button) << column.identifier.toStdString();
            const auto cell = ui::cellFor(list, column.identifier, row, {});
            ASSERT_TRUE(cell.has_value()) << column.identifier.toStdString();
            texts << cell->text;
            ui::cellFor(list, column.identifier, Row{}, {});
        }
        EXPECT_EQ(texts.join(u'|'), expected);
    }
}

TEST(CellFor, ReadsOddValuesAndLinks) {
    struct Case {
        ListKind list;
        const char* identifier;
        Row row;
        QString text;
        QString link = {}; // empty: the cell must not be linked
    };
    const std::vector<Case> cases{
        {ListKind::Pota, "frequency", with(potaRow, 1, "abc"), "0.0"},
        {ListKind::Pota, "name", potaRow, "Three Rivers State Game Land",
         "https://maps.google.com/?q=41.8694,-85.7444&ll=41.8694,-85.7444&z=5"},
        {ListKind::Pota, "last", with(potaRow, 5, ""), ""},
        {ListKind::Pota, "reference", potaRow, "US-6795", "https://pota.app/#/park/US-6795"},
        {ListKind::Pota, "reference", potaRow.mid(0, 9), ""},
        {ListKind::Sota, "activatorName", with(sotaRow, 1, "Not recognised"), "--"},
        {ListKind::Sota, "frequency2", with(sotaRow, 2, "3e38"), "0.0"},
        {ListKind::Sota, "name2", with(sotaRow, 6, "Summit not recognised"), "--"},
        {ListKind::Sota, "last2", with(sotaRow, 9, ""), ""},
        {ListKind::Sota, "last2", sotaRow.mid(0, 9), " "},
        {ListKind::Nets, "netName", netsRow, "Night Owls", "https://nets.example/owls"},
        {ListKind::MW, "station", mwRow, "WABC", "https://wabc.example/"},
        {ListKind::MW, "station", with(mwRow, 4, ""), "WABC"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(QStringLiteral("%1 of %2").arg(c.identifier, c.row.join(u'|')).toStdString());
        const auto cell = ui::cellFor(c.list, QString::fromLatin1(c.identifier), c.row, {});
        ASSERT_TRUE(cell.has_value());
        EXPECT_EQ(cell->text, c.text);
        EXPECT_EQ(cell->linked, !c.link.isEmpty());
        EXPECT_EQ(cell->link, c.link.isEmpty() ? QUrl() : QUrl(c.link));
    }
}

TEST(CellFor, NoViewForUnknownColumnsOrShortCheckInRowsAndParkReferencesRight) {
    EXPECT_FALSE(ui::cellFor(ListKind::Pota, u"Tune", potaRow, {}));
    EXPECT_FALSE(ui::cellFor(ListKind::Sota, u"tune", sotaRow, {}));
    EXPECT_FALSE(ui::cellFor(ListKind::NetLogger, u"checkIns", netLoggerRow.mid(0, 3), {}));
    EXPECT_EQ(ui::cellFor(ListKind::Pota, u"reference", potaRow.mid(0, 9), {})->alignment, right);
    EXPECT_EQ(ui::cellFor(ListKind::Pota, u"name", potaRow, {})->alignment, left);
}

TEST(CellFor, LinksOnlyToWebAddresses) {
    const auto check = [](const QString& address, bool linked) {
        SCOPED_TRACE(address.toStdString());
        for (auto [list, row, identifier] :
             {std::tuple{ListKind::Nets, with(netsRow, 4, address), u"netName"},
              std::tuple{ListKind::MW, with(mwRow, 4, address), u"station"}}) {
            const auto cell = ui::cellFor(list, identifier, row, {});
            EXPECT_EQ(cell->linked, linked);
            EXPECT_EQ(cell->link.isEmpty(), !linked);
            EXPECT_EQ(cell->text, row.value(0));
        }
    };
    check("HTTPS://Nets.Example/x", true);
    for (const char* address : {"javascript:alert(1)", "file:///etc/passwd", "nets.example",
                                "http://", "https://exa mple.com/"})
        check(address, false);
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

TEST(NetLoggerFrequencyText, ShowsKilohertzWithOneDecimal) {
    // Up to 70 the text is megahertz; the digits are those of the float times 1000.
    const std::vector<std::pair<QString, QString>> cases{
        {"14290", "14290.0"}, {"7.2", "7200.0"},    {"145.5", "0145.5"},
        {"70", "70000.0"},    {"70.001", "0070.0"}, {"abc", ""},
    };
    for (const auto& [column1, text] : cases)
        EXPECT_EQ(ui::netLoggerFrequencyText(column1), text) << column1.toStdString();
}

TEST(Capitalised, UpperCasesTheFirstLetterOfEachWord) {
    EXPECT_EQ(ui::capitalised("  two  WORDS (bob) 3rd"), "  Two  Words (Bob) 3rd");
    EXPECT_EQ(ui::capitalised("éMILE mary-ANN"), "Émile Mary-ann");
}

TEST(ParseDroppedIndex, ReadsSignedDecimalsOnly) {
    constexpr qint64 max = std::numeric_limits<qint64>::max();
    constexpr qint64 min = std::numeric_limits<qint64>::min();
    const std::vector<std::pair<QString, qint64>> valid{
        {"+3", 3}, {"-1", -1}, {"9223372036854775807", max}, {"-9223372036854775808", min}};
    for (const auto& [text, index] : valid)
        EXPECT_EQ(ui::parseDroppedIndex(text), index) << text.toStdString();
    // The last one is an Arabic-Indic three.
    for (const char* text : {"9223372036854775808", "", "+", "+-3", " 3", "3.0", "\u0663"})
        EXPECT_EQ(ui::parseDroppedIndex(QString::fromUtf8(text)), std::nullopt) << text;
}

} // namespace
