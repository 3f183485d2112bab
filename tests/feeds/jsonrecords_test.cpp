#include "feeds/jsonrecords.h"

#include <gtest/gtest.h>

#include <array>
#include <vector>

using namespace feeds;

namespace {

constexpr std::array<std::string_view, 2> kKeys = {"a", "b"};

TEST(JsonRecords, FollowsTheGrammarStrictly) {
    using T = JsonType;
    struct Case {
        QByteArray body;
        bool valid;
        std::vector<JsonType> elements;
    };
    const std::vector<Case> cases = {
        {"[]", true, {}},
        {" \xEF\xBB\xBF[]", false, {}}, // a byte-order mark only at the very start
        {"\xEF\xBB\xBF [ ] \n", true, {}},
        {R"([{}, 1, -0.5e+3, "x", null, true, [1, [2]], {"c": {"d": []}}])",
         true,
         {T::Object, T::Number, T::Number, T::String, T::Null, T::Bool, T::Array, T::Object}},
        {"", false, {}},
        {"{\"a\": 1}", false, {}},
        {"\"text\"", false, {}},
        {"<html></html>", false, {}},
        {"[1,]", false, {}},
        {"[01]", false, {}},
        {"[1.]", false, {}},
        {"[.5]", false, {}},
        {"[1e]", false, {}},
        {"[tru]", false, {}},
        {"[\"a\tb\"]", false, {}},
        {"[\"\\x\"]", false, {}},
        {"[\"\\u12G4\"]", false, {}},
        {"[\"open]", false, {}},
        {"[\"\xFF\"]", false, {}},
        {"[{\"\xC3\"\"a\": 1}]", false, {}},
        {"[{\"a\" 1}]", false, {}},
        {"[{a: 1}]", false, {}},
        {"[{\"a\": 1,}]", false, {}},
        {"[] []", false, {}},
        {"[", false, {}},
        {QByteArray(300, '[') + QByteArray(300, ']'), false, {}},
        {QByteArray(200000, '['), false, {}},
    };
    for (const Case& c : cases) {
        const JsonRecords records = readJsonRecords(c.body, kKeys);
        EXPECT_EQ(records.error.isEmpty(), c.valid) << c.body.left(40).toStdString();
        EXPECT_EQ(records.elements, c.elements) << c.body.left(40).toStdString();
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
