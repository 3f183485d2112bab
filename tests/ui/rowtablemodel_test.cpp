#include "printers.h"
#include "ui/rowtablemodel.h"

#include <QMimeData>
#include <QSignalSpy>
#include <gtest/gtest.h>
#include <memory>

using feeds::ListKind;
using feeds::Row;
using feeds::Rows;
using ui::RowTableModel;

namespace {

Rows mwRows(int count) {
    Rows rows;
    for (int i = 0; i < count; ++i)
        rows.append(Row{QStringLiteral("W%1").arg(i), "770", "City", "50",
                        i == 1 ? "https://w1.example/" : ""});
    return rows;
}

std::unique_ptr<QMimeData> plainText(const QString& text) {
    auto data = std::make_unique<QMimeData>();
    data->setText(text);
    return data;
}

TEST(RowTableModel, ShowsTheRowsItWasGiven) {
    RowTableModel model(ListKind::MW, {});
    EXPECT_EQ(model.rowCount(), 0);
    EXPECT_EQ(model.columnCount(), 5);
    model.setRows(mwRows(3));
    EXPECT_EQ(model.rowCount(), 3);
    EXPECT_EQ(model.list(), ListKind::MW);
    EXPECT_EQ(model.rows(), mwRows(3));

    const int station = model.columnOf(u"station");
    const int power = model.columnOf(u"power");
    const int tune = model.columnOf(u"tune3");
    EXPECT_EQ(tune, 0);
    EXPECT_EQ(model.columnOf(u"nothing"), -1);

    EXPECT_EQ(model.index(2, power).data().toString(), "50 kW");
    EXPECT_EQ(model.index(2, tune).data().toString(), "");
    EXPECT_EQ(model.index(0, station).data(Qt::TextAlignmentRole).value<Qt::Alignment>(),
              Qt::AlignLeft | Qt::AlignVCenter);

    // Only the row with an address carries a link, and says where it leads.
    EXPECT_FALSE(model.index(0, station).data(ui::LinkRole).isValid());
    EXPECT_FALSE(model.index(0, station).data(Qt::ToolTipRole).isValid());
    EXPECT_EQ(model.index(1, station).data(ui::LinkRole).toUrl(), QUrl("https://w1.example/"));
    EXPECT_EQ(model.index(1, station).data(Qt::ToolTipRole).toString(), "https://w1.example/");

    EXPECT_EQ(model.headerData(station, Qt::Horizontal).toString(), "Station");
    EXPECT_EQ(model.headerData(tune, Qt::Horizontal).toString(), "");
    EXPECT_EQ(model.headerData(power, Qt::Horizontal, ui::IdentifierRole).toString(), "power");
}

TEST(RowTableModel, LeavesTheCheckInCellOfAShortNetLoggerRowEmpty) {
    RowTableModel model(ListKind::NetLogger, {});
    model.setRows({Row{"Net", "7.2", "SSB"}});
    EXPECT_FALSE(model.index(0, model.columnOf(u"checkIns")).data().isValid());
    EXPECT_EQ(model.index(0, model.columnOf(u"freq")).data().toString(), "7200.0");
}

TEST(RowTableModel, DragsARowAsItsIndex) {
    RowTableModel model(ListKind::MW, {});
    model.setRows(mwRows(6));
    EXPECT_EQ(model.mimeTypes(), QStringList{"text/plain"});
    EXPECT_EQ(model.supportedDropActions(), Qt::MoveAction);
    EXPECT_TRUE(model.flags(model.index(4, 2)) & Qt::ItemIsDragEnabled);
    EXPECT_FALSE(model.flags(model.index(4, 2)) & Qt::ItemIsDropEnabled);
    EXPECT_TRUE(model.flags(QModelIndex()) & Qt::ItemIsDropEnabled);

    std::unique_ptr<QMimeData> dragged(model.mimeData({model.index(4, 0), model.index(4, 1)}));
    ASSERT_TRUE(dragged);
    EXPECT_EQ(dragged->text(), "4");
    EXPECT_EQ(model.mimeData({}), nullptr);
}

TEST(RowTableModel, AcceptsDropsBetweenRowsAndKeepsTheListOrder) {
    RowTableModel model(ListKind::MW, {});
    model.setRows(mwRows(7));
    QSignalSpy resets(&model, &QAbstractItemModel::modelReset);
    std::unique_ptr<QMimeData> dragged(model.mimeData({model.index(2, 0)}));

    EXPECT_TRUE(model.canDropMimeData(dragged.get(), Qt::MoveAction, 6, 0, {}));
    EXPECT_FALSE(model.canDropMimeData(dragged.get(), Qt::MoveAction, -1, -1, model.index(5, 0)));
    EXPECT_FALSE(model.canDropMimeData(dragged.get(), Qt::MoveAction, -1, -1, {}));
    EXPECT_FALSE(model.canDropMimeData(dragged.get(), Qt::CopyAction, 6, 0, {}));
    QMimeData html;
    html.setHtml("<b>2</b>");
    EXPECT_FALSE(model.canDropMimeData(&html, Qt::MoveAction, 6, 0, {}));

    ASSERT_TRUE(model.dropMimeData(dragged.get(), Qt::MoveAction, 6, 0, {}));
    EXPECT_EQ(resets.count(), 1);
    EXPECT_EQ(model.rows(), mwRows(7));
    ASSERT_TRUE(model.dropMimeData(plainText("+5").get(), Qt::MoveAction, 2, 0, {}));
    EXPECT_EQ(model.rows(), mwRows(7));

    // The Move drag's clean-up asks to remove the dragged row: the list must stay whole.
    EXPECT_FALSE(model.removeRows(2, 1));
    EXPECT_EQ(model.rowCount(), 7);
}

TEST(RowTableModel, RefusesDropsItCannotRead) {
    RowTableModel model(ListKind::MW, {});
    model.setRows(mwRows(5));
    QSignalSpy resets(&model, &QAbstractItemModel::modelReset);
    for (const QString text : {"word", "3a", "", "5", "-1", "99999999999999999999"}) {
        EXPECT_FALSE(model.dropMimeData(plainText(text).get(), Qt::MoveAction, 1, 0, {}))
            << text.toStdString();
    }
    EXPECT_FALSE(
        model.dropMimeData(plainText("1").get(), Qt::MoveAction, -1, -1, model.index(3, 0)));
    EXPECT_FALSE(model.dropMimeData(nullptr, Qt::MoveAction, 1, 0, {}));
    EXPECT_EQ(resets.count(), 0);
    EXPECT_EQ(model.rows(), mwRows(5));
}

} // namespace
