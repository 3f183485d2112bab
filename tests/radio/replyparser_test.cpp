#include "radio/replyparser.h"

#include <gtest/gtest.h>

#include <optional>
#include <vector>

using radio::MeterReplyReader;

TEST(MeterReplies, ReadsTheLastSixCharactersOfEachMeterReply) {
    struct Case {
        std::vector<QByteArray> chunks;
        std::optional<int> last; // value after the final chunk, if any chunk gave one
    };
    const std::vector<Case> cases = {
        {{"RM1123456;"}, 123456},
        {{"RM0128;"}, 0}, // "RM0128" is the last six characters: not a number
        {{"\nRM1000042;"}, 42},
        {{"RM1000001;RM1000002;"}, 2},
        {{"FA014074000;"}, std::nullopt},
        {{"RM1-00042;"}, -42},
        {{"RM1000007;FA014074000;"}, 7},
        {{"RM1000007"}, std::nullopt}, // waits for its terminator
    };
    for (const Case& c : cases) {
        MeterReplyReader reader;
        std::optional<int> value;
        for (const QByteArray& chunk : c.chunks)
            if (auto v = reader.feed(chunk))
                value = v;
        EXPECT_EQ(value, c.last) << c.chunks.front().toStdString();
    }
}

TEST(MeterReplies, ReplySplitAcrossChunksReadsAsOne) {
    MeterReplyReader reader;
    EXPECT_EQ(reader.feed("RM11"), std::nullopt);
    EXPECT_EQ(reader.feed("23456;RM"), 123456);
    EXPECT_EQ(reader.feed("1000099;"), 99);
}

TEST(MeterReplies, NonUtf8ChunksAreIgnoredWhole) {
    MeterReplyReader reader;
    // A CI-V frame echoed by an Icom radio carries FE and FD, which never occur in UTF-8.
    EXPECT_EQ(reader.feed(QByteArray::fromHex("fefe94e0fbfd") + "RM1000001;"), std::nullopt);
    EXPECT_TRUE(reader.pendingTail().isEmpty());
}

TEST(MeterReplies, EndlessGarbageWithoutTerminatorIsNotHoarded) {
    MeterReplyReader reader;
    for (int i = 0; i < 100; ++i)
        reader.feed(QByteArray(10, 'x'));
    EXPECT_LE(reader.pendingTail().size(), MeterReplyReader::kMaxTail);
    EXPECT_EQ(reader.feed(";RM1000005;"), 5);
}
