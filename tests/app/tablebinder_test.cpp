#include "printers.h"
#include "ui/linkdelegate.h"
#include "ui/rowtablemodel.h"
#include "ui/tablebinder.h"

#include <QCoreApplication>
#include <QHeaderView>
#include <QPushButton>
#include <QSignalSpy>
#include <QTableView>
#include <QTest>
#include <gtest/gtest.h>

using feeds::ListKind;
using feeds::Row;
using feeds::Rows;

namespace {

Rows potaRows(int count, const QString& prefix = QStringLiteral("K")) {
    Rows rows;
    for (int i = 0; i < count; ++i)
        rows.append(Row{prefix + QString::number(i), "14074", "FT8", "", "Park", "3", "1.0", "2.0",
                        "US-MI", QStringLiteral("US-%1").arg(i)});
    return rows;
}

struct Table {
    explicit Table(ListKind list)
        : model(list, {})
        , binder(&view, &model) {
        view.resize(900, 400);
    }
    QPushButton* button(int row, QStringView identifier) {
        return qobject_cast<QPushButton*>(
            view.indexWidget(model.index(row, model.columnOf(identifier))));
    }

    QTableView view;
    ui::RowTableModel model;
    ui::TableBinder binder;
};

TEST(TableBinder, TagsEveryButtonWithItsRowAcrossReloads) {
    const std::vector<std::tuple<ListKind, const char16_t*, const char*, const char*>> buttons{
        {ListKind::Pota, u"tune", "Tune", "potaTableTuneButton"},
        {ListKind::Nets, u"confirm", "Confirm", "netsTableConfirmButton"},
        {ListKind::Nets, u"unconfirm", "Unconfirm", "netsTableUnconfirmButton"},
        {ListKind::MW, u"tune3", "Tune", "mwTableTuneButton"},
    };
    for (const auto& [list, identifier, title, name] : buttons) {
        Table table(list);
        table.model.setRows(Rows(4, Row(feeds::columnCount(list))));
        QPushButton* button = table.button(3, identifier);
        ASSERT_TRUE(button) << name;
        EXPECT_EQ(button->text(), title);
        EXPECT_EQ(button->objectName(), name);
        EXPECT_EQ(ui::tagOf(button), 3);
    }

    Table pota(ListKind::Pota);
    pota.model.setRows(potaRows(5));
    pota.model.setRows(potaRows(2, "N"));
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    for (int row = 0; row < 2; ++row) {
        ASSERT_TRUE(pota.button(row, u"tune"));
        EXPECT_EQ(ui::tagOf(pota.button(row, u"tune")), row);
    }
    EXPECT_EQ(pota.view.findChildren<QPushButton*>().size(), 2);

    QObject untagged;
    EXPECT_EQ(ui::tagOf(nullptr), -1);
    EXPECT_EQ(ui::tagOf(&untagged), -1);
    untagged.setProperty("tag", "seven");
    EXPECT_EQ(ui::tagOf(&untagged), -1);
}

// Hundreds of rows get buttons only around the rows in view; scrolling brings the others.
TEST(TableBinder, MakesButtonsForTheRowsInViewAndScrolledTo) {
    Table pota(ListKind::Pota);
    pota.view.resize(800, 400);
    pota.view.show();
    pota.model.setRows(potaRows(300));
    QCoreApplication::processEvents();
    EXPECT_TRUE(pota.button(0, u"tune"));
    EXPECT_FALSE(pota.button(299, u"tune"));
    EXPECT_LT(pota.view.findChildren<QPushButton*>().size(), 60);

    pota.view.scrollToBottom();
    QCoreApplication::processEvents();
    ASSERT_TRUE(pota.button(299, u"tune"));
    EXPECT_EQ(ui::tagOf(pota.button(299, u"tune")), 299);
}

// Fixed 27-pixel rows; a click on a header sorts nothing, a click on a link reports it.
TEST(TableBinder, RowHeightsAndClicksOnAShownTable) {
    Table pota(ListKind::Pota);
    pota.model.setRows(potaRows(4));
    pota.view.show();
    for (int row = 0; row < 4; ++row)
        EXPECT_EQ(pota.view.rowHeight(row), 27);
    EXPECT_EQ(pota.view.verticalHeader()->sectionResizeMode(0), QHeaderView::Fixed);
    EXPECT_TRUE(pota.view.verticalHeader()->isHidden());

    const int activator = pota.model.columnOf(u"activator");
    QHeaderView* header = pota.view.horizontalHeader();
    QTest::mouseClick(header->viewport(), Qt::LeftButton, {},
                      QPoint(header->sectionViewportPosition(activator) + 5, 5));
    EXPECT_EQ(pota.model.rows(), potaRows(4));

    QSignalSpy links(&pota.binder, &ui::TableBinder::linkActivated);
    const auto click = [&](int row, const char16_t* identifier) {
        const QRect cell =
            pota.view.visualRect(pota.model.index(row, pota.model.columnOf(identifier)));
        QTest::mouseClick(pota.view.viewport(), Qt::LeftButton, {}, cell.center());
    };
    click(2, u"activator");
    EXPECT_EQ(links.count(), 0);
    click(2, u"reference");
    ASSERT_EQ(links.count(), 1);
    EXPECT_EQ(links.at(0).at(0).toUrl(), QUrl("https://pota.app/#/park/US-2"));
}

class ExposedLinkDelegate : public ui::LinkDelegate {
public:
    using ui::LinkDelegate::initStyleOption;
};

TEST(LinkDelegate, DrawsLinksUnderlinedInTheLinkColour) {
    ui::RowTableModel model(ListKind::Pota, {});
    model.setRows(potaRows(1));
    ExposedLinkDelegate delegate;
    QStyleOptionViewItem linked;
    delegate.initStyleOption(&linked, model.index(0, model.columnOf(u"reference")));
    EXPECT_TRUE(linked.font.underline());
    EXPECT_EQ(linked.palette.color(QPalette::Text), linked.palette.color(QPalette::Link));

    QStyleOptionViewItem plain;
    delegate.initStyleOption(&plain, model.index(0, model.columnOf(u"activator")));
    EXPECT_FALSE(plain.font.underline());
}

} // namespace
