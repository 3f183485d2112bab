#include "session/listmodel.h"
#include "testing.h"

#include <QMimeData>

using namespace session;

const core::PotaSpot kPota{
    "KN4AL", "14272",   "SSB",      "cq pota", "Three Rivers State Game Land",
    "12",    "41.8694", "-85.7444", "US-MI",   "US-6795"};
const core::SotaSpot kSota{"7N1FRE/1",          "KAZ",   "21.062",   "cw", "qrv now", "JA/GM-084",
                           "Higashimikaboyama", "1246m", "8 points", "5"};
const core::WwffSpot kWwff{
    "F4ILK/P", "7006", "CW", "FFF-3970", "Le Buisson", "7", "Auto-spotted via RBN"};
const core::NetLoggerNet kNetLogger{"MOONLIGHTERS", "7.279", "SSB", "12"};
const core::DirectoryNet kNet{"Night Owls", "3.940", "0300", "LSB", "https://nets.example/owls",
                              "Yes",        "42"};
const core::MwStation kStation{"WABC", "770", "New York", "50", "https://wabc.example/"};

template <class Row>
static std::unique_ptr<TypedListModel<Row>> modelOf(QList<Row> rows,
                                                    const core::ServiceHosts& hosts = {}) {
    auto model = std::make_unique<TypedListModel<Row>>(hosts);
    model->setRows(std::move(rows));
    return model;
}

// Every column of row 0 in display order, joined by '|'; buttons show their label and have the
// only empty titles.
static QString shown(const ListModel& model) {
    QStringList texts;
    for (int column = 0; column < model.columnCount(); ++column) {
        const bool button = model.columns()[column].kind != CellKind::Text &&
                            model.columns()[column].kind != CellKind::Link;
        EXPECT_EQ(model.headerData(column, Qt::Horizontal).toString().isEmpty(), button);
        texts << model.index(0, column).data().toString();
    }
    return texts.join(u'|');
}

TEST(ListModel, ShowsEveryColumnOfEveryList) {
    EXPECT_EQ(shown(*modelOf<core::PotaSpot>({kPota})),
              "Tune|KN4AL||14272.0|SSB|US-6795|Three Rivers State Game Land|US-MI|12 min|cq pota");
    EXPECT_EQ(shown(*modelOf<core::SotaSpot>({kSota})),
              "Tune|7N1FRE/1||Kaz|21062.0|CW|Higashimikaboyama|1246m|8 points|5 min|qrv now");
    EXPECT_EQ(shown(*modelOf<core::WwffSpot>({kWwff})),
              "Tune|F4ILK/P||7006.0|CW|FFF-3970|Le Buisson|7 min|Auto-spotted via RBN");
    EXPECT_EQ(shown(*modelOf<core::NetLoggerNet>({kNetLogger})), "Tune|MOONLIGHTERS|7279.0|SSB|12");
    const auto nets = modelOf<core::DirectoryNet>({kNet});
    EXPECT_EQ(shown(*nets), "Tune|Night Owls|3.940|0300||LSB|Yes||Confirm|Unconfirm|Remind Me");
    // The columns that change with the time are filled in afterwards, one text per row.
    QSignalSpy changed(nets.get(), &QAbstractItemModel::dataChanged);
    nets->setColumnTexts(u"next", {"Mon 03:00, in 5 min"});
    nets->setColumnTexts(u"active", {"a", "b"}); // not one per row: ignored
    EXPECT_EQ(
        shown(*nets),
        "Tune|Night Owls|3.940|0300|Mon 03:00, in 5 min|LSB|Yes||Confirm|Unconfirm|Remind Me");
    EXPECT_EQ(changed.count(), 1);
    EXPECT_EQ(shown(*modelOf<core::MwStation>({kStation})), "Tune|WABC|770|New York|50 kW");
}

