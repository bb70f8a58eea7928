// The meter simulator's identification and parameter image: the answers the tool relies on, taken
// apart with the tool's own frame code at the places the image layout gives.

#include "simtest.h"

#include "imagefile.h"
#include "meter.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <numeric>

using namespace simtest;

TEST(MeterSimIdentify, AnswersModelVersionSerialAndIgnoresWhatIsNotForIt)
{
    sim::Meter meter{sim::MeterConfig{}};
    double now = 0;
    const Bytes a = ask(meter, identify(), now);
    // 17, 34, two payload bytes, model 1, version 3, serial 12345 low byte first, CRC low first.
    Bytes expected{17, 34, 0, 0, 1, 3, 0x39, 0x30};
    const std::uint16_t crc = mc::Crc16(expected, expected.size());
    expected.push_back(static_cast<std::uint8_t>(crc & 0xFF));
    expected.push_back(static_cast<std::uint8_t>(crc >> 8));
    EXPECT_EQ(a, expected);

    sim::MeterConfig other;
    other.node = 5;
    other.model = 2;
    other.version = 7;
    other.serial = 513;
    sim::Meter five{other};
    const Bytes b = ask(five, identify(5), now, 5);
    ASSERT_EQ(b.size(), 10u);
    EXPECT_EQ(b[1], 34);
    EXPECT_EQ(b[4], 2);
    EXPECT_EQ(b[5], 7);
    EXPECT_EQ(word(b, 6), 513u);

    // Requests that get no answer at all.
    Bytes badCrc = identify();
    badCrc[7] ^= 0x01;
    Bytes wrongAccess = identify();
    wrongAccess[2] = 0xEE; // 52718
    mc::AppendCrc(wrongAccess.data(), 6);
    Bytes highLowCrc = identify();
    std::swap(highLowCrc[6], highLowCrc[7]);
    Bytes longIdentify = mc::RequestFrame(17, mc::Identify, {0, 0, 0, 0});
    const std::vector<std::pair<Bytes, sim::Verdict>> ignored = {
        {identify(16), sim::Verdict::OtherNode},
        {badCrc, sim::Verdict::BadCrc},
        {highLowCrc, sim::Verdict::BadCrc},
        {wrongAccess, sim::Verdict::BadAccessCode},
        {mc::RequestFrame(17, 40, {0, 0}), sim::Verdict::UnknownCode},
        {mc::RequestFrame(17, mc::TransferDone, {0, 0}), sim::Verdict::UnknownCode},
        {mc::RequestFrame(17, mc::TrimAck, {0, 0}), sim::Verdict::UnknownCode},
        {Bytes{17, 34, 0xEF, 0xCD, 0}, sim::Verdict::TooShort},
        {longIdentify, sim::Verdict::WrongLength},
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

TEST(MeterSimImage, FactoryImageIsACoherentTwoChannelConfiguration)
{
    const Bytes im = sim::FactoryImage();
    ASSERT_EQ(im.size(), 1452u);
    EXPECT_EQ(mc::FieldToText(im.data(), 10), "ZAV METER ");
    EXPECT_EQ(im[20], 17);  // node: "Poll"
    EXPECT_EQ(im[28], 2);   // dual channel
    EXPECT_EQ(sim::FactoryImage(9)[20], 9);

    // Loop 1 (record 3, image byte 592): on, channel A, actual flow, 4-20 mA counts, 0 .. full scale.
    EXPECT_EQ(im[592], 1);
    EXPECT_EQ(im[592 + 4], 0);
    EXPECT_EQ(im[592 + 6], 0);
    EXPECT_EQ(word(im, 592 + 8), 38335u);
    EXPECT_EQ(word(im, 592 + 10), 7631u);
    EXPECT_EQ(single(im, 592 + 12), 0.0f);
    EXPECT_GT(single(im, 592 + 16), 1e-4f);  // about 12 m/s through the tube, in m^3/s
    EXPECT_LT(single(im, 592 + 16), 5e-4f);
    EXPECT_EQ(im[572], 0);                  // loop 2 (record 2) off
    // Logic outputs disabled, no logic input.
    for (int r = 0; r < 3; ++r)
        EXPECT_EQ(im[static_cast<std::size_t>(620 + 16 * r)], 0);
    EXPECT_EQ(word(im, 616), 0u);

    // Channel A at 684: transducer KRB41 (row 1) with its tube; channel B at 1068: KRB17 (row 2).
    struct Tube {
        int base;
        unsigned type;
        float spacing, wall, insideDiameter;
    };
    for (const Tube& t : {Tube{684, 1, 0.00508f, 0.0008f, 0.00463f}, Tube{1068, 2, 0.006998f, 0.0016f, 0.00632f}}) {
        SCOPED_TRACE(t.base);
        const auto at = [&](int rel) { return static_cast<std::size_t>(t.base + rel); };
        EXPECT_EQ(im[at(0)], 1);                 // MountType: clamp-on
        EXPECT_EQ(word(im, at(2)), t.type);      // XducerType
        EXPECT_EQ(im[at(4)], 1);                 // TubeGeometry
        EXPECT_EQ(word(im, at(6)), 4000u);       // XducerFreq, kHz
        EXPECT_FLOAT_EQ(single(im, at(8)), 0.866f);
        EXPECT_FLOAT_EQ(single(im, at(12)), 2550.0f);
        EXPECT_EQ(im[at(16)], 12);               // samples per cycle above 2000 kHz
        EXPECT_FLOAT_EQ(single(im, at(20)), 5.4e-6f);
        EXPECT_EQ(im[at(24)], 2);                // pulse width
        EXPECT_FLOAT_EQ(single(im, at(28)), t.spacing);
        EXPECT_FLOAT_EQ(single(im, at(32)), 1481.0f); // water
        EXPECT_EQ(im[at(36)], 1);                // one traverse
        EXPECT_FLOAT_EQ(single(im, at(40)), 0.005174f);
        EXPECT_FLOAT_EQ(single(im, at(44)), 0.00202f);
        EXPECT_NEAR(single(im, at(48)), t.insideDiameter, 1e-8);
        EXPECT_FLOAT_EQ(single(im, at(52)), t.wall);
        EXPECT_FLOAT_EQ(single(im, at(56)), 1500.0f); // PFA wall
        EXPECT_EQ(im[at(60)], 99);               // response "Auto"
        EXPECT_EQ(im[at(62)], 60);               // threshold
        EXPECT_EQ(word(im, at(64)), 32832u);     // normal signal mode
        EXPECT_EQ(im[at(66)], 0);
        EXPECT_EQ(im[at(68)], 4);                // anti-jitter
        EXPECT_FLOAT_EQ(single(im, at(76)), 1.0f); // calibration factor
        EXPECT_EQ(single(im, at(80)), 0.0f);     // zero trim
        EXPECT_FLOAT_EQ(single(im, at(88)), 0.015f);
        EXPECT_FLOAT_EQ(single(im, at(96)), -12.0f);
        EXPECT_FLOAT_EQ(single(im, at(100)), 12.0f);
        EXPECT_FLOAT_EQ(single(im, at(104)), 1700.0f);
        EXPECT_FLOAT_EQ(single(im, at(108)), 1000.0f);
        EXPECT_EQ(word(im, at(112)), 500u);
        const unsigned further[6] = {200, 900, 350, 30, 70, 80};
        for (int i = 0; i < 6; ++i)
            EXPECT_EQ(word(im, at(114 + 2 * i)), further[i]);
        EXPECT_EQ(word(im, at(126)), 75u);
        EXPECT_EQ(word(im, at(128)), 0u);        // hold last
        EXPECT_EQ(word(im, at(132)), 0u);        // no calibration table
        EXPECT_EQ(im[at(134)], 0);
        EXPECT_EQ(im[at(340)], 0);               // a listed liquid
        EXPECT_FLOAT_EQ(single(im, at(356)), 999.8f);
        EXPECT_FLOAT_EQ(single(im, at(360)), 8.6e-7f);
        EXPECT_EQ(word(im, at(380)), 15u);
        EXPECT_EQ(word(im, at(382)), 50u);
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
    int sent = 0, flag = 0;
    const int words = static_cast<int>(image.size() / 2);
    for (;;) {
        const int remaining = words - sent;
        int n = 56;
        if (remaining < 56) {
            n = remaining;
            flag = 2;
        }
        answers.push_back(ask(meter, writeBlock(image, sent, n, flag), now));
        sent += n;
        if (flag == 2 || answers.back()[1] != mc::WriteImage)
            break;
        flag = 1;
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
    for (std::size_t i = 0; i < 12; ++i) {
        EXPECT_EQ(answers[i][1], 33) << i;
        EXPECT_EQ(word(answers[i], 2), 56 * (i + 1)) << i; // words received so far
    }
    EXPECT_EQ(answers[12][1], 37);
    EXPECT_EQ(meter.image(), edited);
    ASSERT_EQ(accepted.size(), 1u);
    EXPECT_EQ(accepted[0], edited);
    EXPECT_EQ(readWholeImage(meter, now), edited);

    // Refused writes leave the image as it was and answer the last block with 93.
    const Bytes before = meter.image();
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
    EXPECT_EQ(meter.image(), before);
    EXPECT_EQ(accepted.size(), 1u);

    // A restart with a new first block in the middle of a write is a fresh write.
    ask(meter, writeBlock(other, 0, 56, 0), now);
    ask(meter, writeBlock(other, 56, 56, 1), now);
    const std::vector<Bytes> again = writeAsTheToolDoes(meter, other, now);
    EXPECT_EQ(again.back()[1], 37);
    EXPECT_EQ(meter.image(), other);
}

TEST(MeterSimImage, SiteFilesLoadAndSaveInTheToolsFormat)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const std::string path = QDir(dir.path()).filePath(QStringLiteral("site.bin")).toStdString();

    // A site file as the tool stores it: model, version, byte checksum, then the 1452 image bytes.
    Bytes image = sim::FactoryImage();
    mc::TextToField("FROM FILE", image.data());
    const unsigned sum = std::accumulate(image.begin(), image.end(), 0u);
    QByteArray file;
    file.append(char(1)).append(char(5)).append(char(sum % 256));
    file.append(reinterpret_cast<const char*>(image.data()), 1452);
    {
        QFile f(QString::fromStdString(path));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(file);
    }
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
    QFile back(QString::fromStdString(path));
    ASSERT_TRUE(back.open(QIODevice::ReadOnly));
    const QByteArray saved = back.readAll();
    ASSERT_EQ(saved.size(), 1455);
    EXPECT_EQ(saved[0], 1);
    EXPECT_EQ(saved[1], 3);
    EXPECT_EQ(static_cast<std::uint8_t>(saved[2]),
              static_cast<std::uint8_t>(std::accumulate(written.begin(), written.end(), 0u) % 256));
    EXPECT_EQ(Bytes(saved.begin() + 3, saved.end()), written);
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files), QStringList{QStringLiteral("site.bin")});

    // Files the tool would not send are refused: a wrong checksum, a wrong length.
    auto writeRaw = [&](const QByteArray& bytes) {
        QFile f(QString::fromStdString(path));
        f.open(QIODevice::WriteOnly);
        f.write(bytes);
    };
    QByteArray badSum = file;
    badSum[2] = static_cast<char>(badSum[2] + 1);
    writeRaw(badSum);
    EXPECT_FALSE(sim::ReadSiteFile(path, loaded, model, version, error));
    EXPECT_NE(error.find("checksum"), std::string::npos) << error;
    writeRaw(file.left(1454));
    EXPECT_FALSE(sim::ReadSiteFile(path, loaded, model, version, error));
    EXPECT_FALSE(sim::ReadSiteFile(path + ".missing", loaded, model, version, error));
    EXPECT_EQ(loaded, image);
}
