// The meter simulator: in process, what it answers and ignores where the tool's own runs against it
// do not reach (requests built and answers read with the tool's own frame code); then the built
// program, with its exit codes, its pseudo-terminal or a device, its log and its summary.

#include "framesplitter.h"
#include "link/modComFun.h"
#include "meter.h"
#include "options.h"
#include "support/bytes.h"
#include "support/pty.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <array>
#include <csignal>
#include <set>

namespace {

using testbytes::Bytes;
using testbytes::withCrc;
namespace mc = modComFun;

// Everything the meter put on the line for one request, pieces joined.
Bytes onLine(const sim::Outcome& o)
{
    Bytes all;
    for (const sim::Piece& p : o.reply.pieces)
        all.insert(all.end(), p.bytes.begin(), p.bytes.end());
    return all;
}

// Sends a request 20 ms after the last one; the answer must be one the tool accepts (from the node,
// good CRC, under 256 bytes), else the test fails and gets 256 zero bytes.
Bytes ask(sim::Meter& m, const Bytes& request, double& nowMs, std::uint8_t node = 17)
{
    const sim::Outcome o = m.handle(request, nowMs += 20);
    EXPECT_EQ(o.verdict, sim::Verdict::Answered) << sim::VerdictText(o.verdict);
    const Bytes a = onLine(o);
    const bool good = a.size() >= 4 && a.size() < 256 && a[0] == node && mc::CrcMatches(a.data(), a.size());
    EXPECT_TRUE(good) << "answer of " << a.size() << " bytes";
    return good ? a : Bytes(256, 0);
}

// lo < x < hi (or lo <= x <= hi when closed).
testing::AssertionResult Between(double x, double lo, double hi, bool closed = false)
{
    if (closed ? (x >= lo && x <= hi) : (x > lo && x < hi))
        return testing::AssertionSuccess();
    return testing::AssertionFailure() << x << " is outside " << lo << " .. " << hi;
}

float single(const Bytes& a, std::size_t at) { return mc::GetSingle(a.data() + at); }
int integer(const Bytes& a, std::size_t at) { return mc::GetInteger(a.data() + at); }

Bytes identify(std::uint8_t node = 17) { return mc::CommandFrame(3, node, 0, 0); }
Bytes liveData(std::uint8_t channel, int command) { return mc::CommandFrame(0, 17, channel, command); }
// An image block as the tool's image writer builds it: w words, flag, the words, two zero bytes.
Bytes writeBlock(const Bytes& image, int firstWord, int words, int flag)
{
    Bytes payload{static_cast<std::uint8_t>(words), static_cast<std::uint8_t>(flag)};
    payload.insert(payload.end(), image.begin() + 2 * firstWord, image.begin() + 2 * (firstWord + words));
    payload.insert(payload.end(), {0, 0});
    return mc::RequestFrame(17, mc::WriteImage, payload);
}

// One whole waveform as the plot window collects it (code 35, byte 4 the channel): byte 2 the slot,
// byte 3 the block mark (0 on the first block), bytes 4-5 the total, byte 6 this block's samples.
struct Waveform {
    int slot = -1, blocks = 0;
    std::vector<int> samples;
};
Waveform nextWaveform(sim::Meter& meter, double& now, std::uint8_t channel)
{
    Waveform w;
    for (std::size_t total = 1; w.samples.size() < total && w.blocks < 100; ++w.blocks) {
        const Bytes a = ask(meter, mc::RequestFrame(17, mc::PlotPoll, {channel, 0}), now);
        const std::size_t n = a[6];
        if (a[1] != mc::PlotPoll || a.size() != 10 + 2 * n) {
            ADD_FAILURE() << "answer of " << a.size() << " bytes, code " << int(a[1]) << " in block " << w.blocks;
            return w;
        }
        EXPECT_EQ(a[3] == 0, w.blocks == 0) << "block mark of block " << w.blocks;
        w.slot = w.blocks == 0 ? a[2] : w.slot;
        EXPECT_EQ(a[2], w.slot);
        total = mc::GetWordAt(a.data(), 4);
        for (std::size_t i = 0; i < n; ++i)
            w.samples.push_back(integer(a, 8 + 2 * i));
    }
    return w;
}

// Pipe cross-sections of the two factory channels (inside diameters 4.63 and 6.32 mm).
constexpr double kAreaA = 0.785 * 0.00463 * 0.00463;
constexpr double kAreaB = 0.785 * 0.00632 * 0.00632;

} // namespace

