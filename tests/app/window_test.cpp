// The window bound to a station: the operator's choices reach the sessions, what the sessions
// report reaches the controls, and a Tune press goes from a table button to the radio.
#include "app/mainwindow.h"
#include "app/windowbinding.h"
#include "ptypair.h"
#include "session/listmodel.h"
#include "stationrig.h"
#include "testing.h"
#include "ui/accessibility.h"

#include <QAccessible>
#include <QAction>
#include <QComboBox>
#include <QCoreApplication>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStatusBar>
#include <QTabWidget>
#include <QTableView>
#include <QTest>

using core::ListKind;

class WindowTest : public ::testing::Test, protected StationRig {
protected:
    void SetUp() override { remake(); }
    void remake() {
        binding.reset();
        makeStation();
        binding = std::make_unique<app::WindowBinding>(w(), *station, nullptr);
    }
    app::WindowControls w() const { return window.controls(); }
    void press(QTableView* view, int row, const char16_t* identifier) {
        const QAbstractItemModel* model = view->model();
        int column = 0;
        while (model->headerData(column, Qt::Horizontal, session::IdentifierRole) !=
               QString::fromUtf16(identifier))
            ++column;
        const QModelIndex index = model->index(row, column);
        view->scrollTo(index);
        QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, view->visualRect(index).center());
    }
    void choose(QComboBox* popUp, const QString& title) {
        popUp->setCurrentText(title);
        emit popUp->activated(popUp->currentIndex());
    }

    app::MainWindow window;
    std::unique_ptr<app::WindowBinding> binding;
};

TEST_F(WindowTest, TuneButtonsWriteTheRowsCommandsToTheRadioAndSpeak) {
    PtyPair pty;
    ports.realLinks = true;
    ports.ports = {{"pty", pty.slavePath(), "pty"}};
    remake();
    serveEverything();
    station->setDeadlineMs(300);
    station->start();
    window.show();
    ASSERT_TRUE(allShown(3000));
    choose(w().PortPopUpButton, "pty");
    choose(w().RadioPopUpButton, "Icom IC-7300");
    w().openCloseButton->click();
    ASSERT_EQ(w().openCloseButton->text(), "Connected");
    ASSERT_TRUE(waitFor([&] { return w().mainTab->currentIndex() == 1; }, 1000));

    const int lastNet = rowsOf(ListKind::NetLogger) - 1;
    const std::tuple<QTableView*, int, const char16_t*, QByteArray, const char*> presses[] = {
        {w().potaTable, 0, u"tune",
         QByteArray::fromHex("FEFE94E0050040071400FDFEFE94E00601FDFEFE94E01A060101FD"
                             "FEFE94E003FD"),
         "Acadia National Park"},
        {w().sotaTable, 0, u"tune2",
         QByteArray::fromHex("FEFE94E0050020030700FDFEFE94E00601FDFEFE94E01A060101FD"
                             "FEFE94E003FD"),
         "Mount Si"},
        {w().wwffTable, 0, u"tune",
         QByteArray::fromHex("FEFE94E0050060000700FDFEFE94E00603FDFEFE94E01A060000FD"
                             "FEFE94E003FD"),
         "Le Buisson"},
        {w().mwTable, 0, u"tune3",
         QByteArray::fromHex("FEFE94E0050000530100FDFEFE94E00602FDFEFE94E003FD"), "K F B K"},
        {w().netsTable, 0, u"tune3", "MD02;FA014300000;SS0640000;FA;", "Maritime Mobile"},
        {w().netLoggerTable, lastNet, u"tune", "MD01;FA007244000;SS0640000;SS0560000;FA;",
         "YLSYSTEM 40 METER EC SESSION"},
    };
    for (const auto& [table, row, button, written, spoken] : presses) {
        if (written.startsWith("MD")) // the last two on a Yaesu
            choose(w().RadioPopUpButton, "Yaesu FTDX10");
        w().mainTab->setCurrentWidget(table->parentWidget());
        press(table, row, button);
        EXPECT_EQ(pty.read(written.size()), written) << spoken;
        EXPECT_EQ(speech.spoken.value(speech.spoken.size() - 1), spoken);
    }
    EXPECT_TRUE(out.contains("FEFE94E01A060101FD"));
    // The radio's answer to the last tune reaches the Radio tab and is told.
    pty.write("FA007244000;");
    const auto* told = window.findChild<ui::Announcer*>();
    EXPECT_TRUE(waitFor([&] { return told->text() == "Tuned 7.244 LSB"; }, 1000));
    EXPECT_EQ(w().radioReportLabel->text(), "Radio reports 7.244.000 MHz LSB");
    // The keyboard's way: Ctrl+2 brings the POTA list to the front, Enter tunes the selected row.
    window.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
    QTest::keyClick(&window, Qt::Key_2, Qt::ControlModifier);
    ASSERT_EQ(w().mainTab->currentIndex(), 1);
    w().potaTable->setCurrentIndex(w().potaTable->model()->index(0, 1));
    QTest::keyClick(w().potaTable, Qt::Key_Return);
    EXPECT_EQ(pty.read(35), "MD02;SF1E;FA014074000;SS0640000;FA;") << "the Yaesu chosen last";
}

