#pragma once

#include <QString>
#include <QStringList>

namespace radio {

// Titles of the radio pop-up, top to bottom: the Yaesu models occupy the first three places,
// every Icom model after them carries its exact model-table title, and the last item stands for
// any radio behind Hamlib's rigctld.
QStringList radioPopUpTitles();

// "Hamlib rigctld (network)".
QString rigctldTitle();

// CI-V address of an Icom model by its pop-up title; "00" for any other title.
QString civAddressForTitle(const QString& title);

struct RadioChoice {
    QString familyCode; // "Y", "I", or "R" for rigctld
    QString civAddress; // two upper-case hex digits
};

// The family follows the item's position (index < 3, or no selection, is Yaesu) and the address
// follows its title; the two are deliberately not cross-checked. The rigctld item is known by
// its title alone and has a family of its own.
RadioChoice chooseRadio(int selectedIndex, const QString& selectedTitle);

} // namespace radio
