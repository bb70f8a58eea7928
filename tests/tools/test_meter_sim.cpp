// The meter simulator's identification and parameter image, the answers the tool relies on taken
// apart with the tool's own frame code at the places the image layout gives; and its faults, each
// doing to the answer what its option says, repeated by the same seed.

#include "simtest.h"

#include "imagefile.h"
#include "meter.h"

#include <QDir>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace simtest;
using testbytes::withCrc;

TEST(MeterSimIdentify, AnswersModelVersionSerialAndIgnoresWhatIsNotForIt)
{
    sim::Meter meter{sim::MeterConfig{}};
    double now = 0;
    // 17, 34, two payload bytes, model 1, version 3, serial 12345 low byte first, CRC low first.
    EXPECT_EQ(ask(meter, identify(), now), withCrc({17, 34, 0, 0, 1, 3, 0x39, 0x30}));
    sim::MeterConfig other;
    other.node = 5;
    other.model = 2;
    other.version = 7;
    other.serial = 513;
    sim::Meter five{other};
    EXPECT_EQ(ask(five, identify(5), now, 5), withCrc({5, 34, 0, 0, 2, 7, 0x01, 0x02}));

    // Requests that get no answer at all.
    Bytes badCrc = identify();
    badCrc[7] ^= 0x01;
    Bytes wrongAccess = identify();
    wrongAccess[2] = 0xEE; // 52718
    mc::AppendCrc(wrongAccess.data(), 6);
    Bytes highLowCrc = identify();
    std::swap(highLowCrc[6], highLowCrc[7]);
    const std::vector<std::pair<Bytes, sim::Verdict>> ignored = {
        {identify(16), sim::Verdict::OtherNode},
        {badCrc, sim::Verdict::BadCrc},
        {highLowCrc, sim::Verdict::BadCrc},
        {wrongAccess, sim::Verdict::BadAccessCode},
        {mc::RequestFrame(17, 40, {0, 0}), sim::Verdict::UnknownCode},
        {mc::RequestFrame(17, mc::TransferDone, {0, 0}), sim::Verdict::UnknownCode},
        {mc::RequestFrame(17, mc::TrimAck, {0, 0}), sim::Verdict::UnknownCode},
        {Bytes{17, 34, 0xEF, 0xCD, 0}, sim::Verdict::TooShort},
        {mc::RequestFrame(17, mc::Identify, {0, 0, 0, 0}), sim::Verdict::WrongLength},
    };
    for (const auto& [request, verdict] : ignored) {
        const sim::Outcome o = meter.handle(request, now += 20);
        EXPECT_EQ(o.verdict, verdict) << sim::VerdictText(o.verdict);
        EXPECT_TRUE(o.reply.pieces.empty());
    }
    EXPECT_EQ(meter.stats().ignored, static_cast<long>(ignored.size()));
    EXPECT_EQ(meter.stats().answered.at(34), 1);
    EXPECT_NE(meter.summary().find("34:1"), std::string::npos) << meter.summary();
}

namespace {
// One image field: its offset, kind ('b' byte, 'w' word, 'f' single) and value.
struct Field {
    int at;
    char kind;
    double want;
};

void expectFields(const Bytes& im, int base, std::initializer_list<Field> fields)
{
    for (const Field& f : fields) {
        const auto at = static_cast<std::size_t>(base + f.at);
        SCOPED_TRACE(testing::Message() << "image byte " << at);
        if (f.kind == 'f')
            EXPECT_FLOAT_EQ(single(im, at), static_cast<float>(f.want));
        else
            EXPECT_EQ(f.kind == 'b' ? double(im[at]) : double(word(im, at)), f.want);
    }
}
} // namespace

