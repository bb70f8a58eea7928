// Frames, CRC and byte order, byte for byte.

#include "link/modComFun.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

using namespace modComFun;

namespace {
std::vector<std::uint8_t> bytes(std::initializer_list<int> list)
{
    std::vector<std::uint8_t> v;
    for (int x : list)
        v.push_back(static_cast<std::uint8_t>(x));
    return v;
}
} // namespace

TEST(Crc, TableAndKnownVectors)
{
    BuildCrcTable();
    EXPECT_EQ(CrcTable()[0], 0x0000);
    EXPECT_EQ(CrcTable()[1], 0xC0C1);
    EXPECT_EQ(CrcTable()[128], 0xA001);
    EXPECT_EQ(CrcTable()[255], 0x4040);

    const char* digits = "123456789";
    const auto* d = reinterpret_cast<const std::uint8_t*>(digits);
    EXPECT_EQ(Crc16(d, 9), 0x4B37);
    EXPECT_EQ(Crc16(d, 0), 0xFFFF);

    std::vector<std::uint8_t> frame(d, d + 9);
    frame.resize(11);
    AppendCrc(frame.data(), 9);
    EXPECT_EQ(frame[9], 0x37);
    EXPECT_EQ(frame[10], 0x4B);
    EXPECT_TRUE(CrcMatches(frame.data(), 11));

    // The right CRC in high-low order is not accepted; nor is a frame too short to hold one.
    std::swap(frame[9], frame[10]);
    EXPECT_FALSE(CrcMatches(frame.data(), 11));
    EXPECT_FALSE(CrcMatches(frame.data(), 2));

    // A Modbus read request of a well-known register: 01 03 00 00 00 0A -> C5 CD.
    const auto modbus = bytes({0x01, 0x03, 0x00, 0x00, 0x00, 0x0A});
    EXPECT_EQ(Crc16(modbus, 6), 0xCDC5);
}

TEST(ByteOrder, ShiftsWordsSinglesAndText)
{
    EXPECT_EQ(ShiftRight(-1, 8) & 255, 255);
    EXPECT_EQ(ShiftRight(0xFFFF, 8), 255);
    EXPECT_EQ(ShiftRight(-256, 8), -1);
    EXPECT_EQ(ShiftRight(-257, 8), -2); // floor, not truncation
    EXPECT_EQ(ShiftRight(52719, 8), 205);

    std::uint8_t b[4] = {};
    PutWord(0x1234, b);
    EXPECT_EQ(b[0], 0x34);
    EXPECT_EQ(b[1], 0x12);
    PutWord(-2, b);
    EXPECT_EQ(b[0], 0xFE);
    EXPECT_EQ(b[1], 0xFF);
    PutInteger(-32768, b);
    EXPECT_EQ(b[0], 0x00);
    EXPECT_EQ(b[1], 0x80);
    EXPECT_EQ(GetInteger(b), -32768);
    const std::uint8_t ff[] = {0x00, 0xFF, 0xFF};
    EXPECT_EQ(GetWordAt(ff, 1), 65535);
    EXPECT_EQ(GetInteger(ff + 1), -1);

    PutSingle(1.0f, b);
    EXPECT_EQ(b[0], 0x00);
    EXPECT_EQ(b[1], 0x00);
    EXPECT_EQ(b[2], 0x80);
    EXPECT_EQ(b[3], 0x3F);
    PutSingle(-1481.25f, b);
    EXPECT_EQ(GetSingle(b), -1481.25f);
    PutLong(0x01020304, b);
    EXPECT_EQ(b[0], 4);
    EXPECT_EQ(b[3], 1);

    std::uint8_t field[12];
    std::memset(field, 0xAA, sizeof field);
    TextToField("KRB41", field);
    EXPECT_EQ(FieldToText(field, 10), "KRB41     ");
    EXPECT_EQ(field[10], 0xAA) << "a text field is exactly 10 bytes";
    TextToField("ABCDEFGHIJKLMN", field);
    EXPECT_EQ(FieldToText(field, 10), "ABCDEFGHIJ");
    TextToField("", field);
    EXPECT_EQ(FieldToText(field, 10), std::string(10, ' '));
}

TEST(Requests, EveryKindByteForByte)
{
    // kind: code, bytes on the wire, payload bytes 4.. (before the CRC)
    struct Case {
        int kind;
        std::uint8_t b;
        std::int32_t w;
        std::vector<std::uint8_t> body;
    };
    const Case cases[] = {
        {0, 1, 0x0102, bytes({17, 30, 0xEF, 0xCD, 1, 0x02, 0, 0})},
        {1, 2, 0, bytes({17, 31, 0xEF, 0xCD, 2, 0})},
        {2, 9, 9, bytes({17, 32, 0xEF, 0xCD, 0, 0})},
        {3, 9, 9, bytes({17, 34, 0xEF, 0xCD, 0, 0})},
        {4, 3, 0x1234, bytes({17, 46, 0xEF, 0xCD, 3, 0x34, 0x12, 0, 0, 0})},
        {5, 1, 0, bytes({17, 38, 0xEF, 0xCD, 1, 0})},
        {6, 4, -1, bytes({17, 46, 0xEF, 0xCD, 4, 0xFF, 0xFF, 1, 0, 0})},
    };
    for (const Case& c : cases) {
        const auto frame = CommandFrame(c.kind, 17, c.b, c.w);
        ASSERT_EQ(frame.size(), c.body.size() + 2) << "kind " << c.kind;
        EXPECT_TRUE(std::equal(c.body.begin(), c.body.end(), frame.begin())) << "kind " << c.kind;
        const std::uint16_t crc = Crc16(c.body, c.body.size());
        EXPECT_EQ(frame[c.body.size()], crc & 0xFF) << "kind " << c.kind;
        EXPECT_EQ(frame[c.body.size() + 1], crc >> 8) << "kind " << c.kind;
        EXPECT_EQ(frame.size() % 2, 0u);
    }
    EXPECT_TRUE(CommandFrame(7, 17, 0, 0).empty());
    EXPECT_TRUE(CommandFrame(-1, 17, 0, 0).empty());

    // The identification request, worked out by hand: CRC over 11 22 EF CD 00 00.
    const auto id = CommandFrame(3, 17, 0, 0);
    EXPECT_EQ(id, ShortCommandFrame(17, 34));
    EXPECT_EQ(id.size(), 8u);

    // Image blocks: 56 words are 122 bytes on the wire, 3 words 16.
    std::vector<std::uint8_t> payload56(2 + 2 * 56 + 2, 0);
    EXPECT_EQ(RequestFrame(17, WriteImage, payload56).size(), 122u);
    std::vector<std::uint8_t> payload3(2 + 2 * 3 + 2, 0);
    EXPECT_EQ(RequestFrame(17, WriteImage, payload3).size(), 16u);

    const auto answer = AnswerFrame(17, Identify, bytes({0, 0, 1, 5, 0x39, 0x30}));
    EXPECT_EQ(answer.size(), 10u);
    EXPECT_TRUE(CrcMatches(answer.data(), answer.size()));
}