TEST_F(WindowTest, ControlsFollowTheSessions) {
    settings->setValue("defaultRadio", "Icom IC-7300");
    settings->setValue("defaultPort", "ttyUSB1");
    settings->setValue("voice", "0");
    remake();
    serveEverything();
    station->setDeadlineMs(200);
    station->start();
    EXPECT_EQ(w().RadioPopUpButton->currentText(), "Icom IC-7300");
    EXPECT_EQ(w().PortPopUpButton->currentText(), "ttyUSB1");
    EXPECT_FALSE(w().menuItemPreferencesVoice->isChecked());

    w().menuItemPreferencesVoice->trigger();
    EXPECT_TRUE(station->preferences().voiceOn());
    choose(w().RadioPopUpButton, "Yaesu FT-710");
    w().openCloseButton->click();
    EXPECT_EQ(w().openCloseButton->text(), "Connected");
    // The device goes and comes back before the port list notices: the pop-up still shows it,
    // and choosing it again assigns it again.
    emit ports.lastLink->removedFromSystem();
    EXPECT_EQ(w().openCloseButton->text(), "Connect");
    EXPECT_EQ(station->radio().link(), nullptr);
    choose(w().PortPopUpButton, w().PortPopUpButton->currentText());
    ASSERT_NE(station->radio().link(), nullptr);
    // The rigctld item swaps the port and rate for an address, which a malformed one keeps.
    choose(w().RadioPopUpButton, "Hamlib rigctld (network)");
    EXPECT_TRUE(w().PortPopUpButton->isHidden() && !w().rigctldAddressField->isHidden());
    for (const char* typed : {"shack:4534", "shack:0"}) {
        w().rigctldAddressField->setText(typed);
        emit w().rigctldAddressField->editingFinished();
    }
    EXPECT_EQ(w().rigctldAddressField->text(), "shack:4534");
    EXPECT_EQ(settings->value("rigctldAddress"), "shack:4534");

    for (int tab : {2, 3, 0})
        w().mainTab->setCurrentIndex(tab);
    EXPECT_EQ(out.mid(out.size() - 3), (QStringList{"sotaTab", "wwffTab", "radioTab"}));

    ASSERT_TRUE(waitFor([&] { return w().bandBox->title() != "Band Conditions - "; }, 2000));
    EXPECT_EQ(w().bandBox->title(), "Band Conditions -  22 Feb 2020 1034 GMT");
    EXPECT_FALSE(w().solarFluxField->text().isEmpty());
    w().actionRefreshPota->trigger();
    ASSERT_TRUE(waitFor([&] { return server.count("/spot/activator") == 2; }, 1000));
}

// What a screen reader hears of a row's controls and the window's, and a reload that keeps the
// operator's place.
TEST_F(WindowTest, ScreenReadersHearWhatControlsDoAndReloadsKeepTheSelection) {
    serveEverything();
    station->setDeadlineMs(200);
    station->start();
    window.show();
    ASSERT_TRUE(allShown(3000));
    QAccessibleInterface* table = QAccessible::queryAccessibleInterface(w().potaTable);
    ASSERT_TRUE(table && table->tableInterface());
    EXPECT_EQ(table->tableInterface()->cellAt(0, 1)->text(QAccessible::Name), "Activator: K1ABC");
    // Every control the keyboard can reach has a name (as the Orca chase checks over AT-SPI).
    for (QWidget* control : window.findChildren<QWidget*>()) {
        if (control->focusPolicy() == Qt::NoFocus)
            continue;
        EXPECT_FALSE(
            QAccessible::queryAccessibleInterface(control)->text(QAccessible::Name).isEmpty())
            << control->metaObject()->className() << ' ' << control->objectName().toStdString();
    }

    // Each button cell offers its button's action; a disabled one is unavailable and says why.
    const auto* told = window.findChild<ui::Announcer*>();
    emit station->confirmationsReadyChanged(false);
    const std::tuple<QTableView*, session::CellKind, const char*, bool> buttons[] = {
        {w().potaTable, session::CellKind::TuneButton, "Not connected to a radio", true},
        {w().netsTable, session::CellKind::ConfirmButton, "Reading your operator key…", false},
        {w().netsTable, session::CellKind::UnconfirmButton, "Reading your operator key…", false}};
    for (const auto& [view, kind, said, enabled] : buttons) {
        const QString action = ui::buttonActionName(kind);
        int column = 0;
        while (view->model()->index(0, column).data(session::ButtonRole) != int(kind))
            ++column;
        QAccessibleInterface* table = QAccessible::queryAccessibleInterface(view);
        // The header row comes first, after the corner of the (hidden) row header.
        EXPECT_EQ(table->child(column + 1)->text(QAccessible::Name), session::buttonLabel(kind));
        QAccessibleInterface* cell = table->tableInterface()->cellAt(0, column);
        ASSERT_TRUE(cell && cell->actionInterface()) << action.toStdString();
        EXPECT_EQ(cell->actionInterface()->actionNames().value(0), action);
        EXPECT_EQ(cell->state().disabled, !enabled) << action.toStdString();
        cell->actionInterface()->doAction(action);
        EXPECT_EQ(told->text(), QString::fromUtf8(said));
    }

    w().mainTab->setCurrentIndex(1);
    w().potaTable->selectRow(0);
    server.route("/spot/activator",
                 {200, QByteArray(kPota).replace("[{", R"([{"activator":"W9NEW","frequency":"7074",
        "mode":"CW","comments":"","name":"New Park","spotTime":"2030-01-01T00:00:00",
        "latitude":1,"longitude":2,"locationDesc":"US-IL","reference":"US-0009"}, {)"),
                  "application/json"});
    QSignalSpy shown(&station->lists(), &session::ListsSession::listShown);
    station->refresh(session::Refresh::Pota);
    ASSERT_TRUE(shown.wait(2000));
    EXPECT_EQ(w().potaTable->selectionModel()->selectedRows().value(0).row(), 1)
        << "K1ABC, now below the new spot";
    EXPECT_TRUE(w().potaStatus->text().startsWith("2 rows, loaded "))
        << w().potaStatus->text().toStdString();
}
