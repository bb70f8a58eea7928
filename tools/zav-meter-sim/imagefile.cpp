#include "imagefile.h"

#include "meterdata/modBinaryRW.h"
#include "meterdata/sitefile.h"

#include "link/modComFun.h"

#include <QString>

#include <algorithm>

namespace sim {

namespace {

using modComFun::PutSingle;
using modComFun::PutWord;

struct TubeTransducer {
    std::uint16_t type;     // row of the transducer list
    float pathLength, axialLength, outsideDiameter, wallThick, spacing;
};

// Rows 1 (KRB41) and 2 (KRB17) of the tube transducers; both are 4 MHz clamp-on tubes with a PFA wall.
constexpr TubeTransducer kKrb41{1, 0.005174f, 0.00202f, 0.00623f, 0.0008f, 0.00508f};
constexpr TubeTransducer kKrb17{2, 0.005174f, 0.00202f, 0.00952f, 0.0016f, 0.006998f};

void putSingleAt(Image& im, int offset, float v) { PutSingle(v, im.data() + offset); }
void putWordAt(Image& im, int offset, std::int32_t v) { PutWord(v, im.data() + offset); }

void fillChannel(Image& im, int channel, const TubeTransducer& t)
{
    namespace c = at::ch;
    const int base = at::Channel0 + at::ChannelBytes * channel;
    auto byteAt = [&](int rel, std::uint8_t v) { im[static_cast<std::size_t>(base + rel)] = v; };
    auto word = [&](int rel, std::int32_t v) { putWordAt(im, base + rel, v); };
    auto single = [&](int rel, float v) { putSingleAt(im, base + rel, v); };

    // Transducer row defaults.
    byteAt(c::MountType, 1);
    word(c::XducerType, t.type);
    byteAt(c::TubeGeometry, 1);
    word(c::XducerFreq, 4000);
    single(c::SinRefract, 0.866f);
    single(c::WedgeSpeed, 2550.0f);
    byteAt(c::SamplesPerCycle, 12); // 4000 kHz is above 2000 kHz
    single(c::XducerDelay, 5.4e-6f);
    byteAt(c::PulseWidth, 2);
    word(c::ParticleIndex, 15);
    word(c::LoadingIndex, 50);

    // Tube geometry of the row; the inside diameter is the outside one less twice the wall.
    single(c::PathLength, t.pathLength);
    single(c::AxialLength, t.axialLength);
    single(c::PipeID, static_cast<float>(static_cast<double>(t.outsideDiameter) - 2.0 * static_cast<double>(t.wallThick)));
    single(c::WallThick, t.wallThick);
    single(c::Spacing, t.spacing);
    single(c::WallSpeed, 1500.0f); // PFA
    byteAt(c::Traverses, 1);

    // Water.
    byteAt(c::FluidKind, 0);
    single(c::FluidVOS, 1481.0f);
    single(c::FluidDensity, 999.8f);
    single(c::FluidViscosity, 8.6e-7f);

    // Error limits.
    single(c::MaxVel, 12.0f);
    single(c::MinVel, -12.0f);
    single(c::MaxVOS, 1700.0f);
    single(c::MinVOS, 1000.0f);
    word(c::MinSignal, 500);
    const std::int32_t further[6] = {200, 900, 350, 30, 70, 80};
    for (int i = 0; i < 6; ++i)
        word(c::FurtherLimits + 2 * i, further[i]);
    word(c::MaxErrPct, 75);
    word(c::ErrHandle, 0); // hold last

    // Signal processing.
    word(c::SigMode, 32832);
    byteAt(c::Threshold, 60);
    byteAt(c::AntiJitter, 4);
    byteAt(c::SigByte, 0);
    single(c::ZeroTrim, 0.0f);
    single(c::CutOff, 0.015f);

    byteAt(c::ResponseTime, 99); // Auto
    single(c::CalFactor, 1.0f);
    word(c::CalPoints, 0);
    byteAt(c::CalTableKind, 0);
}

void fillLoop(Image& im, int record, bool on, std::uint8_t channel, float highValue)
{
    namespace l = at::loop;
    const int base = at::LoopRecord0 + at::LoopRecordBytes * record;
    im[static_cast<std::size_t>(base + l::Status)] = on ? 1 : 0;
    im[static_cast<std::size_t>(base + l::OnError)] = 0;    // hold last
    im[static_cast<std::size_t>(base + l::Channel)] = channel;
    im[static_cast<std::size_t>(base + l::Quantity)] = 0;   // actual flow, m^3/s
    putWordAt(im, base + l::HighCount, 38335);
    putWordAt(im, base + l::LowCount, 7631);
    putSingleAt(im, base + l::LowValue, 0.0f);
    putSingleAt(im, base + l::HighValue, highValue);
}

} // namespace

Image FactoryImage(std::uint8_t node)
{
    Image im(kImageBytes, 0);
    modComFun::TextToField("ZAV METER", im.data() + at::MeterName);
    im[at::NodeAddr] = node;
    im[at::NumberChan] = 2;
    im[at::GlobalWindowMark] = 1;

    // Loop 1 is record 3, loop 2 record 2. Full scale: 12 m/s through each channel's tube, rounded.
    fillLoop(im, 3, true, 0, 2.0e-4f);
    fillLoop(im, 2, false, 1, 3.6e-4f);

    // Logic outputs disabled and no logic input: their records stay zero.
    fillChannel(im, 0, kKrb41);
    fillChannel(im, 1, kKrb17);
    return im;
}

std::uint8_t ByteChecksum(const Image& image)
{
    modData::MeterData data;
    std::copy_n(image.begin(), std::min<std::size_t>(image.size(), data.ParamImage.size()), data.ParamImage.begin());
    return modBinaryRW::ByteChecksum(data, static_cast<int>(image.size()));
}

// The meter reads and writes site files with the tool's own site-file code.
bool ReadSiteFile(const std::string& path, Image& image, std::uint8_t& model, std::uint8_t& version,
                  std::string& error)
{
    const QString name = QString::fromStdString(path);
    QByteArray all;
    const QString readError = sitefile::ReadFileBytes(name, sitefile::kRecallReadLimit, all);
    if (!readError.isEmpty()) {
        error = "cannot open " + path + ": " + readError.toStdString();
        return false;
    }
    if (all.size() != kSiteHeadBytes + kImageBytes) {
        error = path + " holds " + std::to_string(all.size()) + " bytes, a site file holds " +
                std::to_string(kSiteHeadBytes + kImageBytes);
        return false;
    }
    modData::MeterData data;
    const sitefile::Recall r = sitefile::RecallSiteFile(all, data);
    if (r.outcome != sitefile::RecallOutcome::Valid) {
        error = path + ": image checksum " + std::to_string(modBinaryRW::ByteChecksum(data, kImageBytes)) +
                " differs from the stored " + std::to_string(r.storedChecksum);
        return false;
    }
    model = r.model;
    version = r.version;
    image.assign(data.ParamImage.begin(), data.ParamImage.begin() + kImageBytes);
    return true;
}

bool WriteSiteFile(const std::string& path, const Image& image, std::uint8_t model, std::uint8_t version,
                   std::string& error)
{
    modData::MeterData data;
    const std::size_t n = std::min<std::size_t>(image.size(), data.ParamImage.size());
    std::copy_n(image.begin(), n, data.ParamImage.begin());
    data.ImageLength = static_cast<std::uint16_t>(n);
    const QString saveError =
        sitefile::SaveFileBytes(QString::fromStdString(path), sitefile::SiteFileBytes(model, version, data));
    if (!saveError.isEmpty()) {
        error = "cannot write " + path + ": " + saveError.toStdString();
        return false;
    }
    return true;
}

float ImageSingle(const Image& image, int offset)
{
    return modComFun::GetSingle(image.data() + offset);
}

std::uint16_t ImageWord(const Image& image, int offset)
{
    return modComFun::GetWordAt(image.data(), static_cast<std::size_t>(offset));
}

} // namespace sim
