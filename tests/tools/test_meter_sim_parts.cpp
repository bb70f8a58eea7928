// The meter simulator's live data, diagnostics, raw signal download, zero and trim answers, its
// frame splitter and its command line.

#include "simtest.h"

#include "framesplitter.h"
#include "meter.h"
#include "options.h"

#include <QStringList>

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <set>

using namespace simtest;

namespace {
// Pipe cross-sections of the two factory channels (inside diameters 4.63 and 6.32 mm).
constexpr double kAreaA = 0.785 * 0.00463 * 0.00463;
constexpr double kAreaB = 0.785 * 0.00632 * 0.00632;
} // namespace

TEST(MeterSimLiveData, FlowSoundSpeedStatusAndTheBatch)
{
    sim::MeterConfig cfg;
    cfg.statusA = 1;
    cfg.statusB = 3;
    sim::Meter meter{cfg};
    double now = 1000;

    std::set<float> flows, speeds;
    for (int i = 0; i < 6; ++i, now += 700) {
        for (int c = 0; c < 2; ++c) {
            SCOPED_TRACE(c);
            const Bytes a = ask(meter, liveData(c, 0), now);
            ASSERT_EQ(a.size(), 52u);
            EXPECT_EQ(a[1], 30);
            const double area = c == 0 ? kAreaA : kAreaB;
            const float mean = single(a, 4), speed = single(a, 8), flow = single(a, 12), sdv = single(a, 16);
            // A velocity of roughly 0.5 to 1.5 m/s through the channel's tube, in m^3/s.
            EXPECT_TRUE(Between(mean, 0.5 * area, 1.5 * area));
            EXPECT_NEAR(flow, mean, 0.05 * mean);
            EXPECT_NEAR(speed, 1481.0, 5.0);
            EXPECT_TRUE(Between(sdv * 100.0 / mean, 0.2, 5.0));
            EXPECT_EQ(single(a, 20), 0.0f); // no batch yet
            EXPECT_EQ(single(a, 24), 0.0f);
            EXPECT_TRUE(Between(integer(a, 28) / 1000.0, 0.05, 1.0)); // load
            EXPECT_TRUE(Between(integer(a, 30), 5, 50, true));        // size
            EXPECT_TRUE(Between(integer(a, 32) / 10.0, 1.0, 10.0));   // absorption
            EXPECT_NE(a[36], 0); // averaging gate closed while no batch runs
            EXPECT_EQ(a[48], 0);
            EXPECT_EQ(a[49], c == 0 ? 1 : 3);
            if (c == 0) {
                flows.insert(flow);
                speeds.insert(speed);
            }
        }
    }
    EXPECT_GE(flows.size(), 5u);
    EXPECT_GE(speeds.size(), 5u);

    // Batch: start at 10 s, poll at 20 s: ten seconds counted and the flow integrated.
    now = 10000;
    Bytes a = ask(meter, liveData(0, 2), now);
    EXPECT_EQ(a[48], 1);
    EXPECT_EQ(a[36], 0);
    const double startTime = now;
    const double meanAtStart = single(a, 4);
    now = 20000;
    a = ask(meter, liveData(0, 0), now);
    const double seconds = (now - startTime) / 1000.0;
    EXPECT_NEAR(single(a, 20), seconds, 1e-3);
    const double totalA = single(a, 24);
    EXPECT_NEAR(totalA, seconds * (meanAtStart + single(a, 4)) / 2, 0.02 * totalA);
    EXPECT_EQ(a[48], 1);
    EXPECT_EQ(a[36], 0);
    EXPECT_TRUE(Between(single(ask(meter, liveData(1, 0), now), 24), 0.5 * kAreaB * seconds, 1.5 * kAreaB * seconds));

    // Stop: the totals and the time hold.
    now = 30000;
    a = ask(meter, liveData(0, 1), now);
    EXPECT_EQ(a[48], 0);
    EXPECT_NE(a[36], 0);
    const float heldTime = single(a, 20), heldTotal = single(a, 24);
    EXPECT_NEAR(heldTime, (now - startTime) / 1000.0, 1e-3);
    now = 45000;
    a = ask(meter, liveData(0, 0), now);
    EXPECT_EQ(single(a, 20), heldTime);
    EXPECT_EQ(single(a, 24), heldTotal);

    // Clear (4) while stopped; start, then clear while running (3): the batch keeps running.
    a = ask(meter, liveData(0, 4), now);
    EXPECT_EQ(single(a, 20), 0.0f);
    EXPECT_EQ(single(a, 24), 0.0f);
    ask(meter, liveData(0, 2), now);
    now += 5000;
    EXPECT_GT(single(ask(meter, liveData(0, 0), now), 24), 0.0f);
    a = ask(meter, liveData(0, 3), now);
    EXPECT_EQ(single(a, 24), 0.0f);
    EXPECT_EQ(single(a, 20), 0.0f);
    EXPECT_EQ(a[48], 1);
}