TEST(MeterSimIdentify, AnswersAtItsNodeAndIgnoresWhatIsNotForIt)
{
    sim::Meter meter{{.node = 5, .model = 2, .version = 7, .serial = 513}};
    double now = 0;
    // Node, 34, two payload bytes, model, version, serial and CRC low byte first; the node is in the image.
    EXPECT_EQ(ask(meter, identify(5), now, 5), withCrc({5, 34, 0, 0, 2, 7, 0x01, 0x02}));
    EXPECT_EQ(meter.image()[20], 5);

    Bytes badCrc = identify(5), wrongAccess = identify(5);
    badCrc[7] ^= 0x01;
    wrongAccess[2] = 0xEE; // 52718
    mc::AppendCrc(wrongAccess.data(), 6);
    const std::vector<std::pair<Bytes, sim::Verdict>> ignored = {
        {identify(17), sim::Verdict::OtherNode},
        {badCrc, sim::Verdict::BadCrc},
        {wrongAccess, sim::Verdict::BadAccessCode},
        {mc::RequestFrame(5, 40, {0, 0}), sim::Verdict::UnknownCode},
        {mc::RequestFrame(5, mc::TransferDone, {0, 0}), sim::Verdict::UnknownCode},
        {Bytes{5, 34, 0xEF, 0xCD, 0}, sim::Verdict::TooShort},
        {mc::RequestFrame(5, mc::Identify, {0, 0, 0, 0}), sim::Verdict::WrongLength},
    };
    for (std::size_t i = 0; i < ignored.size(); ++i) {
        const sim::Outcome o = meter.handle(ignored[i].first, now += 20);
        EXPECT_EQ(o.verdict, ignored[i].second) << i << ": " << sim::VerdictText(o.verdict);
        EXPECT_TRUE(o.reply.pieces.empty()) << i;
    }
    EXPECT_EQ(meter.stats().ignored, static_cast<long>(ignored.size()));
}

TEST(MeterSimImage, ReadStartsAnewWhenBrokenOffAndWriteIsTakenOnlyWhenWhole)
{
    sim::Meter meter{sim::MeterConfig{}};
    double now = 0;
    // Byte 3 of a read answer: 0 on the first block, 1 after. An identification breaks a read off,
    // and so does a pause of over 3 s after the last answer has left the line (254 bytes at 9600 baud
    // and the turnaround: 270 ms): 3.1 s after the last request the read goes on, 3.5 s after it not.
    const auto mark = [&] { return ask(meter, mc::CommandFrame(2, 17, 0, 0), now)[3]; };
    EXPECT_EQ(mark(), 0);
    EXPECT_EQ(mark(), 1);
    ask(meter, identify(), now);
    EXPECT_EQ(mark(), 0);
    now += 3100;
    EXPECT_EQ(mark(), 1);
    now += 3500;
    EXPECT_EQ(mark(), 0);

    const Bytes factory = sim::FactoryImage(), longer(2 * 765, 0x11);
    Bytes edited = factory;
    edited.front() ^= 0x01;
    edited.back() ^= 0x01;
    // Refused writes: every block but the last acknowledged (33), the last answered 93, the image
    // kept. Blocks as (first word, words, flag: 0 first, 1 following, 2 last).
    const std::pair<const char*, std::vector<std::array<int, 3>>> refused[] = {
        {"no first block", {{0, 255, 1}, {255, 255, 1}, {510, 216, 2}}},
        {"too few words", {{0, 56, 0}, {56, 10, 2}}},
        {"one word too many", {{0, 255, 0}, {255, 255, 1}, {510, 216, 1}, {726, 1, 2}}},
        {"unknown flag", {{0, 56, 3}}},
    };
    for (const auto& [what, blocks] : refused) {
        SCOPED_TRACE(what);
        for (std::size_t i = 0; i < blocks.size(); ++i) {
            const auto [first, words, flag] = blocks[i];
            EXPECT_EQ(ask(meter, writeBlock(longer, first, words, flag), now)[1], i + 1 < blocks.size() ? 33 : 93);
        }
        EXPECT_EQ(meter.image(), factory);
    }

    // A first block in the middle of a write starts afresh; each block is acknowledged with the
    // words so far, the last with 37.
    ask(meter, writeBlock(longer, 0, 56, 0), now);
    EXPECT_EQ(ask(meter, writeBlock(edited, 0, 255, 0), now), withCrc({17, 33, 255, 0}));
    EXPECT_EQ(ask(meter, writeBlock(edited, 255, 255, 1), now), withCrc({17, 33, 510 % 256, 510 / 256}));
    EXPECT_EQ(ask(meter, writeBlock(edited, 510, 216, 2), now)[1], mc::TransferDone);
    EXPECT_EQ(meter.image(), edited);
}

