// The chunked image read (function code 32) and write (function code 33).

#include "meterdata/modBinaryRW.h"
#include "support/bytes.h"

#include <gtest/gtest.h>

#include <array>
#include <memory>
#include <numeric>

using namespace modData;
using namespace modBinaryRW;
using namespace testbytes;

namespace {

// The link's receive buffer holding one answer (chunk mark, total words, n words of data); the
// rest keeps bytes of an earlier answer.
struct Rx {
    std::array<std::uint8_t, 257> buffer;
    std::size_t count = 0;
};

Rx Answer(int mark, int totalWords, int words, const Bytes& data)
{
    Bytes frame{17, 32, 0, static_cast<std::uint8_t>(mark), 0, 0, static_cast<std::uint8_t>(words), 0};
    put16(frame, 4, totalWords);
    frame.insert(frame.end(), data.begin(), data.end());
    frame = withCrc(frame);
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

ImageBlockResult Receive(MeterData& d, const Rx& rx) { return ReceiveImageBlock(d, rx.buffer.data(), rx.count); }

} // namespace

TEST(ImageRead, BlocksCompleteTheImage)
{
    EXPECT_EQ(ImageReadRequest(17), (Bytes{0x11, 0x20, 0xEF, 0xCD, 0x00, 0x00, 0x27, 0xB6}));

    // Images of 12 and 726 words in blocks: complete only with the last one, the next request
    // asked after every block. 726 blocks of one word take the position past 255 blocks.
    const std::pair<int, int> reads[] = {{12, 12}, {726, 1}, {726, 100}, {726, 122}};
    for (const auto& [total, perBlock] : reads) {
        SCOPED_TRACE(std::to_string(total) + " words in blocks of " + std::to_string(perBlock));
        auto d = std::make_unique<MeterData>();
        const Bytes image = Pattern(2 * total, total);
        for (int w = 0; w < total; w += perBlock) {
            const int n = std::min(perBlock, total - w);
            const ImageBlockResult r = Receive(*d, Answer(w == 0 ? 0 : 1, total, n, Bytes(image.begin() + 2 * w, image.begin() + 2 * (w + n))));
            ASSERT_TRUE(r.stored && r.requestNext) << w;
            ASSERT_EQ(r.complete, w + n == total) << w;
            ASSERT_EQ(d->ImageLength, 2 * (w + n));
        }
        EXPECT_TRUE(std::equal(image.begin(), image.end(), d->ParamImage.begin()));
        EXPECT_EQ(d->ParamImage[image.size()], 0);
    }

    // Chunk mark 0 in the middle of a read starts again at position 0.
    auto d = std::make_unique<MeterData>();
    Receive(*d, Answer(0, 726, 50, Pattern(100, 1)));
    Receive(*d, Answer(1, 726, 50, Pattern(100, 2)));
    const Bytes restart = Pattern(20, 5), next = Pattern(4, 9);
    const ImageBlockResult r = Receive(*d, Answer(0, 726, 10, restart));
    EXPECT_TRUE(r.stored && !r.complete);
    EXPECT_EQ(d->ImageLength, 20);
    Receive(*d, Answer(1, 726, 2, next));
    EXPECT_EQ(d->ImageLength, 24);
    EXPECT_TRUE(std::equal(restart.begin(), restart.end(), d->ParamImage.begin()));
    EXPECT_TRUE(std::equal(next.begin(), next.end(), d->ParamImage.begin() + 20));

    // The last block may end exactly at index 1999 (position + 2n = 2000).
    d->ImageLength = 1980;
    EXPECT_TRUE(Receive(*d, Answer(1, 1000, 10, Pattern(20, 4))).complete);
    EXPECT_EQ(d->ImageLength, 2000);
}

TEST(ImageRead, BadAnswersStoreNothing)
{
    auto d = std::make_unique<MeterData>();
    Receive(*d, Answer(0, 12, 12, Pattern(24, 3))); // an image of 24 bytes, complete
    Rx shortByOne = Answer(0, 12, 12, Pattern(24, 1)), seven = shortByOne, two = Answer(0, 0, 0, {});
    shortByOne.count -= 1; // the CRC would have to hold the block's last byte
    seven.count = 7;
    two.count = 2;
    // Announces 20 words but only 10 arrived (the buffer beyond holds an earlier answer's bytes),
    // even though ImageLength already equals 2 x the announced total of the answer.
    const struct {
        const char* what;
        Rx rx;
        std::uint16_t from; // ImageLength before
    } refused[] = {
        {"truncated block", Answer(0, 12, 20, Pattern(20, 1)), 24}, {"one byte short", shortByOne, 24},
        {"shorter than 8 bytes", seven, 24}, {"two bytes", two, 24},
        {"passing index 2000", Answer(1, 1001, 11, Pattern(22, 1)), 1980},
    };
    for (const auto& c : refused) {
        SCOPED_TRACE(c.what);
        d->ImageLength = c.from;
        const auto image = d->ParamImage;
        const ImageBlockResult r = Receive(*d, c.rx);
        EXPECT_FALSE(r.stored || r.complete || r.requestNext);
        EXPECT_EQ(d->ImageLength, c.from);
        EXPECT_EQ(d->ParamImage, image);
    }

    // An answer longer than the receive buffer, and none at all.
    Bytes big(300, 0);
    big[6] = 10;
    EXPECT_FALSE(ReceiveImageBlock(*d, big.data(), big.size()).stored);
    EXPECT_FALSE(ReceiveImageBlock(*d, nullptr, 30).stored);
}

// Each write of `bytes` image bytes, frame by frame through the acknowledgements: node, 33, access
// code, n words, block flag, the next 2n image bytes, 0, 0, CRC.
TEST(ImageWrite, FramesOfEachLength)
{
    auto d = std::make_unique<MeterData>();
    for (std::size_t i = 0; i < d->ParamImage.size(); ++i)
        d->ParamImage[i] = static_cast<std::uint8_t>(i * 13 + 1);
    auto blocks = [](int count, std::vector<std::pair<int, int>> tail) {
        std::vector<std::pair<int, int>> b(count, {56, 1});
        b[0].second = 0;
        b.insert(b.end(), tail.begin(), tail.end());
        return b;
    };
    const std::pair<int, std::vector<std::pair<int, int>>> writes[] = { // (words, flag) of each frame
        {1452, blocks(12, {{54, 2}, {0, 2}, {0, 2}})}, // further acknowledgements get 0-word frames
        {200, {{56, 0}, {44, 2}, {0, 2}}},
        {224, {{56, 0}, {56, 1}, {0, 2}}},
        {112, {{56, 0}, {0, 2}}},
        {0, {{0, 2}}},
        {5, {{2, 2}}}, // half words round half to even: 2.5 -> 2, 3.5 -> 4
        {7, {{4, 2}}},
        {4000, blocks(17, {{48, 2}, {0, 2}})}, // never past the end of ParamImage: its 1000 whole words
    };
    for (const auto& [bytes, frames] : writes) {
        d->ImageLength = static_cast<std::uint16_t>(bytes);
        d->WordsSent = 999;
        int sent = 0;
        for (std::size_t k = 0; k < frames.size(); ++k) {
            SCOPED_TRACE(std::to_string(bytes) + " bytes, frame " + std::to_string(k));
            const auto [n, flag] = frames[k];
            Bytes want{17, 33, 0xEF, 0xCD, static_cast<std::uint8_t>(n), static_cast<std::uint8_t>(flag)};
            want.insert(want.end(), d->ParamImage.begin() + 2 * sent, d->ParamImage.begin() + 2 * (sent + n));
            want.insert(want.end(), {0, 0});
            EXPECT_EQ(SendImageBlock(*d, 17, k == 0 ? 0 : 1), withCrc(want));
            sent += n;
            EXPECT_EQ(d->WordsSent, sent);
        }
    }

    // Flag 0 during a write starts again from word 0.
    d->ImageLength = 1452;
    SendImageBlock(*d, 17, 0);
    SendImageBlock(*d, 17, 1);
    const Bytes again = SendImageBlock(*d, 17, 0);
    EXPECT_EQ(d->WordsSent, 56);
    EXPECT_EQ(again[5], 0);
    EXPECT_EQ(again[6], d->ParamImage[0]);

    // Written out in full: only the ImageLength bytes go, the CRC as the meter checks it.
    d->ImageLength = 6;
    std::iota(d->ParamImage.begin(), d->ParamImage.begin() + 6, 1);
    EXPECT_EQ(SendImageBlock(*d, 17, 0),
              (Bytes{0x11, 0x21, 0xEF, 0xCD, 0x03, 0x02, 0x01, 0x02, 0x03, 0x04, 0x05, 0x06, 0x00, 0x00, 0x8C, 0xE9}));
    EXPECT_EQ(SendImageBlock(*d, 17, 1), (Bytes{0x11, 0x21, 0xEF, 0xCD, 0x00, 0x02, 0x00, 0x00, 0x2B, 0x46}));
    EXPECT_EQ(d->WordsSent, 3);
}