// The lists of activators show the log's mark beside the activator, and follow a change of the
// marks at once; the screen reader hears the column's name and the mark.
TEST(ListModel, MarksColumnFollowsTheLog) {
    const auto pota = modelOf<core::PotaSpot>({kPota, kPota, kPota});
    const auto sota = modelOf<core::SotaSpot>({kSota, kSota, kSota});
    const auto wwff = modelOf<core::WwffSpot>({kWwff, kWwff, kWwff});
    const std::vector<RowMark> marks{{"New", "new park"}, {"New band", "new band"}, {}};
    for (ListModel* model : std::initializer_list<ListModel*>{pota.get(), sota.get(), wwff.get()}) {
        const int column = model->columnOf(u"mark");
        ASSERT_EQ(model->columns().value(column - 1).title, "Activator");
        QSignalSpy changed(model, &QAbstractItemModel::dataChanged);
        model->setMarks(marks);
        ASSERT_EQ(changed.size(), 1);
        EXPECT_TRUE(changed[0][2].value<QList<int>>().contains(Qt::DisplayRole));
        QStringList shown;
        for (int row = 0; row < model->rowCount(); ++row)
            shown << model->index(row, column).data().toString() + u'/' +
                         model->index(row, column).data(Qt::AccessibleTextRole).toString();
        EXPECT_EQ(shown, (QStringList{"New/Log: New", "New band/Log: New band", "/Log: empty"}));
        model->setMarks({{"Worked", "worked today"}, marks[1], marks[2]});
        EXPECT_EQ(model->index(0, column).data(), "Worked");
    }
}

// What an odd value shows, and which cells link where.
TEST(ListModel, OddValuesAndLinks) {
    core::PotaSpot pota = kPota;
    pota.frequency = "abc";
    pota.age = "";
    core::SotaSpot sota = kSota;
    sota.activatorName = "Not recognised";
    sota.summitName = "Summit not recognised";
    sota.frequency = "3e38";
    const auto p = modelOf<core::PotaSpot>({pota, kPota});
    const auto s = modelOf<core::SotaSpot>({sota});
    const auto cell = [](const ListModel& m, int row, const char16_t* id, int role) {
        return m.index(row, m.columnOf(id)).data(role);
    };
    EXPECT_EQ(cell(*p, 0, u"frequency", Qt::DisplayRole), "0.0");
    EXPECT_EQ(cell(*p, 0, u"last", Qt::DisplayRole), "");
    EXPECT_EQ(cell(*s, 0, u"activatorName", Qt::DisplayRole), "--");
    EXPECT_EQ(cell(*s, 0, u"name2", Qt::DisplayRole), "--");
    EXPECT_EQ(cell(*s, 0, u"frequency2", Qt::DisplayRole), "0.0");
    EXPECT_EQ(cell(*p, 1, u"name", LinkRole).toUrl(),
              QUrl("https://maps.google.com/?q=41.8694,-85.7444&ll=41.8694,-85.7444&z=5"));
    EXPECT_EQ(cell(*p, 1, u"reference", LinkRole).toUrl(), QUrl("https://pota.app/#/park/US-6795"));
    EXPECT_EQ(cell(*p, 1, u"reference", Qt::TextAlignmentRole).value<Qt::Alignment>(),
              Qt::AlignRight | Qt::AlignVCenter);
    EXPECT_EQ(cell(*p, 1, u"reference", Qt::ToolTipRole), "https://pota.app/#/park/US-6795");
    EXPECT_FALSE(cell(*s, 0, u"comment2", LinkRole).isValid());
    const auto w = modelOf<core::WwffSpot>({kWwff});
    EXPECT_EQ(cell(*w, 0, u"reference", LinkRole).toUrl(),
              QUrl("https://wwff.co/directory/?showRef=FFF-3970"));
    // What a screen reader says of a row's controls and cells.
    EXPECT_EQ(cell(*p, 1, u"tune", Qt::AccessibleTextRole), "Tune KN4AL, US-6795, 14272 kHz, SSB");
    EXPECT_EQ(cell(*w, 0, u"tune", Qt::AccessibleTextRole), "Tune F4ILK/P, FFF-3970, 7006 kHz, CW");
    EXPECT_EQ(cell(*p, 1, u"reference", Qt::AccessibleTextRole), "Park: US-6795, link");
    EXPECT_EQ(cell(*p, 0, u"last", Qt::AccessibleTextRole), "Age: empty");
    const auto n = modelOf<core::DirectoryNet>({kNet});
    EXPECT_EQ(cell(*n, 0, u"confirm", Qt::AccessibleTextRole),
              "Confirm your check-in to Night Owls");
    EXPECT_EQ(frequencyWords(7'185'500), "7185.5 kHz");
    EXPECT_EQ(frequencyWords(144'300'000), "144.3 MHz");
}