TEST(MeterSimMeasurement, LiveDataAndDiagnosticsAtTheirOffsetsAreFromTheImageAndVary)
{
    sim::Meter meter{{.statusA = 1, .statusB = 3}};
    double now = 1000;
    // Channel A's flow about its mean, sound speed, transit time and delta: none of them is fixed.
    std::set<float> scatter, speeds, transit, deltas;
    for (int i = 0; i < 12; ++i, now += 330) {
        const int c = i % 2;
        SCOPED_TRACE(c);
        const Bytes a = ask(meter, liveData(c, 0), now);
        ASSERT_EQ(a.size(), 52u);
        const double area = c == 0 ? kAreaA : kAreaB;
        const float mean = single(a, 4), speed = single(a, 8), flow = single(a, 12);
        // 0.5 to 1.5 m/s through the channel's tube, in m^3/s; the flow within 5 % of the mean.
        EXPECT_TRUE(Between(mean, 0.5 * area, 1.5 * area));
        EXPECT_NEAR(flow, mean, 0.05 * mean);
        EXPECT_NEAR(speed, 1481.0, 5.0);
        // No batch yet: time and total 0, gate closed, batch flag off; the channel's status.
        EXPECT_EQ(std::make_tuple(single(a, 20), single(a, 24), int(a[36]), int(a[48]), int(a[49])),
                  std::make_tuple(0.0f, 0.0f, 1, 0, c == 0 ? 1 : 3));
        const Bytes d = ask(meter, mc::CommandFrame(1, 17, c, 0), now);
        ASSERT_EQ(d.size(), 38u);
        EXPECT_EQ(d[1], 31);
        // Error (the channel's status), sine of the refraction angle x1000, lead/lag (downstream lags).
        EXPECT_EQ(std::make_tuple(int(d[12]), integer(d, 18), int(d[33])), std::make_tuple(c == 0 ? 1 : 3, 866, 1));
        EXPECT_LT(d[13], 20);                                      // minimum count
        EXPECT_LE(std::abs(integer(d, 14) - integer(d, 16)), 3);   // trigger down within 3 of up
        EXPECT_TRUE(Between(integer(a, 30), 5, 50, true));         // size
        EXPECT_TRUE(Between(integer(d, 20), 501, 1000, true));     // phase correlation x1000
        EXPECT_TRUE(integer(d, 28) > 1000 && integer(d, 30) >= 0); // waveform magnitude and discrimination
        const std::tuple<const char*, double, double, double> ranges[] = {
            {"deviation %", single(a, 16) * 100.0 / mean, 0.2, 5}, {"load", integer(a, 28) / 1000.0, 0.05, 1},
            {"absorption", integer(a, 32) / 10.0, 1, 10},          {"transit us", single(d, 4) * 1e6, 6, 12},
            {"delta ns", single(d, 8) * 1e9, 0.3, 10},             {"trigger up", integer(d, 14), 100, 1000},
            {"saturation up %", integer(d, 22) / 10.0, 10, 90},    {"saturation down %", integer(d, 24) / 10.0, 10, 90},
            {"strength", integer(d, 26) / 10.0, 30, 120}};
        for (const auto& [what, x, lo, hi] : ranges)
            EXPECT_TRUE(Between(x, lo, hi)) << what;
        if (c == 0) {
            scatter.insert(flow - mean);
            speeds.insert(speed);
            transit.insert(single(d, 4));
            deltas.insert(single(d, 8));
        }
    }
    for (const std::set<float>* varying : {&scatter, &speeds, &transit, &deltas})
        EXPECT_GE(varying->size(), 5u);

    // The geometry comes from the meter's image: calibration factor 2 on channel A doubles its flow.
    Bytes doubled = sim::FactoryImage();
    mc::PutSingle(2.0f, doubled.data() + 684 + 76);
    sim::Meter twice{{}, doubled};
    double then = now;
    EXPECT_FLOAT_EQ(single(ask(twice, liveData(0, 0), then), 4), 2 * single(ask(meter, liveData(0, 0), now), 4));
}

TEST(MeterSimMeasurement, TheBatchCountsTimeAndTotalsHoldsThemWhenStoppedAndClears)
{
    sim::Meter meter{sim::MeterConfig{}};
    double now = 10000;
    const auto timeAndTotal = [](const Bytes& a) { return std::make_pair(single(a, 20), single(a, 24)); };
    // Started at 10 s, polled at 20 s: ten seconds counted, the flow integrated, the gate open.
    Bytes a = ask(meter, liveData(0, 2), now);
    EXPECT_EQ(std::make_pair(int(a[48]), int(a[36])), std::make_pair(1, 0));
    const double start = now, meanAtStart = single(a, 4);
    now = 20000;
    a = ask(meter, liveData(0, 0), now);
    const double seconds = (now - start) / 1000.0;
    EXPECT_NEAR(single(a, 20), seconds, 1e-3);
    EXPECT_NEAR(single(a, 24), seconds * (meanAtStart + single(a, 4)) / 2, 0.02 * single(a, 24));
    EXPECT_TRUE(Between(single(ask(meter, liveData(1, 0), now), 24), 0.5 * kAreaB * seconds, 1.5 * kAreaB * seconds));

    // Stopped at 30 s: gate closed, and the time and the total hold.
    now = 30000;
    a = ask(meter, liveData(0, 1), now);
    EXPECT_EQ(std::make_pair(int(a[48]), int(a[36])), std::make_pair(0, 1));
    EXPECT_NEAR(single(a, 20), (now - start) / 1000.0, 1e-3);
    now = 45000;
    EXPECT_EQ(timeAndTotal(ask(meter, liveData(0, 0), now)), timeAndTotal(a));

    // Cleared while stopped (4), and while running (3), which keeps the batch running.
    EXPECT_EQ(timeAndTotal(ask(meter, liveData(0, 4), now)), std::make_pair(0.0f, 0.0f));
    ask(meter, liveData(0, 2), now);
    now += 5000;
    EXPECT_GT(single(ask(meter, liveData(0, 0), now), 24), 0.0f);
    a = ask(meter, liveData(0, 3), now);
    EXPECT_EQ(timeAndTotal(a), std::make_pair(0.0f, 0.0f));
    EXPECT_EQ(a[48], 1);
}

