#include "feeds/spotfeeds.h"

#include "fuzzcheck.h"

#include <QRegularExpression>
#include <QTimeZone>

#include <cmath>

// The SOTA reply cut into rows: any body gives rows of ten texts on 2 to 69 MHz.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const QDateTime now(QDate(2024, 12, 1), QTime(0, 0), QTimeZone::utc());
    const QByteArray body =
        QByteArray::fromRawData(reinterpret_cast<const char*>(data), qsizetype(size));
    const feeds::ParsedRows parsed = feeds::parseSotaSpots(body, now);

    // One optional sign, then a decimal or a hexadecimal float: what the frequency of a kept
    // spot must look like.
    static const QRegularExpression kFloatText(QRegularExpression::anchoredPattern(QStringLiteral(
        "[+-]?(?:(?:[0-9]+\\.?[0-9]*|\\.[0-9]+)(?:[eE][+-]?[0-9]+)?"
        "|0[xX](?:[0-9a-fA-F]+\\.?[0-9a-fA-F]*|\\.[0-9a-fA-F]+)(?:[pP][+-]?[0-9]+)?)")));
    for (const feeds::Row& row : parsed.rows) {
        FUZZ_CHECK(row.size() == feeds::columnCount(feeds::ListKind::Sota));
        FUZZ_CHECK(kFloatText.match(row[2]).hasMatch(), row[2]);
        const std::optional<float> megahertz = feeds::parseFloat32(row[2]);
        FUZZ_CHECK(megahertz && std::trunc(*megahertz) >= 2.0f && std::trunc(*megahertz) < 70.0f,
                   row[2]);
    }
    for (const QString& line : parsed.diagnostics)
        FUZZ_CHECK(line.startsWith(QLatin1String("SOTA spots: ")) && !line.contains(u'\n'), line);
    return 0;
}
