#pragma once

#include <QString>
#include <QStringList>

namespace radio {

// Titles of the radio pop-up, top to bottom: the Yaesu models occupy the first three places,
// every Icom model after them carries its exact model-table title.
QStringList radioPopUpTitles();

// CI-V address of an Icom model by its pop-up title; "00" for any other title.
QString civAddressForTitle(const QString& title);

struct RadioChoice {
    QString kvRadio; // "Y" or "I"
    QString kvIC;    // two upper-case hex digits
};

// The family follows the item's position (index < 3, or no selection, is Yaesu) and the address
// follows its title; the two are deliberately not cross-checked.
RadioChoice chooseRadio(int selectedIndex, const QString& selectedTitle);

} // namespace radio
