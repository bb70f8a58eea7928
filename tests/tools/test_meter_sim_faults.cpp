// The meter simulator's faults: each one does to the answer what its option says, and a seed
// repeats the same faults.

#include "simtest.h"

#include "meter.h"

#include <gtest/gtest.h>

using namespace simtest;

namespace {
sim::Outcome identifyWith(sim::MeterConfig cfg)
{
    sim::Meter meter{cfg};
    return meter.handle(identify(), 100.0);
}
} // namespace

TEST(MeterSimFaults, EachFaultChangesTheAnswerAsItsOptionSays)
{
    const sim::Outcome clean = identifyWith({});
    ASSERT_EQ(clean.reply.pieces.size(), 1u);
    EXPECT_EQ(clean.reply.pieces[0].gapMs, 5.0); // the turnaround
    EXPECT_EQ(clean.reply.faults, 0u);
    const Bytes answer = clean.reply.pieces[0].bytes;
    EXPECT_EQ(answer, clean.reply.answer);
    EXPECT_TRUE(mc::CrcMatches(answer.data(), answer.size()));

    for (std::uint64_t seed : {1u, 2u, 3u, 4u}) {
        SCOPED_TRACE(seed);
        // A meter with one fault on every answer.
        const auto only = [seed](double sim::MeterConfig::*fault) {
            sim::MeterConfig cfg;
            cfg.seed = seed;
            cfg.*fault = 1;
            return cfg;
        };

        // Withheld.
        sim::Meter dropping{only(&sim::MeterConfig::drop)};
        const sim::Outcome dropped = dropping.handle(identify(), 100.0);
        EXPECT_EQ(dropped.verdict, sim::Verdict::Answered);
        EXPECT_TRUE(dropped.reply.pieces.empty());
        EXPECT_EQ(dropped.reply.answer, answer);
        EXPECT_EQ(dropping.stats().drop, 1);
        EXPECT_EQ(dropping.stats().answered.count(34), 0u);

        // One CRC byte changed, the rest as it was.
        const Bytes corrupt = onLine(identifyWith(only(&sim::MeterConfig::corrupt)));
        ASSERT_EQ(corrupt.size(), answer.size());
        EXPECT_TRUE(std::equal(answer.begin(), answer.end() - 2, corrupt.begin()));
        EXPECT_EQ((corrupt[8] != answer[8]) + (corrupt[9] != answer[9]), 1);
        EXPECT_FALSE(mc::CrcMatches(corrupt.data(), corrupt.size()));

        // Two parts, the second 80 ms after the first.
        const sim::Outcome split = identifyWith(only(&sim::MeterConfig::split));
        ASSERT_EQ(split.reply.pieces.size(), 2u);
        EXPECT_EQ(split.reply.pieces[0].gapMs, 5.0);
        EXPECT_EQ(split.reply.pieces[1].gapMs, 80.0);
        EXPECT_FALSE(split.reply.pieces[0].bytes.empty());
        EXPECT_FALSE(split.reply.pieces[1].bytes.empty());
        EXPECT_EQ(onLine(split), answer);

        // Stray bytes just before the answer, in the same burst.
        const sim::Outcome noisy = identifyWith(only(&sim::MeterConfig::noise));
        ASSERT_EQ(noisy.reply.pieces.size(), 1u);
        const Bytes n = onLine(noisy);
        ASSERT_GT(n.size(), answer.size());
        EXPECT_LE(n.size(), answer.size() + 4);
        EXPECT_TRUE(std::equal(answer.begin(), answer.end(), n.end() - static_cast<std::ptrdiff_t>(answer.size())));

        // Another node's answer: good CRC, other address, same payload.
        const Bytes foreign = onLine(identifyWith(only(&sim::MeterConfig::foreign)));
        ASSERT_EQ(foreign.size(), answer.size());
        EXPECT_NE(foreign[0], 17);
        EXPECT_TRUE(mc::CrcMatches(foreign.data(), foreign.size()));
        EXPECT_TRUE(std::equal(answer.begin() + 1, answer.end() - 2, foreign.begin() + 1));
    }

    // Late: every answer waits the delay on top of the turnaround.
    sim::MeterConfig late;
    late.delayMs = 250;
    late.turnaroundMs = 2;
    sim::Meter slow{late};
    for (int i = 0; i < 3; ++i) {
        const sim::Outcome o = slow.handle(identify(), 100.0 + i);
        ASSERT_EQ(o.reply.pieces.size(), 1u);
        EXPECT_EQ(o.reply.pieces[0].gapMs, 252.0);
        EXPECT_EQ(o.reply.pieces[0].bytes, answer);
    }
    EXPECT_EQ(slow.stats().delay, 3);
    EXPECT_NE(slow.summary().find("delay:3"), std::string::npos) << slow.summary();
    // The time an answer takes on the line, 10 bits a byte: 1512 bytes at 115200 baud.
    EXPECT_DOUBLE_EQ(sim::Meter::WireMs(1512, 115200), 131.25);
}

TEST(MeterSimFaults, TheSeedRepeatsTheFaults)
{
    auto pattern = [](std::uint64_t seed) {
        sim::MeterConfig cfg;
        cfg.seed = seed;
        cfg.drop = 0.3;
        cfg.corrupt = 0.3;
        cfg.split = 0.3;
        sim::Meter meter{cfg};
        std::vector<Bytes> wire;
        std::vector<unsigned> faults;
        for (int i = 0; i < 200; ++i) {
            const sim::Outcome o = meter.handle(identify(), 10.0 * i);
            faults.push_back(o.reply.faults);
            Bytes all = onLine(o);
            all.push_back(static_cast<std::uint8_t>(o.reply.pieces.size()));
            wire.push_back(all);
        }
        return std::make_tuple(wire, faults, meter.stats());
    };
    const auto [wire7, faults7, stats7] = pattern(7);
    const auto [wire7b, faults7b, stats7b] = pattern(7);
    const auto [wire8, faults8, stats8] = pattern(8);
    EXPECT_EQ(wire7, wire7b);
    EXPECT_EQ(faults7, faults7b);
    EXPECT_NE(faults7, faults8);
    // Each fault turns up about as often as asked (0.3 of the answers, or of those not withheld).
    for (const sim::MeterStats* s : {&stats7, &stats8}) {
        EXPECT_GE(s->drop, 30);
        EXPECT_LE(s->drop, 90);
        const long sent = 200 - s->drop;
        for (long count : {s->corrupt, s->split}) {
            EXPECT_GE(count, sent * 15 / 100);
            EXPECT_LE(count, sent * 45 / 100);
        }
        // Withheld answers are not counted as answered.
        EXPECT_EQ(s->answered.at(34), sent);
        EXPECT_EQ(s->noise + s->foreign + s->delay, 0);
    }
}