TEST(MeterSimDiagnostics, FiguresAtTheirOffsetsArePlausibleAndVary)
{
    sim::MeterConfig cfg;
    cfg.statusB = 2;
    sim::Meter meter{cfg};
    double now = 500;
    std::set<float> transit, deltas;
    for (int i = 0; i < 8; ++i, now += 100) {
        const int c = i % 2;
        SCOPED_TRACE(c);
        const Bytes a = ask(meter, diagData(c), now);
        ASSERT_EQ(a.size(), 38u);
        EXPECT_EQ(a[1], 31);
        EXPECT_TRUE(Between(single(a, 4) * 1e6, 6.0, 12.0));  // transit time, shown in us
        EXPECT_TRUE(Between(single(a, 8) * 1e9, 0.3, 10.0));  // delta, shown in ns
        EXPECT_EQ(a[12], c == 0 ? 0 : 2);                     // error
        EXPECT_LT(a[13], 20);                                 // minimum count
        EXPECT_TRUE(Between(integer(a, 14), 100, 1000));      // trigger up and down
        EXPECT_LE(std::abs(integer(a, 14) - integer(a, 16)), 3);
        EXPECT_EQ(integer(a, 18), 866);                       // sine of the refraction angle x1000
        EXPECT_TRUE(Between(integer(a, 20), 501, 1000, true)); // phase correlation
        EXPECT_TRUE(Between(integer(a, 22) / 10.0, 10.0, 90.0)); // saturation up and down, x10 %
        EXPECT_TRUE(Between(integer(a, 24) / 10.0, 10.0, 90.0));
        EXPECT_TRUE(Between(integer(a, 26) / 10.0, 30.0, 120.0)); // acoustic strength
        EXPECT_GT(integer(a, 28), 1000);                      // waveform magnitude
        EXPECT_GE(integer(a, 30), 0);
        EXPECT_LE(a[33], 1);                                  // lead/lag
        if (c == 0) {
            transit.insert(single(a, 4));
            deltas.insert(single(a, 8));
        }
    }
    EXPECT_GE(transit.size(), 3u);
    EXPECT_GE(deltas.size(), 3u);
}

namespace {
// One whole waveform, as the plot window collects it, and its samples.
struct Waveform : Transfer {
    std::vector<int> samples;
};
Waveform nextWaveform(sim::Meter& meter, double& now, int channel, int maxBlock)
{
    Waveform w{collect([&] { return ask(meter, plotPoll(channel), now); }, mc::PlotPoll, maxBlock), {}};
    for (std::size_t i = 0; i + 1 < w.data.size(); i += 2)
        w.samples.push_back(integer(w.data, i));
    return w;
}

double correlation(const std::vector<int>& up, const std::vector<int>& down, int lag)
{
    double s = 0;
    for (std::size_t i = 0; i < up.size(); ++i) {
        const long j = static_cast<long>(i) + lag;
        if (j >= 0 && j < static_cast<long>(down.size()))
            s += static_cast<double>(up[i]) * down[static_cast<std::size_t>(j)];
    }
    return s;
}
} // namespace

