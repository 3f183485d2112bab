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
        {{"\nRM1123456;"}, 123456},
        {{"RM0128;"}, 0}, // "RM0128" is the last six characters: not a number
        {{"RM1-00042;"}, -42},
        {{"RM1000007;FA014074000;"}, 7},
        {{"FA014074000;"}, std::nullopt},
        {{"RM1000007"}, std::nullopt},          // waits for its terminator
        {{"RM11", "23456;RM", "1000099;"}, 99}, // split across reads
        // A CI-V frame echoed by an Icom radio carries FE and FD, which never occur in UTF-8:
        // the whole chunk is ignored.
        {{QByteArray::fromHex("fefe94e0fbfd") + "RM1000001;"}, std::nullopt},
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

TEST(MeterReplies, EndlessGarbageWithoutTerminatorIsNotHoarded) {
    MeterReplyReader reader;
    for (int i = 0; i < 100; ++i)
        reader.feed(QByteArray(10, 'x'));
    EXPECT_LE(reader.pendingTail().size(), MeterReplyReader::kMaxTail);
    EXPECT_EQ(reader.feed(";RM1000005;"), 5);
}