TEST(MeterSimPlot, DownloadCycleOfUpstreamDownstreamAndFigures)
{
    sim::Meter meter{sim::MeterConfig{}};
    double now = 0;
    const auto peak = [](const std::vector<int>& v, int from, int to) {
        int p = 0;
        for (int i = std::max(0, from); i < std::min<int>(to, static_cast<int>(v.size())); ++i)
            p = std::max(p, std::abs(v[static_cast<std::size_t>(i)]));
        return p;
    };
    for (int cycle = 0; cycle < 2; ++cycle) {
        SCOPED_TRACE(cycle);
        const Waveform up = nextWaveform(meter, now, 1), down = nextWaveform(meter, now, 1),
                       fig = nextWaveform(meter, now, 1);
        // Slots and blocks (8 x 122 + 48 samples), and samples.
        EXPECT_EQ(std::make_tuple(up.slot, up.blocks, down.slot, down.blocks, fig.slot, fig.blocks),
                  std::make_tuple(0, 9, 1, 9, 6, 1));
        ASSERT_EQ(std::make_tuple(up.samples.size(), down.samples.size(), fig.samples.size()),
                  std::make_tuple(1024u, 1024u, 5u));

        // Figures: saturation up and down x10, gain x10, trigger index, offset.
        EXPECT_TRUE(Between(fig.samples[0] / 10.0, 10.0, 90.0));
        EXPECT_TRUE(Between(fig.samples[1] / 10.0, 10.0, 90.0));
        EXPECT_TRUE(Between(fig.samples[2] / 10.0, 5.0, 60.0));
        const int marker = fig.samples[3] - fig.samples[4];
        ASSERT_TRUE(Between(marker, 50, 900));

        // A tone burst that starts at the marker: quiet before, strong after, never clipped; the
        // saturation figure is its peak as a share of full scale.
        for (const Waveform* w : {&up, &down}) {
            EXPECT_LT(peak(w->samples, 0, marker - 2), 1000);
            EXPECT_GT(peak(w->samples, marker, marker + 150), 5000);
            EXPECT_LT(peak(w->samples, 0, 1024), 32767);
        }
        EXPECT_NEAR(peak(up.samples, 0, 1024) / 32767.0 * 100.0, fig.samples[0] / 10.0, 3.0);
        // Downstream is upstream a fraction of a sample later: the peak of their cross-correlation,
        // fitted through lags -1, 0 and 1.
        const auto corr = [&](int lag) {
            double s = 0;
            for (int i = std::max(0, -lag); i < std::min(1024, 1024 - lag); ++i)
                s += double(up.samples[std::size_t(i)]) * down.samples[std::size_t(i + lag)];
            return s;
        };
        EXPECT_TRUE(Between((corr(-1) - corr(1)) / (2 * (corr(-1) - 2 * corr(0) + corr(1))), 0.05, 1.5));
    }

    // Longer waveforms in smaller blocks, and the other channel (asking for it starts a new cycle);
    // a download left for more than 3 s starts again with the upstream waveform.
    sim::Meter big{{.blockSamples = 100, .samples = 2048}};
    nextWaveform(big, now, 1);
    const Waveform up = nextWaveform(big, now, 2);
    EXPECT_EQ(std::make_tuple(up.slot, up.samples.size(), up.blocks), std::make_tuple(0, 2048u, 21));
    EXPECT_EQ(nextWaveform(big, now, 2).slot, 1);
    now += 4000;
    EXPECT_EQ(nextWaveform(big, now, 2).slot, 0);
}