TEST(MeterSimPlot, DownloadCycleOfUpstreamDownstreamAndFigures)
{
    sim::Meter meter{sim::MeterConfig{}};
    double now = 0;
    for (int cycle = 0; cycle < 2; ++cycle) {
        SCOPED_TRACE(cycle);
        const Waveform up = nextWaveform(meter, now, 1, 122);
        const Waveform down = nextWaveform(meter, now, 1, 122);
        const Waveform fig = nextWaveform(meter, now, 1, 122);
        // Slot, samples and blocks (8 x 122 + 48 samples).
        EXPECT_EQ(std::make_tuple(up.slot, up.samples.size(), up.blocks), std::make_tuple(0, 1024u, 9));
        EXPECT_EQ(std::make_tuple(down.slot, down.samples.size(), down.blocks), std::make_tuple(1, 1024u, 9));
        EXPECT_EQ(std::make_tuple(fig.slot, fig.samples.size(), fig.blocks), std::make_tuple(6, 5u, 1));
        ASSERT_TRUE(up.samples.size() == 1024 && down.samples.size() == 1024 && fig.samples.size() == 5);

        // Figures: saturation up and down x10, gain x10, trigger index, offset.
        EXPECT_TRUE(Between(fig.samples[0] / 10.0, 10.0, 90.0));
        EXPECT_TRUE(Between(fig.samples[1] / 10.0, 10.0, 90.0));
        EXPECT_TRUE(Between(fig.samples[2] / 10.0, 5.0, 60.0));
        const int marker = fig.samples[3] - fig.samples[4];
        ASSERT_TRUE(Between(marker, 50, 900));

        // A tone burst that starts at the marker: quiet before, strong after.
        auto peak = [](const std::vector<int>& v, int from, int to) {
            int p = 0;
            for (int i = std::max(0, from); i < std::min<int>(to, static_cast<int>(v.size())); ++i)
                p = std::max(p, std::abs(v[static_cast<std::size_t>(i)]));
            return p;
        };
        for (const Waveform* w : {&up, &down}) {
            EXPECT_LT(peak(w->samples, 0, marker - 2), 1000);
            EXPECT_GT(peak(w->samples, marker, marker + 150), 5000);
            EXPECT_LT(peak(w->samples, 0, 1024), 32767);
        }
        // The saturation figure is the burst's peak as a share of full scale.
        EXPECT_NEAR(peak(up.samples, 0, 1024) / 32767.0 * 100.0, fig.samples[0] / 10.0, 3.0);
        // The downstream burst is the upstream one, a fraction of a sample later.
        EXPECT_NE(up.samples, down.samples);
        const double cm = correlation(up.samples, down.samples, -1), c0 = correlation(up.samples, down.samples, 0),
                     cp = correlation(up.samples, down.samples, 1);
        EXPECT_TRUE(Between((cm - cp) / (2 * (cm - 2 * c0 + cp)), 0.05, 1.5));
    }

    // Longer waveforms in smaller blocks, and the other channel (asking for it starts a new cycle).
    sim::MeterConfig cfg;
    cfg.samples = 2048;
    cfg.blockSamples = 100;
    sim::Meter big{cfg};
    nextWaveform(big, now, 1, 100);
    const Waveform up = nextWaveform(big, now, 2, 100);
    EXPECT_EQ(std::make_tuple(up.slot, up.samples.size(), up.blocks), std::make_tuple(0, 2048u, 21));
    EXPECT_EQ(nextWaveform(big, now, 2, 100).slot, 1);
    // A download left for more than 3 s starts again with the upstream waveform.
    now += 4000;
    EXPECT_EQ(nextWaveform(big, now, 2, 100).slot, 0);
}