TEST(ListModel, LinksOnlyToWebAddressesOnTheGivenHosts) {
    const std::pair<QString, bool> addresses[] = {
        {"HTTPS://Nets.Example/x", true}, {"", false},
        {"javascript:alert(1)", false},   {"file:///etc/passwd", false},
        {"nets.example", false},          {"https://exa mple.com/", false}};
    for (const auto& [address, linked] : addresses) {
        core::MwStation station = kStation;
        station.url = address;
        const auto model = modelOf<core::MwStation>({station});
        const QModelIndex index = model->index(0, model->columnOf(u"station"));
        EXPECT_EQ(index.data(LinkRole).isValid(), linked) << address.toStdString();
        EXPECT_EQ(index.data().toString(), "WABC");
    }
    core::ServiceHosts hosts = core::ServiceHosts::allAt(QUrl("http://127.0.0.1:8080"));
    // A feed text can neither add query items of its own nor cut the address short.
    core::PotaSpot odd = kPota;
    odd.latitude = "1&z=20";
    odd.longitude = "2#x";
    auto model = modelOf<core::PotaSpot>({odd}, hosts);
    EXPECT_EQ(model->index(0, model->columnOf(u"name")).data(LinkRole).toUrl().toString(),
              "http://127.0.0.1:8080/?q=1%26z%3D20,2%23x&ll=1%26z%3D20,2%23x&z=5");
    hosts.potaWeb = QUrl("file:///tmp");
    model = modelOf<core::PotaSpot>({kPota}, hosts);
    EXPECT_FALSE(model->index(0, model->columnOf(u"reference")).data(LinkRole).isValid());
}

TEST(CellTexts, NetLoggerKilohertzAndCapitals) {
    // Up to 70 the text is megahertz; the digits are those of the float times 1000.
    const std::pair<QString, QString> texts[] = {{"14290", "14290.0"}, {"7.2", "7200.0"},
                                                 {"145.5", "0145.5"},  {"70", "70000.0"},
                                                 {"70.001", "0070.0"}, {"abc", ""}};
    for (const auto& [column1, text] : texts)
        EXPECT_EQ(netLoggerFrequencyText(column1), text) << column1.toStdString();
    EXPECT_EQ(capitalised("  two  WORDS (bob) 3rd"), "  Two  Words (Bob) 3rd");
    EXPECT_EQ(capitalised("éMILE mary-ANN"), "Émile Mary-ann");
}

// A row is dragged as its index and may be dropped between rows only; the drop is taken but the
// list keeps the feed's order, and a drop that cannot be read changes nothing.
TEST(ListModel, DragAndDropOfRows) {
    const auto model = modelOf<core::MwStation>(QList<core::MwStation>(6, kStation));
    std::unique_ptr<QMimeData> dragged(model->mimeData({model->index(4, 0), model->index(4, 1)}));
    ASSERT_TRUE(dragged);
    EXPECT_EQ(dragged->text(), "4");
    EXPECT_TRUE(model->canDropMimeData(dragged.get(), Qt::MoveAction, 6, 0, {}));
    // Onto a row, as a copy, or not as plain text: refused.
    EXPECT_FALSE(model->canDropMimeData(dragged.get(), Qt::MoveAction, -1, -1, model->index(5, 0)));
    EXPECT_FALSE(model->canDropMimeData(dragged.get(), Qt::CopyAction, 6, 0, {}));

    QSignalSpy resets(model.get(), &QAbstractItemModel::modelReset);
    dragged->setText("+5");
    ASSERT_TRUE(model->dropMimeData(dragged.get(), Qt::MoveAction, 2, 0, {}));
    EXPECT_FALSE(model->removeRows(2, 1)) << "the Move drag's clean-up must not shorten the list";
    for (const QString text : {"word", "3a", "", "6", "-1", "99999999999999999999"}) {
        dragged->setText(text);
        EXPECT_FALSE(model->dropMimeData(dragged.get(), Qt::MoveAction, 1, 0, {}))
            << text.toStdString();
    }
    EXPECT_EQ(resets.count(), 1);
    EXPECT_EQ(model->rowCount(), 6);
}
