#include "feeds/jsonrecords.h"
#include "feeds/spotfeeds.h"
#include "feeds/textfeed.h"

#include "fuzzcheck.h"

#include <QTimeZone>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdlib>
#include <limits>
#include <string>

// The POTA reply cut into rows: any body gives rows of ten texts, freshest first.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const QDateTime now(QDate(2024, 12, 1), QTime(0, 0), QTimeZone::utc());
    const QByteArray body =
        QByteArray::fromRawData(reinterpret_cast<const char*>(data), qsizetype(size));
    const feeds::ParsedRows parsed = feeds::parsePotaSpots(body, now);

    qint64 previousAge = std::numeric_limits<qint64>::min();
    for (const feeds::Row& row : parsed.rows) {
        FUZZ_CHECK(row.size() == feeds::columnCount(feeds::ListKind::Pota));
        FUZZ_CHECK(!row[3].contains(QLatin1String("qrt"), Qt::CaseInsensitive), row[3]);
        // Rows whose age is not a number sort after every real age.
        bool isNumber = false;
        const qint64 age = row[5].toLongLong(&isNumber);
        const qint64 key = isNumber ? age : feeds::kNotANumberKey;
        FUZZ_CHECK(key >= previousAge, row[5]);
        previousAge = key;
    }
    for (const QString& line : parsed.diagnostics)
        FUZZ_CHECK(line.startsWith(QLatin1String("POTA spots: ")) && !line.contains(u'\n'), line);

    // A coordinate beyond the 32-bit float range is never shown as some other number: its
    // spot is skipped. strtod (C locale: the fuzzer never sets one) is the reference reading.
    static constexpr std::array<std::string_view, 2> kCoordinates = {"latitude", "longitude"};
    feeds::JsonRecords records = feeds::readJsonRecords(body, kCoordinates);
    for (std::size_t element = 0; element < records.elements.size(); ++element) {
        for (std::size_t key = 0; key < kCoordinates.size(); ++key) {
            const feeds::JsonField& field = records.field(element, key, kCoordinates.size());
            if (field.type != feeds::JsonType::Number)
                continue;
            const double value = std::strtod(std::string(field.number).c_str(), nullptr);
            if (std::fabs(value) <= double(std::numeric_limits<float>::max()))
                continue;
            const QString skipped = QStringLiteral("POTA spots: spot %1 skipped").arg(element);
            FUZZ_CHECK(
                std::any_of(parsed.diagnostics.begin(), parsed.diagnostics.end(),
                            [&](const QString& line) { return line.startsWith(skipped); }),
                skipped + QStringLiteral(" expected for ") +
                    QString::fromLatin1(field.number.data(), qsizetype(field.number.size())));
        }
    }
    return 0;
}
