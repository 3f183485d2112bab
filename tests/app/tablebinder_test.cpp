#include "session/listmodel.h"
#include "testing.h"
#include "ui/colours.h"
#include "ui/tablebinder.h"

#include <QDropEvent>
#include <QHeaderView>
#include <QMimeData>
#include <QTableView>
#include <QTest>

using core::ListKind;

static QList<core::PotaSpot> potaRows(int count) {
    QList<core::PotaSpot> rows;
    for (int i = 0; i < count; ++i)
        rows.append({QStringLiteral("K%1").arg(i), "14074", "FT8", "", "Park", "3", "1.0", "2.0",
                     "US-MI", QStringLiteral("US-%1").arg(i)});
    return rows;
}

// Drops reach a view only through a drag manager, which a headless platform lacks.
struct DroppableView : QTableView {
    using QTableView::dropEvent;
};

struct Table {
    Table()
        : binder(&view, &model) {
        view.resize(900, 400);
        binder.onButton(session::CellKind::TuneButton, [this](int row) { pressed << row; });
    }
    QPoint centre(int row, const char16_t* id) const {
        return view.visualRect(model.index(row, model.columnOf(id))).center();
    }
    void click(int row, const char16_t* id = u"tune") {
        view.scrollTo(model.index(row, 0));
        QTest::mouseClick(view.viewport(), Qt::LeftButton, {}, centre(row, id));
    }

    DroppableView view;
    session::TypedListModel<core::PotaSpot> model{core::ServiceHosts{}};
    ui::TableBinder binder;
    QList<int> pressed;
};

// Every button reports its own row, across reloads, and shows its whole label; disabled buttons
// take no presses.
TEST(TableBinder, ButtonsReportTheirRowsAndShowTheirWholeLabel) {
    Table table;
    table.model.setRows(potaRows(5));
    table.model.setRows(potaRows(300));
    table.view.show();
    table.click(299);
    table.click(3);
    EXPECT_EQ(table.pressed, (QList<int>{299, 3}));
    EXPECT_GT(table.view.columnWidth(0), table.view.fontMetrics().horizontalAdvance("Tune"));
    table.binder.setButtonsEnabled(session::CellKind::TuneButton, false);
    table.click(4);
    EXPECT_EQ(table.pressed.size(), 2);
}

// Fixed 27-pixel rows; a header click sorts nothing; a link click is reported; a drop onto the
// middle of a row is refused, a drop between rows taken.
TEST(TableBinder, RowsHeadersLinksAndDrops) {
    Table table;
    table.model.setRows(potaRows(4));
    table.view.show();
    EXPECT_EQ(table.view.rowHeight(2), 27);
    EXPECT_FALSE(table.view.horizontalHeader()->sectionsClickable());

    QSignalSpy links(&table.binder, &ui::TableBinder::linkActivated);
    table.click(2, u"activator");
    table.click(2, u"reference");
    ASSERT_EQ(links.count(), 1);
    EXPECT_EQ(links[0][0].toUrl(), QUrl("https://pota.app/#/park/US-2"));

    QSignalSpy resets(&table.model, &QAbstractItemModel::modelReset);
    QMimeData dragged;
    dragged.setText("0");
    const auto drop = [&](QPoint at) {
        QDropEvent event(at, Qt::MoveAction, &dragged, Qt::LeftButton, {});
        event.setDropAction(Qt::MoveAction);
        table.view.dropEvent(&event);
    };
    const QPoint middle = table.centre(2, u"activator");
    drop(middle);
    EXPECT_EQ(resets.count(), 0) << "a drop onto a row is no drop between rows";
    drop(QPoint(middle.x(), table.view.visualRect(table.model.index(2, 1)).top() + 1));
    EXPECT_EQ(resets.count(), 1);
}

// The conditions stay readable on light and dark themes alike, and so does the white text of the
// connect button.
TEST(Colours, ReadableOnEveryBackground) {
    for (const char* background :
         {"#ffffff", "#efefef", "#808080", "#31363b", "#1e1e1e", "#000000"})
        for (const auto colour :
             {conditions::Colour::Green, conditions::Colour::Orange, conditions::Colour::Red})
            EXPECT_GE(ui::contrastRatio(ui::conditionColour(colour, QColor(background)),
                                        QColor(background)),
                      4.5)
                << background << " " << int(colour);
    EXPECT_FALSE(ui::conditionColour(conditions::Colour::Normal, Qt::white).isValid());
    for (bool connected : {true, false})
        EXPECT_GE(ui::contrastRatio(ui::linkColour(connected), Qt::white), 4.5);
}
