#include "radio/radiomodels.h"

#include <gtest/gtest.h>

using radio::chooseRadio;

TEST(RadioModels, PopUpStartsWithThreeYaesuThenEveryIcomTitle) {
    const QStringList titles = radio::radioPopUpTitles();
    ASSERT_EQ(titles.size(), 18);
    EXPECT_EQ(titles.mid(0, 3), (QStringList{"Yaesu FTDX10", "Yaesu FTDX101", "Yaesu FT-710"}));
    for (int i = 3; i < titles.size(); ++i)
        EXPECT_NE(radio::civAddressForTitle(titles[i]), "00") << titles[i].toStdString();
}

TEST(RadioModels, ChoiceFollowsPositionForFamilyAndTitleForAddress) {
    struct Case {
        int index;
        const char* title;
        const char* family;
        const char* address;
    };
    const Case cases[] = {
        {10, "Icom IC-7300", "I", "94"},
        {0, "Yaesu FTDX10", "Y", "00"},
        {1, "Icom IC-705", "Y", "A4"}, // an Icom title among the Yaesu places stays Yaesu
        {-1, "", "Y", "00"},           // nothing selected
        {17, "Icom IC-7851", "I", "8E"},
        {7, "icom ic-7300", "I", "00"}, // titles compare exactly
        {8, "Icom IC-7300 ", "I", "00"},
    };
    for (const Case& c : cases) {
        const auto choice = chooseRadio(c.index, QString::fromUtf8(c.title));
        EXPECT_EQ(choice.kvRadio, c.family) << c.title;
        EXPECT_EQ(choice.kvIC, c.address) << c.title;
    }
}