TEST(MeterSimImage, FactoryImageIsACoherentTwoChannelConfiguration)
{
    const Bytes im = sim::FactoryImage();
    ASSERT_EQ(im.size(), 1452u);
    EXPECT_EQ(mc::FieldToText(im.data(), 10), "ZAV METER ");
    EXPECT_EQ(sim::FactoryImage(9)[20], 9);
    expectFields(im, 0, {
        {20, 'b', 17}, {28, 'b', 2}, // node "Poll", dual channel
        // Loop 1 (record 3): on, channel A, actual flow, 4-20 mA counts, from 0; loop 2 off.
        {592, 'b', 1}, {596, 'b', 0}, {598, 'b', 0}, {600, 'w', 38335}, {602, 'w', 7631}, {604, 'f', 0}, {572, 'b', 0},
        // Logic outputs disabled, no logic input.
        {620, 'b', 0}, {636, 'b', 0}, {652, 'b', 0}, {616, 'w', 0},
    });
    EXPECT_GT(single(im, 608), 1e-4f); // full scale: about 12 m/s through the tube, in m^3/s
    EXPECT_LT(single(im, 608), 5e-4f);

    // Channel A at 684: transducer KRB41 (row 1) with its tube; channel B at 1068: KRB17 (row 2).
    struct Tube {
        int base;
        unsigned type;
        float spacing, wall, insideDiameter;
    };
    for (const Tube& t : {Tube{684, 1, 0.00508f, 0.0008f, 0.00463f}, Tube{1068, 2, 0.006998f, 0.0016f, 0.00632f}}) {
        SCOPED_TRACE(t.base);
        expectFields(im, t.base, {
            // Clamp-on, transducer type, tube geometry, 4000 kHz, refraction, wedge speed,
            // 12 samples per cycle, delay, pulse width, spacing, water, one traverse, path and axial length.
            {0, 'b', 1}, {2, 'w', double(t.type)}, {4, 'b', 1}, {6, 'w', 4000}, {8, 'f', 0.866}, {12, 'f', 2550},
            {16, 'b', 12}, {20, 'f', 5.4e-6}, {24, 'b', 2}, {28, 'f', t.spacing}, {32, 'f', 1481}, {36, 'b', 1},
            {40, 'f', 0.005174}, {44, 'f', 0.00202},
            // Wall, PFA wall speed, response "Auto", threshold, normal signal mode, anti-jitter.
            {52, 'f', t.wall}, {56, 'f', 1500}, {60, 'b', 99}, {62, 'b', 60}, {64, 'w', 32832}, {66, 'b', 0},
            {68, 'b', 4},
            // Calibration factor, zero trim, cut-off, velocity and sound speed limits, signal limits.
            {76, 'f', 1}, {80, 'f', 0}, {88, 'f', 0.015}, {96, 'f', -12}, {100, 'f', 12}, {104, 'f', 1700},
            {108, 'f', 1000}, {112, 'w', 500}, {114, 'w', 200}, {116, 'w', 900}, {118, 'w', 350}, {120, 'w', 30},
            {122, 'w', 70}, {124, 'w', 80}, {126, 'w', 75},
            // Hold last, no calibration table, a listed liquid with its density and viscosity.
            {128, 'w', 0}, {132, 'w', 0}, {134, 'b', 0}, {340, 'b', 0}, {356, 'f', 999.8}, {360, 'f', 8.6e-7},
            {380, 'w', 15}, {382, 'w', 50},
        });
        EXPECT_NEAR(single(im, static_cast<std::size_t>(t.base + 48)), t.insideDiameter, 1e-8);
    }
}

TEST(MeterSimImage, ReadsTheWholeImageInBlocksOfAnySizeThenSaysDone)
{
    for (int chunk : {1, 56, 122}) {
        SCOPED_TRACE(chunk);
        sim::MeterConfig cfg;
        cfg.chunkWords = chunk;
        sim::Meter meter{cfg};
        double now = 0;
        int blocks = 0;
        EXPECT_EQ(readWholeImage(meter, now, &blocks, chunk), sim::FactoryImage());
        EXPECT_EQ(blocks, (726 + chunk - 1) / chunk);
        // The request after the last block is answered "transfer done"; the next one starts anew.
        EXPECT_EQ(ask(meter, readImage(), now)[1], 37);
        const Bytes again = ask(meter, readImage(), now);
        EXPECT_EQ(again[1], 32);
        EXPECT_EQ(again[3], 0);
    }

    // A 122-word block makes a 254-byte answer.
    sim::Meter meter{sim::MeterConfig{}};
    double now = 0;
    EXPECT_EQ(ask(meter, readImage(), now).size(), 254u);
    // Identification starts a new session, and with it a new read.
    EXPECT_NE(ask(meter, readImage(), now)[3], 0);
    ask(meter, identify(), now);
    EXPECT_EQ(ask(meter, readImage(), now)[3], 0);
    // So does a read the tool has given up on (no request for more than 3 s).
    EXPECT_NE(ask(meter, readImage(), now)[3], 0);
    now += 3500;
    EXPECT_EQ(ask(meter, readImage(), now)[3], 0);
}

namespace {
// Writes the image the way the tool's image writer does: blocks of 56 words, flag 0 first, 1 for
// the following ones, 2 for the last (which carries the remaining fewer than 56 words).
std::vector<Bytes> writeAsTheToolDoes(sim::Meter& meter, const Bytes& image, double& now)
{
    std::vector<Bytes> answers;
    const int words = static_cast<int>(image.size() / 2);
    for (int sent = 0, flag = 0; flag != 2; sent += 56) {
        flag = words - sent < 56 ? 2 : (sent == 0 ? 0 : 1);
        answers.push_back(ask(meter, writeBlock(image, sent, std::min(56, words - sent), flag), now));
        if (flag != 2 && answers.back()[1] != mc::WriteImage)
            break;
    }
    return answers;
}
} // namespace