TEST(MeterSimZeroAndTrim, ZeroStatusAndTrimAcknowledgements)
{
    // Code 38, the zero delta as a single at byte 4, the status at byte 8 (the tool's zero
    // calibration against the simulator reads the delta, never a status but 0).
    sim::Meter meter{{.zeroDelta = -2.9e-9f, .zeroStatus = 4}};
    double now = 0;
    const Bytes zero = ask(meter, mc::CommandFrame(5, 17, 1, 0), now);
    EXPECT_EQ(std::make_tuple(int(zero[1]), single(zero, 4), int(zero[8])), std::make_tuple(38, -2.9e-9f, 4));

    // Adjusting requests (kinds 4 and 6) are acknowledged with 46; keep or end (loop 99) with 36.
    for (const auto [kind, loop, code] : {std::array{6, 1, 46}, {4, 2, 46}, {6, 99, 36}, {4, 99, 36}})
        EXPECT_EQ(ask(meter, mc::CommandFrame(kind, 17, std::uint8_t(loop), 7731), now)[1], code)
            << "kind " << kind << ", loop " << loop;
}

TEST(MeterSimFaults, EachFaultDoesToTheAnswerWhatItsOptionSaysAndTheSeedRepeatsThem)
{
    const auto identifyWith = [](const sim::MeterConfig& cfg) { return sim::Meter{cfg}.handle(identify(), 100.0); };
    const sim::Outcome clean = identifyWith({});
    ASSERT_EQ(clean.reply.pieces.size(), 1u);
    EXPECT_EQ(clean.reply.pieces[0].gapMs, 5.0); // the turnaround
    const Bytes answer = clean.reply.pieces[0].bytes;

    for (std::uint64_t seed : {1u, 2u, 3u, 4u}) {
        SCOPED_TRACE(seed);
        // A meter with one fault on every answer.
        const auto only = [seed](double sim::MeterConfig::*fault) {
            sim::MeterConfig cfg{.seed = seed};
            cfg.*fault = 1;
            return cfg;
        };
        const sim::Outcome dropped = identifyWith(only(&sim::MeterConfig::drop));
        EXPECT_TRUE(dropped.reply.pieces.empty());
        EXPECT_EQ(dropped.reply.answer, answer);

        // One CRC byte changed, the rest as it was.
        const Bytes corrupt = onLine(identifyWith(only(&sim::MeterConfig::corrupt)));
        ASSERT_EQ(corrupt.size(), answer.size());
        EXPECT_TRUE(std::equal(answer.begin(), answer.end() - 2, corrupt.begin()));
        EXPECT_EQ((corrupt[8] != answer[8]) + (corrupt[9] != answer[9]), 1);

        // Two parts, the second 80 ms after the first.
        const sim::Outcome split = identifyWith(only(&sim::MeterConfig::split));
        ASSERT_EQ(split.reply.pieces.size(), 2u);
        EXPECT_EQ(std::make_pair(split.reply.pieces[0].gapMs, split.reply.pieces[1].gapMs), std::make_pair(5.0, 80.0));
        EXPECT_FALSE(split.reply.pieces[0].bytes.empty() || split.reply.pieces[1].bytes.empty());
        EXPECT_EQ(onLine(split), answer);

        // One to four stray bytes just before the answer, in the same burst.
        const sim::Outcome noisy = identifyWith(only(&sim::MeterConfig::noise));
        const Bytes n = onLine(noisy);
        EXPECT_EQ(noisy.reply.pieces.size(), 1u);
        ASSERT_TRUE(n.size() > answer.size() && n.size() <= answer.size() + 4) << n.size();
        EXPECT_TRUE(std::equal(answer.begin(), answer.end(), n.end() - static_cast<std::ptrdiff_t>(answer.size())));

        // Another node's answer: good CRC, other address, same payload.
        const Bytes foreign = onLine(identifyWith(only(&sim::MeterConfig::foreign)));
        ASSERT_EQ(foreign.size(), answer.size());
        EXPECT_NE(foreign[0], 17);
        EXPECT_TRUE(mc::CrcMatches(foreign.data(), foreign.size()));
        EXPECT_TRUE(std::equal(answer.begin() + 1, answer.end() - 2, foreign.begin() + 1));
    }

    // Late: the answer waits the delay on top of the turnaround.
    const sim::Outcome late = identifyWith({.turnaroundMs = 2, .delayMs = 250});
    ASSERT_EQ(late.reply.pieces.size(), 1u);
    EXPECT_EQ(late.reply.pieces[0].gapMs, 252.0);
    EXPECT_EQ(late.reply.pieces[0].bytes, answer);
    // A chosen request of a code comes that much later still; the others keep their time, and the
    // fault stream is the same as without it.
    sim::Meter chosen{{.turnaroundMs = 2, .late = {{34, 2, 3400}}}};
    std::vector<double> gaps;
    for (int i = 0; i < 3; ++i)
        gaps.push_back(chosen.handle(identify(), 10.0 * i).reply.pieces.at(0).gapMs);
    EXPECT_EQ(gaps, (std::vector<double>{2.0, 3402.0, 2.0}));
    EXPECT_EQ(chosen.stats().late, 1);

    // Each answer's bytes, pieces and faults repeat with the seed; each fault turns up about as
    // often as asked (0.3 of the answers, or of those not withheld).
    const auto run = [](std::uint64_t seed) {
        sim::Meter meter{{.seed = seed, .drop = 0.3, .corrupt = 0.3, .split = 0.3}};
        std::vector<Bytes> wire;
        for (int i = 0; i < 200; ++i) {
            const sim::Outcome o = meter.handle(identify(), 10.0 * i);
            wire.push_back(onLine(o));
            wire.back().insert(wire.back().end(), {std::uint8_t(o.reply.pieces.size()), std::uint8_t(o.reply.faults)});
        }
        return std::make_pair(wire, meter.stats());
    };
    const auto seven = run(7), eight = run(8);
    EXPECT_EQ(run(7).first, seven.first);
    EXPECT_NE(eight.first, seven.first);
    for (const sim::MeterStats& s : {seven.second, eight.second}) {
        const double sent = 200.0 - static_cast<double>(s.drop);
        EXPECT_TRUE(Between(s.drop, 30, 90, true));
        EXPECT_TRUE(Between(s.corrupt, 0.15 * sent, 0.45 * sent, true));
        EXPECT_TRUE(Between(s.split, 0.15 * sent, 0.45 * sent, true));
        EXPECT_EQ(s.noise + s.foreign + s.delay, 0);
    }
}

