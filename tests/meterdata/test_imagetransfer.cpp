// The chunked image read (function code 32) and write (function code 33).

#include "link/modComFun.h"
#include "meterdata/modBinaryRW.h"

#include <gtest/gtest.h>

#include <array>
#include <memory>
#include <vector>

using namespace modData;
using namespace modBinaryRW;

namespace {

using Bytes = std::vector<std::uint8_t>;

// The link's receive buffer, holding one answer; the rest keeps bytes of an earlier answer.
struct Rx {
    std::array<std::uint8_t, 257> buffer;
    std::size_t count = 0;
};

Rx Answer(int mark, int totalWords, int words, const Bytes& data, std::size_t cutTo = 0)
{
    Bytes payload = {0, static_cast<std::uint8_t>(mark), static_cast<std::uint8_t>(totalWords & 0xFF),
                     static_cast<std::uint8_t>(totalWords >> 8), static_cast<std::uint8_t>(words), 0};
    payload.insert(payload.end(), data.begin(), data.end());
    Bytes frame = modComFun::AnswerFrame(17, 32, payload);
    if (cutTo != 0)
        frame.resize(cutTo);
    Rx rx;
    rx.buffer.fill(0xEE);
    std::copy(frame.begin(), frame.end(), rx.buffer.begin());
    rx.count = frame.size();
    return rx;
}

Bytes Pattern(std::size_t n, int start)
{
    Bytes b(n);
    for (std::size_t i = 0; i < n; ++i)
        b[i] = static_cast<std::uint8_t>(start + 7 * static_cast<int>(i));
    return b;
}

ImageBlockResult Receive(MeterData& d, const Rx& rx)
{
    return ReceiveImageBlock(d, rx.buffer.data(), rx.count);
}

} // namespace

TEST(ImageRead, BlocksCompleteTheImage)
{
    EXPECT_EQ(ImageReadRequest(17), (Bytes{0x11, 0x20, 0xEF, 0xCD, 0x00, 0x00, 0x27, 0xB6}));

    // A first block that carries every word completes at once; the next request is still asked.
    auto d = std::make_unique<MeterData>();
    const Bytes small = Pattern(24, 3);
    ImageBlockResult r = Receive(*d, Answer(0, 12, 12, small));
    EXPECT_TRUE(r.stored);
    EXPECT_TRUE(r.complete);
    EXPECT_TRUE(r.requestNext);
    EXPECT_EQ(d->ImageLength, 24);
    EXPECT_TRUE(std::equal(small.begin(), small.end(), d->ParamImage.begin()));
    EXPECT_EQ(d->ParamImage[24], 0);

    // A full image in blocks of 100 words: complete only with the last one.
    d = std::make_unique<MeterData>();
    const Bytes image = Pattern(1452, 11);
    for (int w = 0; w < 726; w += 100) {
        const int n = std::min(100, 726 - w);
        const Bytes block(image.begin() + 2 * w, image.begin() + 2 * (w + n));
        r = Receive(*d, Answer(w == 0 ? 0 : 1, 726, n, block));
        EXPECT_TRUE(r.stored);
        EXPECT_TRUE(r.requestNext);
        EXPECT_EQ(r.complete, w + n == 726) << w;
        EXPECT_EQ(d->ImageLength, 2 * (w + n));
    }
    EXPECT_TRUE(std::equal(image.begin(), image.end(), d->ParamImage.begin()));
    EXPECT_EQ(d->ParamImage[1452], 0);

    // Chunk mark 0 in the middle of a read starts again at position 0.
    d = std::make_unique<MeterData>();
    Receive(*d, Answer(0, 726, 50, Pattern(100, 1)));
    Receive(*d, Answer(1, 726, 50, Pattern(100, 2)));
    EXPECT_EQ(d->ImageLength, 200);
    const Bytes restart = Pattern(20, 5);
    r = Receive(*d, Answer(0, 726, 10, restart));
    EXPECT_TRUE(r.stored);
    EXPECT_FALSE(r.complete);
    EXPECT_EQ(d->ImageLength, 20);
    EXPECT_TRUE(std::equal(restart.begin(), restart.end(), d->ParamImage.begin()));
    const Bytes next = Pattern(4, 9);
    Receive(*d, Answer(1, 726, 2, next));
    EXPECT_EQ(d->ImageLength, 24);
    EXPECT_TRUE(std::equal(next.begin(), next.end(), d->ParamImage.begin() + 20));

    // The last block may end exactly at index 1999 (position + 2n = 2000).
    d = std::make_unique<MeterData>();
    d->ImageLength = 1980;
    r = Receive(*d, Answer(1, 1000, 10, Pattern(20, 4)));
    EXPECT_TRUE(r.stored);
    EXPECT_TRUE(r.complete);
    EXPECT_EQ(d->ImageLength, 2000);
}