TEST(MeterSimImage, WriteReplacesTheImageOnlyWhenAllWordsArriveInOrder)
{
    sim::Meter meter{sim::MeterConfig{}};
    std::vector<Bytes> accepted;
    meter.onImageAccepted = [&](const sim::Image& im) { accepted.push_back(im); };
    double now = 0;

    Bytes edited = sim::FactoryImage();
    mc::TextToField("TEST RIG 2", edited.data());
    mc::PutSingle(1.05f, edited.data() + 1068 + 76); // channel B calibration factor
    edited[1451] = 0xA5;

    const std::vector<Bytes> answers = writeAsTheToolDoes(meter, edited, now);
    ASSERT_EQ(answers.size(), 13u);
    for (std::size_t i = 0; i < 12; ++i) // acknowledged with the words received so far
        EXPECT_EQ(answers[i], withCrc({17, 33, static_cast<std::uint8_t>(56 * (i + 1) % 256),
                                       static_cast<std::uint8_t>(56 * (i + 1) / 256)})) << i;
    EXPECT_EQ(answers[12][1], 37);
    EXPECT_EQ(meter.image(), edited);
    EXPECT_EQ(accepted, std::vector<Bytes>{edited});
    EXPECT_EQ(readWholeImage(meter, now), edited);

    // Refused writes leave the image as it was and answer the last block with 93.
    const Bytes other = sim::FactoryImage();
    // Out of order: no first block.
    ask(meter, writeBlock(other, 0, 56, 1), now);
    EXPECT_EQ(ask(meter, writeBlock(other, 56, 40, 2), now)[1], 93);
    // Too few words.
    ask(meter, writeBlock(other, 0, 56, 0), now);
    EXPECT_EQ(ask(meter, writeBlock(other, 56, 10, 2), now)[1], 93);
    // Too many words.
    Bytes longer = other;
    longer.resize(1452 + 112, 0);
    for (int i = 0; i < 13; ++i)
        EXPECT_EQ(ask(meter, writeBlock(longer, 56 * i, 56, i == 0 ? 0 : 1), now)[1], 33);
    EXPECT_EQ(ask(meter, writeBlock(longer, 728, 54, 2), now)[1], 93);
    // An unknown block flag.
    EXPECT_EQ(ask(meter, writeBlock(other, 0, 56, 3), now)[1], 93);
    EXPECT_EQ(meter.image(), edited);
    EXPECT_EQ(accepted.size(), 1u);

    // A restart with a new first block in the middle of a write is a fresh write.
    ask(meter, writeBlock(other, 0, 56, 0), now);
    ask(meter, writeBlock(other, 56, 56, 1), now);
    EXPECT_EQ(writeAsTheToolDoes(meter, other, now).back()[1], 37);
    EXPECT_EQ(meter.image(), other);
}

TEST(MeterSimImage, SiteFilesLoadAndSaveInTheToolsFormat)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString qpath = QDir(dir.path()).filePath(QStringLiteral("site.bin"));
    const std::string path = qpath.toStdString();
    // A site file as the tool stores it: model, version, byte checksum, then the 1452 image bytes.
    const auto siteFile = [](const Bytes& image, std::uint8_t model, std::uint8_t version) {
        return testbytes::qbytes(Bytes{model, version, testbytes::byteSum(image)}) + testbytes::qbytes(image);
    };

    Bytes image = sim::FactoryImage();
    mc::TextToField("FROM FILE", image.data());
    const QByteArray file = siteFile(image, 1, 5);
    ASSERT_TRUE(testbytes::writeFile(qpath, file));
    Bytes loaded;
    std::uint8_t model = 0, version = 0;
    std::string error;
    ASSERT_TRUE(sim::ReadSiteFile(path, loaded, model, version, error)) << error;
    EXPECT_EQ(loaded, image);
    EXPECT_EQ(model, 1);
    EXPECT_EQ(version, 5);

    // Saving writes the same format back, replacing the file.
    Bytes written = image;
    written[100] ^= 0x5A;
    ASSERT_TRUE(sim::WriteSiteFile(path, written, 1, 3, error)) << error;
    EXPECT_EQ(testbytes::fileBytes(qpath), siteFile(written, 1, 3));
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files), QStringList{QStringLiteral("site.bin")});

    // Files the tool would not send are refused: a wrong checksum, a wrong length, none at all.
    QByteArray badSum = file;
    badSum[2] = static_cast<char>(badSum[2] + 1);
    ASSERT_TRUE(testbytes::writeFile(qpath, badSum));
    EXPECT_FALSE(sim::ReadSiteFile(path, loaded, model, version, error));
    EXPECT_NE(error.find("checksum"), std::string::npos) << error;
    ASSERT_TRUE(testbytes::writeFile(qpath, file.left(1454)));
    EXPECT_FALSE(sim::ReadSiteFile(path, loaded, model, version, error));
    EXPECT_FALSE(sim::ReadSiteFile(path + ".missing", loaded, model, version, error));
    EXPECT_EQ(loaded, image);
}

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
