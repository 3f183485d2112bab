#pragma once

#include <QByteArray>
#include <QString>

#include <QLatin1String>

#include <optional>
#include <span>
#include <string_view>
#include <vector>

namespace feeds {

// The spot services reply with one JSON array of flat objects, of which a few keys matter.
// This reads such a body in one pass, strictly by the JSON grammar, keeping only the wanted
// keys of each element: several times faster than building a whole document first.

enum class JsonType { Missing, Null, Bool, Number, String, Array, Object };

// "null", "a number", ... for messages; "nothing" for a missing key.
QString jsonTypeName(JsonType type);

struct JsonField {
    JsonType type = JsonType::Missing;
    QString text; // the decoded text of a string
    // The JSON text of a number, pointing into the body; "true" or "false" for a boolean.
    std::string_view number;
};

struct JsonRecords {
    QString error; // why the body is not a JSON array; empty when it is
    std::vector<JsonType> elements;
    std::vector<JsonField> fields; // per element, one per wanted key, in the order of the keys

    JsonField& field(std::size_t element, std::size_t key, std::size_t keyCount) {
        return fields[element * keyCount + key];
    }
};

// The fields point into `body`, which must outlive the result.
JsonRecords readJsonRecords(const QByteArray& body, std::span<const std::string_view> keys);
JsonRecords readJsonRecords(QByteArray&& body, std::span<const std::string_view> keys) = delete;

// Reads the fields of one record; the first broken rule leaves its description in error(), and
// the record is then skipped whole.
class RecordReader {
public:
    RecordReader(JsonField* fields, std::span<const std::string_view> keys)
        : m_fields(fields)
        , m_keys(keys) {}

    bool ok() const { return m_error.isEmpty(); }
    const QString& error() const { return m_error; }
    JsonField& field(std::size_t key) { return m_fields[key]; }
    QLatin1String name(std::size_t key) const {
        return QLatin1String(m_keys[key].data(), qsizetype(m_keys[key].size()));
    }

    // A string that must be there.
    QString required(std::size_t key);
    // A string, or nothing when it is null or missing.
    std::optional<QString> optionalText(std::size_t key);
    // A string, "" when it is null or missing.
    QString text(std::size_t key) { return optionalText(key).value_or(QString()); }
    // A number that fits a 32-bit float, or nothing when it is null or missing.
    std::optional<float> optionalFloat(std::size_t key);

    // Keeps `description` when it is the first thing that broke the record.
    void fail(const QString& description) {
        if (m_error.isEmpty())
            m_error = description;
    }

private:
    void wrongType(std::size_t key, const char* expected);

    JsonField* m_fields;
    std::span<const std::string_view> m_keys;
    QString m_error;
};

} // namespace feeds