TEST(MeterSimSplitter, CutsRequestsByTheLengthOfTheirCodeAndHandsOnFragmentsAfterSilence)
{
    // 8 bytes by default, 10 for live data, 12 for output trim, 2w + 10 for an image block; fed
    // byte by byte, two bytes at a time (as the tool writes), and all at once.
    const Bytes image = sim::FactoryImage();
    const std::vector<Bytes> requests = {identify(), liveData(1, 2), mc::CommandFrame(4, 17, 1, 0x1234),
                                         writeBlock(image, 0, 56, 0), writeBlock(image, 0, 3, 2),
                                         writeBlock(image, 0, 0, 2), mc::RequestFrame(17, 99, {0, 0})};
    Bytes stream;
    for (const Bytes& r : requests)
        stream.insert(stream.end(), r.begin(), r.end());
    for (std::size_t step : {std::size_t(1), std::size_t(2), stream.size()}) {
        sim::FrameSplitter s;
        std::vector<Bytes> got;
        for (std::size_t i = 0; i < stream.size(); i += step)
            for (auto& f : s.feed(stream.data() + i, std::min(step, stream.size() - i), 10.0))
                got.push_back(f);
        EXPECT_EQ(got, requests) << step;
        EXPECT_FALSE(s.deadline()) << step;
    }

    // A fragment is handed on after the silence time, and one still pending when new bytes come
    // after the silence goes first; a fragment completed in time is a frame.
    sim::FrameSplitter s(100.0);
    const Bytes id = identify();
    EXPECT_TRUE(s.feed(id.data(), 5, 1000.0).empty());
    EXPECT_EQ(s.deadline(), 1100.0);
    EXPECT_FALSE(s.poll(1099.0));
    EXPECT_EQ(s.poll(1100.0), Bytes(id.begin(), id.begin() + 5));
    EXPECT_TRUE(s.feed(id.data(), 3, 2000.0).empty());
    EXPECT_EQ(s.feed(id.data(), id.size(), 2200.0), (std::vector<Bytes>{Bytes(id.begin(), id.begin() + 3), id}));
    EXPECT_TRUE(s.feed(id.data(), 4, 3000.0).empty());
    EXPECT_EQ(s.feed(id.data() + 4, 4, 3090.0), std::vector<Bytes>{id});
}

namespace {

const QString kSim = QStringLiteral(ZAV_METER_SIM_PATH);

// Runs the simulator to its end: exit code (-1 if it did not exit), standard output and error.
std::tuple<int, QString, QString> run(const QStringList& args)
{
    QProcess p;
    p.start(kSim, args);
    if (!p.waitForFinished(10000) || p.exitStatus() != QProcess::NormalExit)
        return {-1, {}, {}};
    return {p.exitCode(), QString::fromLocal8Bit(p.readAllStandardOutput()),
            QString::fromLocal8Bit(p.readAllStandardError())};
}

// Starts the simulator and returns the first line it prints.
QString start(QProcess& p, const QStringList& args)
{
    p.start(kSim, args);
    QElapsedTimer t;
    t.start();
    while (p.waitForStarted(10000) && !p.canReadLine() && t.elapsed() < 10000)
        p.waitForReadyRead(100);
    return QString::fromLocal8Bit(p.readLine()).trimmed();
}

// Ends the simulator with a signal: it exits 0 after printing one more line, which is returned.
QString stop(QProcess& p, int signal)
{
    ::kill(static_cast<pid_t>(p.processId()), signal);
    EXPECT_TRUE(p.waitForFinished(10000));
    EXPECT_EQ(std::make_pair(p.exitStatus(), p.exitCode()), std::make_pair(QProcess::NormalExit, 0));
    const QStringList rest = QString::fromLocal8Bit(p.readAllStandardOutput()).split('\n', Qt::SkipEmptyParts);
    EXPECT_EQ(rest.size(), 1) << rest.join('\n').toStdString();
    return rest.value(0);
}

} // namespace