TEST(MeterSimZeroAndTrim, ZeroDeltaAndTrimAcknowledgements)
{
    sim::Meter meter{sim::MeterConfig{}};
    double now = 0;
    // The answer: code 38, the zero delta as a single at byte 4, the status at byte 8.
    const auto fields = [](const Bytes& a) { return std::make_tuple(int(a[1]), single(a, 4), int(a[8])); };
    for (int c : {0, 1})
        EXPECT_EQ(fields(ask(meter, zero(c), now)), std::make_tuple(38, 1e-10f, 0)) << c;
    sim::MeterConfig cfg;
    cfg.zeroDelta = -2.9e-9f;
    cfg.zeroStatus = 4;
    sim::Meter blocked{cfg};
    EXPECT_EQ(fields(ask(blocked, zero(0), now)), std::make_tuple(38, -2.9e-9f, 4));

    // Adjusting requests (kinds 4 and 6) are acknowledged with 46; keep or end (loop 99) with 36.
    EXPECT_EQ(ask(meter, mc::CommandFrame(6, 17, 1, 38335), now)[1], 46);
    EXPECT_EQ(ask(meter, mc::CommandFrame(4, 17, 2, 7731), now)[1], 46);
    EXPECT_EQ(ask(meter, mc::CommandFrame(6, 17, 99, 38338), now)[1], 36);
    EXPECT_EQ(ask(meter, mc::CommandFrame(4, 17, 99, 7606), now)[1], 36);
}

TEST(MeterSimSplitter, CutsRequestsByTheLengthOfTheirCode)
{
    using sim::FrameSplitter;
    const Bytes image = sim::FactoryImage();
    const std::vector<Bytes> requests = {
        identify(),         readImage(),          liveData(1, 2),  diagData(0),
        zero(1),            plotPoll(2),          mc::CommandFrame(4, 17, 1, 0x1234),
        writeBlock(image, 0, 56, 0), writeBlock(image, 0, 3, 2), writeBlock(image, 0, 0, 2),
        mc::RequestFrame(17, 99, {0, 0}),
    };
    Bytes stream;
    for (const Bytes& r : requests)
        stream.insert(stream.end(), r.begin(), r.end());

    // Byte by byte, two bytes at a time (as the tool writes), and all at once.
    for (std::size_t step : {std::size_t(1), std::size_t(2), stream.size()}) {
        SCOPED_TRACE(step);
        FrameSplitter s;
        std::vector<Bytes> got;
        for (std::size_t i = 0; i < stream.size(); i += step) {
            const std::size_t n = std::min(step, stream.size() - i);
            for (auto& f : s.feed(stream.data() + i, n, 10.0))
                got.push_back(f);
        }
        EXPECT_EQ(got, requests);
        EXPECT_EQ(s.pending(), 0u);
        EXPECT_FALSE(s.deadline());
    }

    // A fragment is handed on once the line has been silent for the silence time, and a fragment
    // that is still pending when new bytes come after the silence goes first.
    FrameSplitter s(100.0);
    const Bytes id = identify();
    EXPECT_TRUE(s.feed(id.data(), 5, 1000.0).empty());
    EXPECT_EQ(s.deadline(), 1100.0);
    EXPECT_FALSE(s.poll(1099.0));
    EXPECT_EQ(s.poll(1100.0), Bytes(id.begin(), id.begin() + 5));
    EXPECT_TRUE(s.feed(id.data(), 3, 2000.0).empty());
    EXPECT_EQ(s.feed(id.data(), id.size(), 2200.0), (std::vector<Bytes>{Bytes(id.begin(), id.begin() + 3), id}));
    // A fragment that is completed in time is a frame.
    EXPECT_TRUE(s.feed(id.data(), 4, 3000.0).empty());
    EXPECT_EQ(s.feed(id.data() + 4, 4, 3090.0), std::vector<Bytes>{id});
}

