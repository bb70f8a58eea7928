#pragma once
// Helpers for the meter simulator tests: requests built by the tool's own request builders, and
// the answers taken apart with the tool's own byte-order routines.

#include "link/modComFun.h"
#include "meter.h"
#include "support/bytes.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

namespace simtest {

using testbytes::Bytes;
namespace mc = modComFun;

// Everything the meter put on the line for one request, pieces joined.
inline Bytes onLine(const sim::Outcome& o)
{
    Bytes all;
    for (const sim::Piece& p : o.reply.pieces)
        all.insert(all.end(), p.bytes.begin(), p.bytes.end());
    return all;
}

// Sends a request and returns the answer the way the tool would accept it: a frame from node 17
// with a good CRC; fails the test otherwise.
inline Bytes ask(sim::Meter& m, const Bytes& request, double& nowMs, std::uint8_t node = 17)
{
    nowMs += 20;
    const sim::Outcome o = m.handle(request, nowMs);
    EXPECT_EQ(o.verdict, sim::Verdict::Answered) << sim::VerdictText(o.verdict);
    const Bytes a = onLine(o);
    EXPECT_GE(a.size(), 4u);
    EXPECT_LT(a.size(), 256u);
    if (a.size() < 4)
        return a;
    EXPECT_EQ(a[0], node);
    EXPECT_TRUE(mc::CrcMatches(a.data(), a.size()));
    return a;
}

// lo < x < hi (or lo <= x <= hi when closed), naming the value when it is not.
inline testing::AssertionResult Between(double x, double lo, double hi, bool closed = false)
{
    if (closed ? (x >= lo && x <= hi) : (x > lo && x < hi))
        return testing::AssertionSuccess();
    return testing::AssertionFailure() << x << " is outside " << lo << " .. " << hi;
}

inline float single(const Bytes& a, std::size_t at) { return mc::GetSingle(a.data() + at); }
inline int integer(const Bytes& a, std::size_t at) { return mc::GetInteger(a.data() + at); }
inline unsigned word(const Bytes& a, std::size_t at) { return mc::GetWordAt(a.data(), at); }

// The tool's requests.
inline Bytes identify(std::uint8_t node = 17) { return mc::CommandFrame(3, node, 0, 0); }
inline Bytes readImage() { return mc::CommandFrame(2, 17, 0, 0); }
inline Bytes liveData(int channel, int command) { return mc::CommandFrame(0, 17, static_cast<std::uint8_t>(channel), command); }
inline Bytes diagData(int channel) { return mc::CommandFrame(1, 17, static_cast<std::uint8_t>(channel), 0); }
inline Bytes zero(int channel) { return mc::CommandFrame(5, 17, static_cast<std::uint8_t>(channel), 0); }
inline Bytes plotPoll(int channel) { return mc::RequestFrame(17, mc::PlotPoll, {static_cast<std::uint8_t>(channel), 0}); }
// An image block as the tool's image writer builds it: w words, flag, the words, two zero bytes.
inline Bytes writeBlock(const Bytes& image, int firstWord, int words, int flag)
{
    Bytes payload{static_cast<std::uint8_t>(words), static_cast<std::uint8_t>(flag)};
    payload.insert(payload.end(), image.begin() + 2 * firstWord, image.begin() + 2 * (firstWord + words));
    payload.push_back(0);
    payload.push_back(0);
    return mc::RequestFrame(17, mc::WriteImage, payload);
}

// One transfer in blocks, collected the way the tool's image reader (code 32) and plot window
// (code 35) take it: next() gives each answer; byte 2 is the slot, byte 3 the block mark (0 = the
// first block, which restarts the transfer), bytes 4-5 the total words, byte 6 the words in this
// block, the words from byte 8.
struct Transfer {
    Bytes data;
    int blocks = 0;
    int slot = -1;
};
template <class Next> Transfer collect(Next next, std::uint8_t code, std::size_t maxWords = 122)
{
    Transfer t;
    std::size_t total = 1;
    for (; t.data.size() < 2 * total && t.blocks < 2000; ++t.blocks) {
        const Bytes a = next();
        if (a.size() < 10 || a[1] != code || !mc::CrcMatches(a.data(), a.size())) {
            ADD_FAILURE() << "answer of " << a.size() << " bytes, code " << (a.size() > 1 ? int(a[1]) : -1)
                          << " in block " << t.blocks;
            return t;
        }
        const std::size_t n = a[6];
        EXPECT_LE(n, maxWords);
        EXPECT_EQ(a.size(), 8 + 2 * n + 2);
        EXPECT_EQ(a[3] == 0, t.blocks == 0) << "block mark of block " << t.blocks;
        if (a[3] == 0) {
            t.data.clear();
            t.slot = a[2];
        }
        EXPECT_EQ(a[2], t.slot);
        total = word(a, 4);
        t.data.insert(t.data.end(), a.begin() + 8, a.begin() + static_cast<std::ptrdiff_t>(std::min(8 + 2 * n, a.size())));
    }
    EXPECT_EQ(t.data.size(), 2 * total);
    return t;
}
inline Bytes readWholeImage(sim::Meter& m, double& nowMs, int* blocks = nullptr, int maxWords = 122)
{
    const Transfer t = collect([&] { return ask(m, readImage(), nowMs); }, mc::ReadImage, maxWords);
    if (blocks)
        *blocks = t.blocks;
    return t.data;
}

} // namespace simtest
