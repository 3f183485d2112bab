#pragma once

#include <QByteArray>
#include <QString>

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

} // namespace feeds
