#include "app/logdialogs.h"
#include "testing.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QTest>
#include <QTimeZone>

// The contact dialog: every field named for a screen reader and reachable through its label;
// the mode's default reports follow a change of mode unless typed over; Enter logs the fields,
// keeping those it does not show; Escape cancels.
TEST(LogContactDialog, LogsWhatIsShownAndKeepsTheRest) {
    logbook::Contact start;
    start.call = "K1ABC";
    start.start = QDateTime(QDate(2026, 12, 7), QTime(22, 15), QTimeZone::utc());
    start.frequencyHz = 14'074'000;
    start.band = "20m";
    start.mode = "FT8";
    start.rstSent = start.rstReceived = "-10";
    logbook::setReference(start, logbook::Program::Pota, "US-1234,US-5678");
    start.extra = {{"GRIDSQUARE", "FN31"}};
    app::LogContactDialog dialog(start, false);
    QSignalSpy chosen(&dialog, &app::LogContactDialog::chosen);
    for (QWidget* field : dialog.findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly)) {
        if (qobject_cast<QLineEdit*>(field) || qobject_cast<QComboBox*>(field)) {
            EXPECT_FALSE(field->accessibleName().isEmpty()) << field->metaObject()->className();
        }
    }
    for (QLabel* label : dialog.findChildren<QLabel*>())
        EXPECT_TRUE(!label->text().endsWith(u':') || label->buddy()) << label->text().toStdString();
    auto* mode = dialog.findChild<QComboBox*>();
    mode->setCurrentText("USB");
    const auto fields = dialog.findChildren<QLineEdit*>();
    const auto field = [&](const char* name) {
        for (QLineEdit* f : fields)
            if (f->accessibleName() == QLatin1String(name))
                return f;
        return static_cast<QLineEdit*>(nullptr);
    };
    EXPECT_EQ(field("Report sent")->text(), "59");
    field("Report received")->setText("57");
    mode->setCurrentText("CW");
    EXPECT_EQ(field("Report sent")->text(), "599");
    EXPECT_EQ(field("Report received")->text(), "57");
    field("Comment")->setText("tnx");
    dialog.show();
    QTest::keyClick(&dialog, Qt::Key_Return);
    ASSERT_EQ(chosen.size(), 1);
    logbook::Contact expected = start;
    expected.mode = "CW";
    expected.rstSent = "599";
    expected.rstReceived = "57";
    expected.comment = "tnx";
    EXPECT_TRUE(chosen.first().first().value<logbook::Contact>() == expected);

    app::LogContactDialog cancelled(start, false);
    QSignalSpy none(&cancelled, &app::LogContactDialog::chosen);
    cancelled.show();
    QTest::keyClick(&cancelled, Qt::Key_Escape);
    EXPECT_TRUE(none.isEmpty());
    EXPECT_FALSE(cancelled.isVisible());
}
