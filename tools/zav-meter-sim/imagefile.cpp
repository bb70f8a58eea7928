#include "imagefile.h"

#include "meterdata/modBinaryRW.h"
#include "meterdata/sitefile.h"

#include "link/modComFun.h"

#include <QString>

#include <algorithm>

namespace sim {

namespace {

struct TubeTransducer {
    std::uint16_t type;     // row of the transducer list
    float pathLength, axialLength, outsideDiameter, wallThick, spacing;
};

// Rows 1 (KRB41) and 2 (KRB17) of the tube transducers; both are 4 MHz clamp-on tubes with a PFA wall.
constexpr TubeTransducer kKrb41{1, 0.005174f, 0.00202f, 0.00623f, 0.0008f, 0.00508f};
constexpr TubeTransducer kKrb17{2, 0.005174f, 0.00202f, 0.00952f, 0.0016f, 0.006998f};

void fillChannel(modData::ChannelRecord& c, const TubeTransducer& t)
{
    // Transducer row defaults.
    c.MountType.u = 1;
    c.XducerType.u = t.type;
    c.TubeGeometry.u = 1;
    c.XducerFreq.u = 4000;
    c.SinRefract.f = 0.866f;
    c.WedgeSpeed.f = 2550.0f;
    c.SamplesPerCycle.u = 12; // 4000 kHz is above 2000 kHz
    c.XducerDelay.f = 5.4e-6f;
    c.PulseWidth.u = 2;
    c.ParticleIndex.u = 15;
    c.LoadingIndex.u = 50;

    // Tube geometry of the row; the inside diameter is the outside one less twice the wall.
    c.PathLength.f = t.pathLength;
    c.AxialLength.f = t.axialLength;
    c.PipeID.f = static_cast<float>(static_cast<double>(t.outsideDiameter) - 2.0 * static_cast<double>(t.wallThick));
    c.WallThick.f = t.wallThick;
    c.Spacing.f = t.spacing;
    c.WallSpeed.f = 1500.0f; // PFA
    c.Traverses.u = 1;

    // Water.
    c.FluidKind.u = 0;
    c.FluidVOS.f = 1481.0f;
    c.FluidDensity.f = 999.8f;
    c.FluidViscosity.f = 8.6e-7f;

    modData::SetErrorLimitDefaults(c);
    c.ErrHandle.u = 0; // hold last
    modData::SetSignalDefaults(c);

    c.ResponseTime.u = 99; // Auto
    c.CalFactor.f = 1.0f;
    c.CalPoints.u = 0;
    c.CalTableKind.u = 0;
}

void fillLoop(modData::LoopRecord& l, bool on, std::uint8_t channel, float highValue)
{
    l.LoopStatus.u = on ? 1 : 0;
    l.LoopErrAction.u = 0; // hold last
    l.LoopChannel.u = channel;
    l.LoopParam.u = 0; // actual flow, m^3/s
    l.DacHigh.u = 38335;
    l.DacLow.u = 7631;
    l.OutMin.f = 0.0f;
    l.OutMax.f = highValue;
}

} // namespace

// The factory image is made the way the tool makes an image: cells filled, then encoded at the
// places of the tool's own cell map.
Image FactoryImage(std::uint8_t node)
{
    modData::MeterData data;
    modBinaryRW::BuildCellMap(data);
    data.GlobalCells.MeterName.text = "ZAV METER";
    data.GlobalCells.NodeAddr.u = node;
    data.GlobalCells.NumberChan.u = 2;
    data.GlobalCells.Byte30.u = 1;

    // Loop 1 is record 3, loop 2 record 2. Full scale: 12 m/s through each channel's tube, rounded.
    fillLoop(data.LoopCells[3], true, 0, 2.0e-4f);
    fillLoop(data.LoopCells[2], false, 1, 3.6e-4f);

    // Logic outputs disabled and no logic input: their records stay zero.
    fillChannel(data.ChannelCells[0], kKrb41);
    fillChannel(data.ChannelCells[1], kKrb17);
    modBinaryRW::EncodeImage(data);
    return Image(data.ParamImage.begin(), data.ParamImage.begin() + kImageBytes);
}

modData::ChannelRecord DecodeChannel(const Image& image, int channel)
{
    modData::MeterData data;
    std::copy_n(image.begin(), std::min<std::size_t>(image.size(), data.ParamImage.size()), data.ParamImage.begin());
    modBinaryRW::BuildCellMap(data);
    modBinaryRW::DecodeImage(data);
    return data.ChannelCells[static_cast<std::size_t>(channel & 1)];
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
        // The read stops at its limit: a longer file is only known to hold at least that much.
        const bool cut = all.size() >= sitefile::kRecallReadLimit;
        error = path + " holds " + (cut ? "at least " : "") + std::to_string(all.size()) +
                " bytes, a site file holds " + std::to_string(kSiteHeadBytes + kImageBytes);
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
