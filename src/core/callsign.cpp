#include "core/callsign.h"

namespace core {

std::optional<QString> readCallsign(QStringView text) {
    const QString call = text.trimmed().toString().toUpper();
    if (call.size() < 3 || call.size() > 16 || call.startsWith(u'/') || call.endsWith(u'/') ||
        call.contains(QStringLiteral("//")) || call.count(u'/') > 2)
        return std::nullopt;
    bool letter = false;
    bool digit = false;
    for (QChar c : call) {
        const char16_t u = c.unicode();
        if (u >= u'A' && u <= u'Z')
            letter = true;
        else if (u >= u'0' && u <= u'9')
            digit = true;
        else if (u != u'/')
            return std::nullopt;
    }
    if (!letter || !digit)
        return std::nullopt;
    return call;
}

std::optional<QString> readGridLocator(QStringView text) {
    const QString grid = text.trimmed().toString().toUpper();
    if (grid.size() != 4 && grid.size() != 6)
        return std::nullopt;
    for (qsizetype i = 0; i < grid.size(); ++i) {
        const QChar c = grid[i];
        const bool ok = i < 2 ? c >= u'A' && c <= u'R'
                              : (i < 4 ? c >= u'0' && c <= u'9' : c >= u'A' && c <= u'X');
        if (!ok)
            return std::nullopt;
    }
    return grid.left(4) + grid.mid(4).toLower();
}

} // namespace core
