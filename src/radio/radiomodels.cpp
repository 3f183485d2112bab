#include "radio/radiomodels.h"

#include <array>
#include <utility>

namespace radio {
namespace {

constexpr int kYaesuItems = 3;

struct IcomModel {
    const char* title;
    const char* address;
};

constexpr std::array<IcomModel, 15> kIcomModels{{
    {"Icom IC-705", "A4"},
    {"Icom IC-756Pro", "5C"},
    {"Icom IC-756ProII", "64"},
    {"Icom IC-756ProIII", "6E"},
    {"Icom IC-7000", "70"},
    {"Icom IC-7100", "88"},
    {"Icom IC-7200", "76"},
    {"Icom IC-7300", "94"},
    {"Icom IC-7410", "80"},
    {"Icom IC-7600", "7A"},
    {"Icom IC-7610", "98"},
    {"Icom IC-7700", "74"},
    {"Icom IC-7800", "6A"},
    {"Icom IC-7850", "8E"},
    {"Icom IC-7851", "8E"},
}};

} // namespace

QStringList radioPopUpTitles() {
    QStringList titles{QStringLiteral("Yaesu FTDX10"), QStringLiteral("Yaesu FTDX101"),
                       QStringLiteral("Yaesu FT-710")};
    for (const auto& model : kIcomModels)
        titles << QString::fromLatin1(model.title);
    return titles << rigctldTitle();
}

QString rigctldTitle() {
    return QStringLiteral("Hamlib rigctld (network)");
}

QString civAddressForTitle(const QString& title) {
    for (const auto& model : kIcomModels)
        if (title == QLatin1String(model.title))
            return QString::fromLatin1(model.address);
    return QStringLiteral("00");
}

RadioChoice chooseRadio(int selectedIndex, const QString& selectedTitle) {
    if (selectedIndex >= 0 && selectedTitle == rigctldTitle())
        return {QStringLiteral("R"), QStringLiteral("00")};
    return {selectedIndex < kYaesuItems ? QStringLiteral("Y") : QStringLiteral("I"),
            civAddressForTitle(selectedTitle)};
}

} // namespace radio
