// The chunked image read (function code 32) and write (function code 33).

#include "meterdata/modBinaryRW.h"
#include "support/bytes.h"

#include <gtest/gtest.h>

#include <memory>

using namespace modData;
using namespace modBinaryRW;
using namespace testbytes;

namespace {

// An answer as the link hands it over: the receive buffer holds chunk mark, total words, n words
// of data and the CRC, cut to `count` bytes if given; the rest keeps bytes of an earlier answer.
ImageBlockResult Receive(MeterData& d, int mark, int total, int words, const Bytes& data, std::size_t count = 0)
{
    Bytes rx{17, 32, 0, static_cast<std::uint8_t>(mark), 0, 0, static_cast<std::uint8_t>(words), 0};
    put16(rx, 4, total);
    rx.insert(rx.end(), data.begin(), data.end());
    rx = withCrc(rx);
    count = count ? count : rx.size();
    rx.resize(257, 0xEE);
    return ReceiveImageBlock(d, rx.data(), count);
}

Bytes Pattern(std::size_t n, int start)
{
    Bytes b(n);
    for (std::size_t i = 0; i < n; ++i)
        b[i] = static_cast<std::uint8_t>(start + 7 * static_cast<int>(i));
    return b;
}

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
            const ImageBlockResult r = Receive(*d, w == 0 ? 0 : 1, total, n, Bytes(&image[2 * w], &image[2 * w] + 2 * n));
            ASSERT_TRUE(r.stored && r.requestNext) << w;
            ASSERT_EQ(r.complete, w + n == total) << w;
            ASSERT_EQ(d->ImageLength, 2 * (w + n));
        }
        EXPECT_TRUE(std::equal(image.begin(), image.end(), d->ParamImage.begin()));
        EXPECT_EQ(d->ParamImage[image.size()], 0);
    }

    // Chunk mark 0 in the middle of a read starts again at position 0.
    auto d = std::make_unique<MeterData>();
    Receive(*d, 0, 726, 50, Pattern(100, 1));
    Receive(*d, 1, 726, 50, Pattern(100, 2));
    const Bytes restart = Pattern(20, 5), next = Pattern(4, 9);
    const ImageBlockResult r = Receive(*d, 0, 726, 10, restart);
    EXPECT_TRUE(r.stored && !r.complete);
    EXPECT_EQ(d->ImageLength, 20);
    Receive(*d, 1, 726, 2, next);
    EXPECT_EQ(d->ImageLength, 24);
    EXPECT_TRUE(std::equal(restart.begin(), restart.end(), d->ParamImage.begin()));
    EXPECT_TRUE(std::equal(next.begin(), next.end(), d->ParamImage.begin() + 20));

    // The image never grows past the announced length, nor past a whole image's 1452 bytes when
    // more words are announced; a later block needs a first one of the same total before it.
    d = std::make_unique<MeterData>();
    EXPECT_FALSE(Receive(*d, 1, 726, 2, Pattern(4, 1)).stored) << "no first block yet";
    ASSERT_TRUE(Receive(*d, 0, 1000, 122, Pattern(244, 1)).stored);
    EXPECT_FALSE(Receive(*d, 1, 726, 2, Pattern(4, 1)).stored) << "another total";
    for (int k = 1; k < 5; ++k)
        ASSERT_TRUE(Receive(*d, 1, 1000, 122, Pattern(244, k)).stored) << k;
    EXPECT_FALSE(Receive(*d, 1, 1000, 122, Pattern(244, 7)).stored) << "past 1452 bytes";
    const ImageBlockResult last = Receive(*d, 1, 1000, 116, Pattern(232, 8));
    EXPECT_TRUE(last.stored && !last.complete);
    EXPECT_EQ(d->ImageLength, 1452);
    EXPECT_FALSE(Receive(*d, 1, 1000, 1, Pattern(2, 9)).stored);
    d->ReadAnnounced = 10;
    d->ImageLength = 18;
    EXPECT_FALSE(Receive(*d, 1, 10, 2, Pattern(4, 1)).stored) << "past the announced length";
    EXPECT_TRUE(Receive(*d, 1, 10, 1, Pattern(2, 1)).complete);
}

TEST(ImageRead, BadAnswersStoreNothing)
{
    auto d = std::make_unique<MeterData>();
    Receive(*d, 0, 12, 12, Pattern(24, 3)); // an image of 24 bytes, complete
    const struct {
        const char* what;
        int mark, total, words;
        Bytes data;
        std::size_t count;  // bytes of the answer, 0 for all
        std::uint16_t from; // ImageLength before
    } refused[] = {
        // Only 10 of 20 words arrived, though ImageLength already equals 2 x the announced total.
        {"truncated block", 0, 12, 20, Pattern(20, 1), 0, 24},
        {"one byte short: the CRC would hold the last byte", 0, 12, 12, Pattern(24, 1), 8 + 24 + 1, 24},
        {"shorter than 8 bytes", 0, 12, 12, Pattern(24, 1), 7, 24},
        {"two bytes", 0, 0, 0, {}, 2, 24},
        {"past the whole image", 1, 1001, 11, Pattern(22, 1), 0, 1980},
    };
    for (const auto& c : refused) {
        SCOPED_TRACE(c.what);
        d->ImageLength = c.from;
        const auto image = d->ParamImage;
        const ImageBlockResult r = Receive(*d, c.mark, c.total, c.words, c.data, c.count);
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
}
