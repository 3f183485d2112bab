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

TEST(RowTableModel, ShowsCellsLinksAndHeadersOfItsRows) {
    RowTableModel model(ListKind::MW, {});
    EXPECT_EQ(model.rowCount(), 0);
    model.setRows(mwRows(3));
    EXPECT_EQ(model.rowCount(), 3);
    EXPECT_EQ(model.columnCount(), 5);
    EXPECT_EQ(model.columnOf(u"tune3"), 0);
    EXPECT_EQ(model.columnOf(u"nothing"), -1);
    EXPECT_EQ(model.index(2, model.columnOf(u"power")).data().toString(), "50 kW");

    // Only the row with an address carries a link, and says where it leads.
    const int station = model.columnOf(u"station");
    EXPECT_FALSE(model.index(0, station).data(ui::LinkRole).isValid());
    EXPECT_FALSE(model.index(0, station).data(Qt::ToolTipRole).isValid());
    EXPECT_EQ(model.index(1, station).data(ui::LinkRole).toUrl(), QUrl("https://w1.example/"));
    EXPECT_EQ(model.index(1, station).data(Qt::ToolTipRole).toString(), "https://w1.example/");
    EXPECT_EQ(model.headerData(station, Qt::Horizontal).toString(), "Station");
    EXPECT_EQ(model.headerData(station, Qt::Horizontal, ui::IdentifierRole).toString(), "station");

    RowTableModel netLogger(ListKind::NetLogger, {});
    netLogger.setRows({Row{"Net", "7.2", "SSB"}});
    EXPECT_FALSE(netLogger.index(0, netLogger.columnOf(u"checkIns")).data().isValid());
}

// A row is dragged as its index and may be dropped between rows only; the drop is taken but
// the list keeps the feed's order, and a drop that cannot be read changes nothing.
TEST(RowTableModel, DragAndDropOfRows) {
    RowTableModel model(ListKind::MW, {});
    model.setRows(mwRows(6));
    EXPECT_TRUE(model.flags(model.index(4, 2)) & Qt::ItemIsDragEnabled);
    EXPECT_FALSE(model.flags(model.index(4, 2)) & Qt::ItemIsDropEnabled);
    EXPECT_TRUE(model.flags(QModelIndex()) & Qt::ItemIsDropEnabled);
    std::unique_ptr<QMimeData> dragged(model.mimeData({model.index(4, 0), model.index(4, 1)}));
    ASSERT_TRUE(dragged);
    EXPECT_EQ(dragged->text(), "4");
    EXPECT_EQ(model.mimeData({}), nullptr);

    EXPECT_TRUE(model.canDropMimeData(dragged.get(), Qt::MoveAction, 6, 0, {}));
    EXPECT_FALSE(model.canDropMimeData(dragged.get(), Qt::MoveAction, -1, -1, model.index(5, 0)));
    EXPECT_FALSE(model.canDropMimeData(dragged.get(), Qt::CopyAction, 6, 0, {}));
    QMimeData html;
    html.setHtml("<b>2</b>");
    EXPECT_FALSE(model.canDropMimeData(&html, Qt::MoveAction, 6, 0, {}));

    QSignalSpy resets(&model, &QAbstractItemModel::modelReset);
    ASSERT_TRUE(model.dropMimeData(dragged.get(), Qt::MoveAction, 6, 0, {}));
    ASSERT_TRUE(model.dropMimeData(plainText("+5").get(), Qt::MoveAction, 2, 0, {}));
    EXPECT_EQ(resets.count(), 2);
    // The Move drag's clean-up asks to remove the dragged row: the list must stay whole.
    EXPECT_FALSE(model.removeRows(2, 1));

    for (const QString text : {"word", "3a", "", "6", "-1", "99999999999999999999"})
        EXPECT_FALSE(model.dropMimeData(plainText(text).get(), Qt::MoveAction, 1, 0, {}))
            << text.toStdString();
    EXPECT_FALSE(
        model.dropMimeData(plainText("1").get(), Qt::MoveAction, -1, -1, model.index(3, 0)));
    EXPECT_FALSE(model.dropMimeData(nullptr, Qt::MoveAction, 1, 0, {}));
    EXPECT_EQ(resets.count(), 2);
    EXPECT_EQ(model.rows(), mwRows(6));
}

} // namespace