TEST(MeterSimOptions, ParsesTheOptionsRefusesBadOnesAndTheProgramExitsAsTheParserSays)
{
    const auto parse = [](const QStringList& args) { return sim::ParseOptions(QStringList{kSim} + args); };
    // The options the tool's runs against the simulator leave out (those show their effect there).
    const sim::ParseResult r = parse({"--node", "247", "--turnaround", "7", "--block-samples", "100", "--samples",
                                      "2048", "--status-b", "3", "--zero-delta", "2.5e-9", "--zero-status", "4",
                                      "--corrupt", "0.2", "--noise", "0.4", "--foreign", "0.5", "--delay", "250",
                                      "--late", "33:5:3300", "--late", "35:1:10", "--late-p", "0.1", "--late-ms", "3500"});
    ASSERT_EQ(r.exitCode, -1) << r.err;
    const sim::MeterConfig& m = r.options.meter;
    const std::tuple<const char*, double, double> values[] = {
        {"node", m.node, 247},           {"turnaround", m.turnaroundMs, 7}, {"block-samples", m.blockSamples, 100},
        {"samples", m.samples, 2048},    {"status-b", m.statusB, 3},        {"zero-delta", m.zeroDelta, 2.5e-9f},
        {"zero-status", m.zeroStatus, 4}, {"corrupt", m.corrupt, 0.2},      {"noise", m.noise, 0.4},
        {"foreign", m.foreign, 0.5},     {"delay", m.delayMs, 250}};
    for (const auto& [name, got, want] : values)
        EXPECT_EQ(got, want) << name;
    ASSERT_EQ(m.late.size(), 2u);
    EXPECT_TRUE(m.late[0].code == 33 && m.late[0].k == 5 && m.late[0].ms == 3300 && m.late[1].code == 35);
    EXPECT_TRUE(m.lateP == 0.1 && m.lateMs == 3500);

    // Refused with exit code 2, a message naming the first argument, and the usage.
    const std::vector<QStringList> bad = {
        {"--bogus"},         {"--drop", "1.5"},        {"--corrupt", "x"},      {"--chunk-words", "123"},
        {"--chunk-words", "0"}, {"--block-samples", "123"}, {"--samples", "2049"}, {"--node", "0"},
        {"--node", "248"},   {"--serial", "65536"},    {"--baud", "0"},         {"--turnaround", "-1"},
        {"--save"},          {"--device", "/dev/ttyS0", "--link", "/tmp/m"}, {"stray"}, {"--node"},
        {"--zero-delta", "abc"}, {"--log-ends"}, {"--late", "33:0:100"}, {"--late", "33:5"}, {"--late-p", "2"},
    };
    for (const QStringList& args : bad) {
        SCOPED_TRACE(args.join(' ').toStdString());
        const sim::ParseResult b = parse(args);
        EXPECT_EQ(b.exitCode, 2);
        const QString err = QString::fromStdString(b.err);
        EXPECT_TRUE(err.contains(args[0].startsWith("--") ? args[0].mid(2) : args[0]) && err.contains("Usage:")) << b.err;
    }

    // The built program exits as its parser says; the usage names the running program (here this test).
    const auto asSim = [](const std::string& text) {
        return QString::fromStdString(text).replace(QCoreApplication::arguments().constFirst(), kSim);
    };
    for (const QStringList& args : {QStringList{"--help"}, QStringList{"--bogus"}, QStringList{"--split", "2"}}) {
        const sim::ParseResult parsed = parse(args);
        ASSERT_GE(parsed.exitCode, 0);
        EXPECT_EQ(run(args), std::make_tuple(parsed.exitCode, asSim(parsed.out), asSim(parsed.err))) << args[0].toStdString();
    }
}

TEST(MeterSimProgram, RefusesSiteFilesItCannotLoadAndOnItsPseudoTerminalMakesTheLinkThenStopsOnSigterm)
{
    // Files that are not site files: exit 1 with the reason, before the line is opened.
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString path = dir.filePath(QStringLiteral("site.bin"));
    for (const auto& [bytes, why] : std::vector<std::pair<QByteArray, QString>>{
             {QByteArray(100, 'x'), "holds 100 bytes"}, {QByteArray(1455, 'x'), "checksum"}}) {
        ASSERT_TRUE(testbytes::writeFile(path, bytes));
        const auto [code, out, err] = run({QStringLiteral("--image"), path});
        EXPECT_EQ(code, 1);
        EXPECT_TRUE(out.isEmpty() && err.startsWith(QLatin1String("zav-meter-sim: ")) && err.contains(why))
            << err.toStdString();
    }

    const QString link = dir.filePath(QStringLiteral("meter"));
    QProcess sim;
    const QString pts = start(sim, {"--link", link});
    ASSERT_TRUE(pts.startsWith(QStringLiteral("/dev/pts/"))) << pts.toStdString();
    EXPECT_EQ(QFileInfo(link).symLinkTarget(), pts);
    EXPECT_EQ(stop(sim, SIGTERM), QStringLiteral("zav-meter-sim: answered none (0 in all); ignored 0; faults drop:0 "
                                                 "corrupt:0 split:0 noise:0 foreign:0 delay:0 late:0"));
    EXPECT_FALSE(QFileInfo(link).isSymLink()) << "the link is removed at exit";
}

