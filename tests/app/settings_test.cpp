#include "controllerfixture.h"

#include <QAction>
#include <QComboBox>
#include <QPushButton>
#include <QTabWidget>

TEST_F(ControllerTest, FirstStartRestoresDefaultsAndStartsEveryFetchOnce) {
    controller->awakeFromNib();
    EXPECT_TRUE(w().menuItemPreferencesSounds->isChecked());
    EXPECT_EQ(w().menuItemPreferencesSounds->property("tag").toInt(), 901);
    EXPECT_EQ(w().RadioPopUpButton->currentIndex(), 0);
    EXPECT_EQ(w().PortPopUpButton->currentIndex(), -1);

    ASSERT_TRUE(waitFor([&] { return server.requests().size() >= 7; }, 3000));
    for (const char* path : {"/spot/activator", "/api/GetActiveNets.php", "/api/spots/-3/all",
                             "/nets.php", "/mw.php", "/solarxml.php", "/bandhopper/version.txt"})
        EXPECT_EQ(server.count(path), 1) << path;

    controller->awakeFromNib(); // a second load of the layout neither restores nor fetches
    settle(200);
    EXPECT_EQ(server.requests().size(), 7);
}

TEST_F(ControllerTest, StoredChoicesArePreselectedWithoutChoosingARadio) {
    settings->setValue("defaultRadio", "Icom IC-7300");
    settings->setValue("defaultPort", "ttyUSB1");
    settings->setValue("defaultBaud", "38400");
    settings->setValue("voice", "0");
    settings->setValue("sounds", "0");
    makeController();
    controller->awakeFromNib();
    EXPECT_EQ(w().RadioPopUpButton->currentText(), "Icom IC-7300");
    EXPECT_EQ(w().BaudPopUpButton->currentText(), "38400");
    EXPECT_EQ(w().PortPopUpButton->currentText(), "ttyUSB1");
    EXPECT_TRUE(out.contains("38400"));
    EXPECT_EQ(controller->kvRadio, "");
    EXPECT_EQ(controller->kvIC, "70");
    EXPECT_FALSE(w().menuItemPreferencesVoice->isChecked());
    EXPECT_EQ(w().menuItemPreferencesVoice->property("tag").toInt(), 1900);
    EXPECT_EQ(w().menuItemPreferencesSounds->property("tag").toInt(), 1901);
    // The restored port is the one Connect opens, at the restored rate.
    ASSERT_NE(controller->serialPort(), nullptr);
    EXPECT_EQ(controller->serialPort()->description(), "ttyUSB1");
    EXPECT_EQ(controller->serialPort()->baudRate(), 38400);
}

TEST_F(ControllerTest, MenuTogglesPersistAcrossRestarts) {
    controller->awakeFromNib();
    controller->goMainMenu(w().menuItemPreferencesVoice);
    EXPECT_EQ(controller->kvVoiceGuide, "0");
    EXPECT_EQ(w().menuItemPreferencesVoice->property("tag").toInt(), 1900);
    controller->goMainMenu(w().menuItemPreferencesSounds);
    controller->goMainMenu(w().menuItemPreferencesSounds); // and back on
    EXPECT_EQ(controller->kvSounds, "1");

    makeController();
    controller->awakeFromNib();
    EXPECT_EQ(controller->kvVoiceGuide, "0");
    EXPECT_FALSE(w().menuItemPreferencesVoice->isChecked());
    EXPECT_EQ(controller->kvSounds, "1");
    controller->goMainMenu(w().menuItemPreferencesVoice);
    EXPECT_EQ(settings->value("voice").toString(), "1");
    EXPECT_EQ(w().menuItemPreferencesVoice->property("tag").toInt(), 900);

    controller->announce("CQ");
    EXPECT_EQ(speech.spoken, QStringList{"CQ"});
}

TEST_F(ControllerTest, RadioChoiceIsSaidAndRemembered) {
    for (const auto& [title, line] :
         {std::pair{"Icom IC-7300", "I 94"}, std::pair{"Yaesu FT-710", "Y 00"}}) {
        w().RadioPopUpButton->setCurrentText(title);
        controller->goRadio(w().RadioPopUpButton);
        EXPECT_EQ(out.last(), line);
        EXPECT_EQ(settings->value("defaultRadio").toString(), title);
    }
}

TEST_F(ControllerTest, RefreshTagsFetchTheirListAndPlayFunk) {
    server.route("/spot/activator", {200, "[]"});
    server.route("/solarxml.php", {200, fixture("solarxml.xml")});
    controller->awakeFromNib();
    ASSERT_TRUE(waitFor([&] { return server.requests().size() >= 7; }, 3000));
    settle(2100);
    sounds.played.clear();
    const auto before = server.requests().size();

    for (int tag : {806, 807, 808, 809, 4711})
        go(tag);
    settle(100);
    EXPECT_EQ(server.requests().size(), before);
    EXPECT_TRUE(browser.opened.isEmpty());

    go(810);
    go(811);
    ASSERT_TRUE(waitFor([&] { return sounds.played.size() == 2; }, 3000));
    EXPECT_EQ(sounds.played, (QStringList{"Funk", "Funk"}));
    EXPECT_EQ(server.count("/solarxml.php"), 2);
    EXPECT_EQ(server.count("/spot/activator"), 2);
    EXPECT_EQ(server.count("/mw.php"), 1) << "no refresh reloads the MW list";

    controller->goMainMenu(w().menuItemPreferencesSounds);
    go(814);
    settle(2200);
    EXPECT_EQ(sounds.played.size(), 2) << "sounds off: no Funk";

    go(805);
    controller->showHelp();
    ASSERT_EQ(browser.opened.size(), 2);
    EXPECT_EQ(browser.opened[0].path(), "/bandhopper/");
}

TEST_F(ControllerTest, TabChangesAreReportedByIdentifier) {
    w().mainTab->setCurrentIndex(2);
    w().mainTab->setCurrentIndex(0);
    EXPECT_EQ(out.mid(out.size() - 2), (QStringList{"sotaTab", "radioTab"}));
}
