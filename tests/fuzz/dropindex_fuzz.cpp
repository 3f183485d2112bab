#include "ui/cells.h"

#include "fuzzcheck.h"

#include <cstring>
#include <limits>

namespace {

// The value the text names by the grammar (optional sign, decimal digits), computed wide so
// the reference cannot overflow; nullopt for text outside the grammar or outside qint64.
std::optional<qint64> referenceIndex(QStringView text) {
    qsizetype i = 0;
    const bool negative = text.startsWith(u'-');
    if (negative || text.startsWith(u'+'))
        ++i;
    if (i == text.size())
        return std::nullopt;
    __int128 value = 0;
    for (; i < text.size(); ++i) {
        const char16_t c = text[i].unicode();
        if (c < u'0' || c > u'9')
            return std::nullopt;
        value = value * 10 + (c - u'0');
        if (value > __int128(std::numeric_limits<qint64>::max()) + 1)
            return std::nullopt;
    }
    if (negative)
        value = -value;
    if (value > std::numeric_limits<qint64>::max() || value < std::numeric_limits<qint64>::min())
        return std::nullopt;
    return qint64(value);
}

} // namespace

// Drag-and-drop payloads are text from any application. The first byte picks UTF-8 or raw
// UTF-16 reading; a newline separates the dragged row's text from the drop row's.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzzcheck::ByteReader input(data, size);
    const bool utf16 = input.byte() & 1;
    QString text;
    if (utf16) {
        // Copied, not cast: the bytes after the first one are not aligned for char16_t.
        text.resize(qsizetype(input.restSize() / 2));
        std::memcpy(text.data(), input.rest(), size_t(text.size()) * sizeof(char16_t));
    } else {
        text = QString::fromUtf8(input.rest(), qsizetype(input.restSize()));
    }

    const qsizetype newline = text.indexOf(u'\n');
    const QStringView sourceText =
        newline < 0 ? QStringView(text) : QStringView(text).left(newline);
    const QStringView dropText = newline < 0 ? QStringView() : QStringView(text).mid(newline + 1);

    const std::optional<qint64> source = ui::parseDroppedIndex(sourceText);
    FUZZ_CHECK(source == referenceIndex(sourceText), sourceText.toString());
    const std::optional<qint64> dropRow = ui::parseDroppedIndex(dropText);
    FUZZ_CHECK(dropRow == referenceIndex(dropText), dropText.toString());

    if (source && dropRow) {
        const qint64 destination = ui::dropDestination(*source, *dropRow);
        FUZZ_CHECK(destination == (*source < *dropRow ? *dropRow - 1 : *dropRow));
    }
    return 0;
}