TEST(MeterSimProgram, OnADeviceItAnswersAndLogsThenStopsOnSigint)
{
    PtyPair pty;
    ASSERT_TRUE(pty.ok());
    QTemporaryDir dir;
    const QString logPath = dir.filePath(QStringLiteral("meter.log"));
    QProcess sim;
    ASSERT_EQ(start(sim, {"--device", pty.slavePath(), "--baud", "115200", "--serial", "4660", "--split", "1", "--log",
                          logPath, "--log-ends"}),
              pty.slavePath());
    // A request with a bad CRC and an identification in one write: one answer, sent in two parts.
    const Bytes identify = modComFun::CommandFrame(3, 17, 0, 0);
    Bytes bad = identify;
    bad[6] ^= 0xFF;
    pty.write(testbytes::qbytes(bad) + testbytes::qbytes(identify));
    EXPECT_EQ(testbytes::fromQ(pty.read(10, 3000)), withCrc({17, 34, 0, 0, 1, 3, 0x34, 0x12}));
    const QString summary = stop(sim, SIGINT);
    EXPECT_EQ(summary, QStringLiteral("zav-meter-sim: answered 34:1 (1 in all); ignored 1; faults drop:0 corrupt:0 "
                                      "split:1 noise:0 foreign:0 delay:0 late:0"));

    // The log: time-stamped lines for the start, each request and answer in hex, when the answer's
    // last byte went out, and the summary.
    const QStringList log = QString::fromLatin1(testbytes::fileBytes(logPath)).split('\n', Qt::SkipEmptyParts);
    const QStringList expected = {
        "meter on " + QRegularExpression::escape(pty.slavePath()) + " \\(node 17, 115200 baud\\)",
        "RX 11 22 EF CD 00 00 \\w\\w \\w\\w \\(ignored: bad CRC\\)", "RX 11 22 EF CD 00 00 \\w\\w \\w\\w",
        "TX 11 22 00 00 01 03 34 12 \\w\\w \\w\\w \\[split\\]", "TX end \\d+\\.\\d{3}", QRegularExpression::escape(summary)};
    ASSERT_EQ(log.size(), expected.size()) << log.join('\n').toStdString();
    for (qsizetype i = 0; i < log.size(); ++i)
        EXPECT_TRUE(QRegularExpression("^\\d{4}-\\d\\d-\\d\\d \\d\\d:\\d\\d:\\d\\d\\.\\d{3} " + expected[i] + '$')
                        .match(log[i])
                        .hasMatch())
            << log[i].toStdString();
}

// Three meters on one line: each answers its own node with its own serial number, the first also
// the Poll node; a node nobody has stays silent.
TEST(MeterSimProgram, SeveralMetersShareOneLine)
{
    PtyPair pty;
    ASSERT_TRUE(pty.ok());
    QProcess sim;
    ASSERT_EQ(start(sim, {"--device", pty.slavePath(), "--baud", "115200", "--nodes", "3,7,12", "--serial", "500"}),
              pty.slavePath());
    const std::pair<std::uint8_t, std::uint16_t> asked[] = {{7, 501}, {17, 500}, {12, 502}, {3, 500}};
    for (const auto& [node, serial] : asked) {
        pty.write(testbytes::qbytes(modComFun::CommandFrame(3, node, 0, 0)));
        EXPECT_EQ(testbytes::fromQ(pty.read(10, 3000)),
                  withCrc({node, 34, 0, 0, 1, 3, std::uint8_t(serial & 0xFF), std::uint8_t(serial >> 8)}))
            << int(node);
    }
    pty.write(testbytes::qbytes(modComFun::CommandFrame(3, 5, 0, 0)));
    EXPECT_TRUE(pty.read(1, 300).isEmpty());
    EXPECT_TRUE(stop(sim, SIGTERM).startsWith("zav-meter-sim: answered 34:4 (4 in all); ignored 1;"));
    EXPECT_EQ(sim::ParseOptions({kSim, "--nodes", "3,3"}).exitCode, 2);
    EXPECT_EQ(sim::ParseOptions({kSim, "--nodes", "3,7", "--node", "4"}).exitCode, 2);
}