TEST(MeterSimOptions, ParsesEveryOptionAndRefusesBadOnes)
{
    const auto parse = [](QStringList args) {
        args.prepend(QStringLiteral("zav-meter-sim"));
        return sim::ParseOptions(args);
    };
    // name, value parsed, value expected.
    using Values = std::vector<std::tuple<const char*, double, double>>;
    const auto expectValues = [](const Values& values) {
        for (const auto& [name, got, want] : values)
            EXPECT_EQ(got, want) << name;
    };
    const sim::ParseResult d = parse({});
    ASSERT_EQ(d.exitCode, -1) << d.err;
    const sim::MeterConfig& m = d.options.meter;
    expectValues({{"node", m.node, 17}, {"baud", m.baud, 9600}, {"turnaround", m.turnaroundMs, 5},
                  {"model", m.model, 1}, {"version", m.version, 3}, {"serial", m.serial, 12345},
                  {"chunk-words", m.chunkWords, 122}, {"block-samples", m.blockSamples, 122},
                  {"samples", m.samples, 1024}, {"zero-delta", m.zeroDelta, 1e-10f}});

    const sim::ParseResult all = parse(
        {"--link", "/tmp/m", "--node", "5", "--baud", "19200", "--turnaround", "7", "--chunk-words", "56",
         "--block-samples", "100", "--samples", "2048", "--model", "2", "--version", "9", "--serial", "65535",
         "--image", "/tmp/i.bin", "--save", "--status-a", "1", "--status-b", "3", "--zero-delta", "2.5e-9",
         "--zero-status", "4", "--seed", "99", "--drop", "0.1", "--corrupt", "0.2", "--split", "0.3", "--noise",
         "0.4", "--foreign", "0.5", "--delay", "250", "--log", "/tmp/l.txt"});
    ASSERT_EQ(all.exitCode, -1) << all.err;
    const sim::SimOptions& o = all.options;
    EXPECT_EQ(std::make_tuple(o.linkPath, o.imagePath, o.save, o.logPath),
              std::make_tuple("/tmp/m", "/tmp/i.bin", true, "/tmp/l.txt"));
    const sim::MeterConfig& a = o.meter;
    expectValues({{"node", a.node, 5}, {"baud", a.baud, 19200}, {"turnaround", a.turnaroundMs, 7},
                  {"chunk-words", a.chunkWords, 56}, {"block-samples", a.blockSamples, 100},
                  {"samples", a.samples, 2048}, {"model", a.model, 2}, {"version", a.version, 9},
                  {"serial", a.serial, 65535}, {"status-a", a.statusA, 1}, {"status-b", a.statusB, 3},
                  {"zero-delta", a.zeroDelta, 2.5e-9f}, {"zero-status", a.zeroStatus, 4}, {"seed", double(a.seed), 99},
                  {"drop", a.drop, 0.1}, {"corrupt", a.corrupt, 0.2}, {"split", a.split, 0.3}, {"noise", a.noise, 0.4},
                  {"foreign", a.foreign, 0.5}, {"delay", a.delayMs, 250}});
    EXPECT_EQ(parse({"--device", "/dev/ttyS0"}).options.devicePath, "/dev/ttyS0");

    const std::vector<QStringList> bad = {
        {"--bogus"},         {"--drop", "1.5"},        {"--corrupt", "x"},      {"--chunk-words", "123"},
        {"--chunk-words", "0"}, {"--block-samples", "123"}, {"--samples", "2049"}, {"--node", "0"},
        {"--node", "248"},   {"--serial", "65536"},    {"--baud", "0"},         {"--turnaround", "-1"},
        {"--save"},          {"--device", "/dev/ttyS0", "--link", "/tmp/m"}, {"stray"}, {"--node"},
        {"--zero-delta", "abc"},
    };
    for (const QStringList& args : bad) {
        const sim::ParseResult r = parse(args);
        EXPECT_EQ(r.exitCode, 2) << args.join(' ').toStdString();
        EXPECT_NE(r.err.find("Usage:"), std::string::npos) << args.join(' ').toStdString();
    }

    const sim::ParseResult help = parse({"--help"});
    EXPECT_EQ(help.exitCode, 0);
    for (const char* name : {"--link", "--device", "--node", "--baud", "--turnaround", "--chunk-words",
                             "--block-samples", "--samples", "--model", "--version", "--serial", "--image",
                             "--save", "--status-a", "--status-b", "--zero-delta", "--zero-status", "--seed",
                             "--drop", "--corrupt", "--split", "--noise", "--foreign", "--delay", "--log"})
        EXPECT_NE(help.out.find(name), std::string::npos) << name;
}
