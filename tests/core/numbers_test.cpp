#include "core/callsign.h"
#include "core/numbers.h"
#include "core/servicehosts.h"
#include "testing.h"

using namespace core;

TEST(Float32, StrictReadingAndShortestText) {
    const float inf = std::numeric_limits<float>::infinity();
    const std::vector<std::pair<QString, float>> valid = {
        {"+5", 5.0f},  {"5.", 5.0f},    {".5", 0.5f},    {"1.5E-1", 0.15f},
        {"1e39", inf}, {"-1e39", -inf}, {"1e-50", 0.0f}, {"007.5", 7.5f},
    };
    for (const auto& [text, value] : valid)
        EXPECT_EQ(parseFloat32(text), value) << text.toStdString();
    // The last one is an Arabic-Indic digit, not an ASCII one.
    for (const char* text : {"", " 1", "1 ", "1e", ".", "+", "inf", "nan", "0x10", "1,5", "1.2.3",
                             "e5", "--1", "\u0661"})
        EXPECT_FALSE(parseFloat32(QString::fromUtf8(text))) << text;

    // The shortest text is plain notation that reads back as the same float.
    const std::vector<std::pair<float, QString>> texts = {
        {0.0f, "0.0"},         {-0.0f, "-0.0"},      {-71.0f, "-71.0"},
        {137.542f, "137.542"}, {1e-7f, "0.0000001"}, {14.3f * 100000.0f, "1430000.0"},
    };
    for (const auto& [value, text] : texts)
        EXPECT_EQ(shortestFloatText(value), text);
    for (const float value : {1e-45f, 3.4e38f, 7.1234565f, 123456.79f, 2000099.9f})
        EXPECT_EQ(parseFloat32(shortestFloatText(value)), value) << value;
}

TEST(ParseWholeNumber, SignAndAsciiDigitsThatFit) {
    EXPECT_EQ(parseWholeNumber(u"+007"), 7);
    EXPECT_EQ(parseWholeNumber(u"-9223372036854775808"), std::numeric_limits<qint64>::min());
    for (const char* text : {"9223372036854775808", "", "-", "+-1", " 1", "1.0", "\u0663"})
        EXPECT_EQ(parseWholeNumber(QString::fromUtf8(text)), std::nullopt) << text;
}

TEST(GridLocator, FourOrSixCharactersInTheUsualSpelling) {
    for (const auto& [typed, read] : std::vector<std::pair<const char*, const char*>>{
             {"fn31", "FN31"}, {" FN31PR ", "FN31pr"}, {"rr99xx", "RR99xx"}, {"AA00aa", "AA00aa"}})
        EXPECT_EQ(readGridLocator(QString::fromLatin1(typed)), QString(read)) << typed;
    for (const char* typed : {"", "FN3", "FN31p", "FN31pr0", "SN31", "FN3A", "FN31py", "F N31"})
        EXPECT_EQ(readGridLocator(QString::fromLatin1(typed)), std::nullopt) << typed;
}

TEST(ServiceUrl, ReplacesPathAndQuery) {
    const QUrl base(QStringLiteral("http://127.0.0.1:8080/old?x=1#top"));
    EXPECT_EQ(serviceUrl(base, "/nets.php"), QUrl("http://127.0.0.1:8080/nets.php"));
    EXPECT_EQ(serviceUrl(base, "/api/spots?a=1&b=2"),
              QUrl("http://127.0.0.1:8080/api/spots?a=1&b=2"));
}
