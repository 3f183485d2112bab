#include "feeds/jsonrecords.h"

#include <gtest/gtest.h>

#include <array>
#include <vector>

using namespace feeds;

namespace {

constexpr std::array<std::string_view, 2> kKeys = {"a", "b"};

TEST(JsonRecords, FollowsTheGrammarStrictly) {
    using T = JsonType;
    // A byte-order mark is allowed only at the very start.
    const std::vector<std::pair<QByteArray, std::vector<JsonType>>> valid = {
        {"\xEF\xBB\xBF [ ] \n", {}},
        {R"([{}, 1, -0.5e+3, "x", null, true, [1, [2]], {"c": {"d": []}}])",
         {T::Object, T::Number, T::Number, T::String, T::Null, T::Bool, T::Array, T::Object}},
    };
    for (const auto& [body, elements] : valid) {
        const JsonRecords records = readJsonRecords(body, kKeys);
        EXPECT_TRUE(records.error.isEmpty()) << records.error.toStdString();
        EXPECT_EQ(records.elements, elements);
    }
    // Nesting deeper than the reader allows is refused, not followed down the stack.
    std::vector<QByteArray> invalid = {QByteArray(300, '[') + QByteArray(300, ']'),
                                       QByteArray(200000, '[')};
    for (const char* body : {" \xEF\xBB\xBF[]", "", "{\"a\": 1}", "\"text\"", "<html></html>",
                             "[1,]", "[01]", "[1.]", "[.5]", "[1e]", "[tru]", "[] []", "["})
        invalid.push_back(body);
    for (const char* body : {"[\"a\tb\"]", "[\"\\x\"]", "[\"\\u12G4\"]", "[\"open]", "[\"\xFF\"]",
                             "[{\"\xC3\"\"a\": 1}]", "[{\"a\" 1}]", "[{a: 1}]", "[{\"a\": 1,}]"})
        invalid.push_back(body);
    for (const QByteArray& body : invalid) {
        const JsonRecords records = readJsonRecords(body, kKeys);
        EXPECT_FALSE(records.error.isEmpty()) << body.left(40).toStdString();
        EXPECT_TRUE(records.elements.empty()) << body.left(40).toStdString();
    }
}

TEST(JsonRecords, KeepsOnlyTheWantedKeys) {
    const QByteArray body =
        R"([{"a": "caf\u00e9 \"\n\ud83d\ude00 \ud83d", "x": {"a": "nested"}, "b": -1.5e3},)"
        "{\"\\u0061\": \"first\", \"a\": \"\xC3\xA9 last\", \"b\": [1]}, {}]";
    JsonRecords records = readJsonRecords(body, kKeys);
    ASSERT_TRUE(records.error.isEmpty()) << records.error.toStdString();
    ASSERT_EQ(records.elements.size(), 3u);
    EXPECT_EQ(records.field(0, 0, 2).text, QStringLiteral("caf\u00E9 \"\n\U0001F600 \uFFFD"));
    EXPECT_EQ(records.field(0, 1, 2).type, JsonType::Number);
    EXPECT_EQ(records.field(0, 1, 2).number, "-1.5e3");
    EXPECT_EQ(records.field(1, 0, 2).text, QStringLiteral("\u00E9 last"));
    EXPECT_EQ(records.field(1, 1, 2).type, JsonType::Array);
    EXPECT_EQ(records.field(2, 0, 2).type, JsonType::Missing);
}

} // namespace