TEST(ImageRead, BadAnswersStoreNothing)
{
    auto d = std::make_unique<MeterData>();
    const Bytes first = Pattern(24, 3);
    Receive(*d, Answer(0, 12, 12, first)); // image of 24 bytes, complete
    const auto image = d->ParamImage;

    auto refused = [&](const Rx& rx, const char* what) {
        const ImageBlockResult r = Receive(*d, rx);
        EXPECT_FALSE(r.stored) << what;
        EXPECT_FALSE(r.complete) << what;
        EXPECT_FALSE(r.requestNext) << what;
        EXPECT_EQ(d->ImageLength, 24) << what;
        EXPECT_EQ(d->ParamImage, image) << what;
    };

    // Announces 20 words but only 10 arrived (the buffer beyond holds an earlier answer's bytes),
    // even though ImageLength already equals 2 x the announced total of the answer.
    refused(Answer(0, 12, 20, Pattern(20, 1)), "truncated block");
    // One byte short: the CRC would have to hold the block's last byte.
    Rx shortByOne = Answer(0, 12, 12, Pattern(24, 1));
    shortByOne.count -= 1;
    refused(shortByOne, "one byte short");
    refused(Answer(0, 12, 12, Pattern(24, 1), 7), "shorter than 8 bytes");
    refused(Answer(0, 0, 0, {}, 2), "two bytes");

    // A block that would pass index 2000.
    d->ImageLength = 1980;
    const auto image1980 = d->ParamImage;
    const ImageBlockResult r = Receive(*d, Answer(1, 1001, 11, Pattern(22, 1)));
    EXPECT_FALSE(r.stored);
    EXPECT_FALSE(r.complete);
    EXPECT_FALSE(r.requestNext);
    EXPECT_EQ(d->ImageLength, 1980);
    EXPECT_EQ(d->ParamImage, image1980);

    // An answer longer than the receive buffer.
    Bytes big(300, 0);
    big[6] = 10;
    EXPECT_FALSE(ReceiveImageBlock(*d, big.data(), big.size()).stored);
    EXPECT_FALSE(ReceiveImageBlock(*d, nullptr, 30).stored);
}

TEST(ImageWrite, ChunkSequences)
{
    auto d = std::make_unique<MeterData>();
    for (std::size_t i = 0; i < d->ParamImage.size(); ++i)
        d->ParamImage[i] = static_cast<std::uint8_t>(i * 13 + 1);

    struct Chunk {
        int words;
        int flag;
    };
    // Sends a write of `bytes` image bytes through the acknowledgements and checks every frame.
    auto write = [&](int bytes, const std::vector<Chunk>& expected) {
        d->ImageLength = static_cast<std::uint16_t>(bytes);
        d->WordsSent = 999;
        int sent = 0;
        for (std::size_t k = 0; k < expected.size(); ++k) {
            const Bytes f = SendImageBlock(*d, 17, k == 0 ? 0 : 1);
            const int n = expected[k].words;
            ASSERT_EQ(f.size(), static_cast<std::size_t>(2 * n + 10)) << bytes << " frame " << k;
            EXPECT_EQ(f[0], 17);
            EXPECT_EQ(f[1], 33);
            EXPECT_EQ(f[2], 0xEF);
            EXPECT_EQ(f[3], 0xCD);
            EXPECT_EQ(f[4], n) << bytes << " frame " << k;
            EXPECT_EQ(f[5], expected[k].flag) << bytes << " frame " << k;
            for (int i = 0; i < 2 * n; ++i)
                ASSERT_EQ(f[static_cast<std::size_t>(6 + i)], d->ParamImage[static_cast<std::size_t>(2 * sent + i)]);
            EXPECT_EQ(f[static_cast<std::size_t>(6 + 2 * n)], 0);
            EXPECT_EQ(f[static_cast<std::size_t>(7 + 2 * n)], 0);
            EXPECT_TRUE(modComFun::CrcMatches(f.data(), f.size()));
            sent += n;
            EXPECT_EQ(d->WordsSent, sent);
        }
    };

    std::vector<Chunk> full(12, Chunk{56, 1});
    full[0].flag = 0;
    full.push_back({54, 2});
    full.push_back({0, 2}); // a further acknowledgement
    full.push_back({0, 2});
    write(1452, full);

    write(200, {{56, 0}, {44, 2}, {0, 2}});
    write(224, {{56, 0}, {56, 1}, {0, 2}});
    write(112, {{56, 0}, {0, 2}});
    write(0, {{0, 2}});
    // Half words round half to even: 2.5 -> 2, 3.5 -> 4.
    write(5, {{2, 2}});
    write(7, {{4, 2}});
    // Never past the end of ParamImage: at most its 1000 whole words.
    std::vector<Chunk> past(17, Chunk{56, 1});
    past[0].flag = 0;
    past.push_back({48, 2});
    past.push_back({0, 2});
    write(4000, past);

    // Flag 0 during a write starts again from word 0.
    d->ImageLength = 1452;
    SendImageBlock(*d, 17, 0);
    SendImageBlock(*d, 17, 1);
    const Bytes again = SendImageBlock(*d, 17, 0);
    EXPECT_EQ(d->WordsSent, 56);
    EXPECT_EQ(again[6], d->ParamImage[0]);
    EXPECT_EQ(again[5], 0);
}

TEST(ImageWrite, FramesByteForByte)
{
    auto d = std::make_unique<MeterData>();
    d->ImageLength = 6;
    for (int i = 0; i < 6; ++i)
        d->ParamImage[static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(i + 1);
    d->ParamImage[6] = 0x77; // beyond ImageLength: not sent
    EXPECT_EQ(SendImageBlock(*d, 17, 0),
              (Bytes{0x11, 0x21, 0xEF, 0xCD, 0x03, 0x02, 0x01, 0x02, 0x03, 0x04, 0x05, 0x06, 0x00, 0x00, 0x8C, 0xE9}));
    EXPECT_EQ(SendImageBlock(*d, 17, 1), (Bytes{0x11, 0x21, 0xEF, 0xCD, 0x00, 0x02, 0x00, 0x00, 0x2B, 0x46}));
    EXPECT_EQ(d->WordsSent, 3);
}
