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

} // namespace core
