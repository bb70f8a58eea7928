// Frames, CRC and byte order, byte for byte.

#include "link/modComFun.h"
#include "support/bytes.h"

#include <gtest/gtest.h>

#include <cstring>

using namespace modComFun;
using testbytes::Bytes;

TEST(Crc, EveryTableEntryKnownVectorsAndByteOrder)
{
    BuildCrcTable();
    // After the initial 0xFFFF, one byte picks each table entry once.
    for (int b = 0; b < 256; ++b)
        EXPECT_EQ(Crc16(Bytes{static_cast<std::uint8_t>(b)}, 1), testbytes::crc16({static_cast<std::uint8_t>(b)})) << b;

    Bytes frame{'1', '2', '3', '4', '5', '6', '7', '8', '9', 0, 0};
    EXPECT_EQ(Crc16(frame, 9), 0x4B37);
    EXPECT_EQ(Crc16(frame, 0), 0xFFFF);
    // A Modbus read request of a well-known register: 01 03 00 00 00 0A -> C5 CD.
    EXPECT_EQ(Crc16(Bytes{0x01, 0x03, 0x00, 0x00, 0x00, 0x0A}, 6), 0xCDC5);

    AppendCrc(frame.data(), 9);
    EXPECT_EQ(Bytes(frame.begin() + 9, frame.end()), (Bytes{0x37, 0x4B}));
    EXPECT_TRUE(CrcMatches(frame.data(), 11));
    // The right CRC in high-low order is not accepted; nor is a frame too short to hold one.
    std::swap(frame[9], frame[10]);
    EXPECT_FALSE(CrcMatches(frame.data(), 11));
    EXPECT_FALSE(CrcMatches(frame.data(), 2));
}

TEST(ByteOrder, ShiftsWordsSinglesAndText)
{
    EXPECT_EQ(ShiftRight(-256, 8), -1);
    EXPECT_EQ(ShiftRight(-257, 8), -2); // floor, not truncation
    EXPECT_EQ(ShiftRight(52719, 8), 205);

    Bytes b(4);
    const auto two = [&b] { return Bytes(b.begin(), b.begin() + 2); };
    PutWord(-2, b.data());
    EXPECT_EQ(two(), (Bytes{0xFE, 0xFF}));
    PutInteger(-32768, b.data());
    EXPECT_EQ(two(), (Bytes{0x00, 0x80}));
    EXPECT_EQ(GetInteger(b.data()), -32768);
    const std::uint8_t ff[] = {0x00, 0xFF, 0xFF};
    EXPECT_EQ(GetWordAt(ff, 1), 65535);
    EXPECT_EQ(GetInteger(ff + 1), -1);

    PutSingle(-1481.25f, b.data());
    EXPECT_EQ(b, testbytes::floatBytes(-1481.25f));
    EXPECT_EQ(GetSingle(b.data()), -1481.25f);
    PutLong(0x01020304, b.data());
    EXPECT_EQ(b, (Bytes{4, 3, 2, 1}));

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
    // kind, b, w: the request before its CRC.
    struct Case {
        int kind;
        std::uint8_t b;
        std::int32_t w;
        Bytes body;
    };
    const Case cases[] = {
        {0, 1, 0x0102, {17, 30, 0xEF, 0xCD, 1, 0x02, 0, 0}},
        {1, 2, 0, {17, 31, 0xEF, 0xCD, 2, 0}},
        {2, 9, 9, {17, 32, 0xEF, 0xCD, 0, 0}},
        {3, 9, 9, {17, 34, 0xEF, 0xCD, 0, 0}},
        {4, 3, 0x1234, {17, 46, 0xEF, 0xCD, 3, 0x34, 0x12, 0, 0, 0}},
        {5, 1, 0, {17, 38, 0xEF, 0xCD, 1, 0}},
        {6, 4, -1, {17, 46, 0xEF, 0xCD, 4, 0xFF, 0xFF, 1, 0, 0}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(CommandFrame(c.kind, 17, c.b, c.w), testbytes::withCrc(c.body)) << "kind " << c.kind;
    EXPECT_TRUE(CommandFrame(7, 17, 0, 0).empty());
    EXPECT_TRUE(CommandFrame(-1, 17, 0, 0).empty());

    // The identification request, CRC worked out by hand.
    EXPECT_EQ(ShortCommandFrame(17, 34), (Bytes{0x11, 0x22, 0xEF, 0xCD, 0x00, 0x00, 0x5E, 0x76}));
    EXPECT_EQ(RequestFrame(5, WriteImage, {3, 2, 0xAA, 0xBB}), testbytes::withCrc({5, 33, 0xEF, 0xCD, 3, 2, 0xAA, 0xBB}));
    EXPECT_EQ(AnswerFrame(17, Identify, {0, 0, 1, 5, 0x39, 0x30}), testbytes::withCrc({17, 34, 0, 0, 1, 5, 0x39, 0x30}));
}
