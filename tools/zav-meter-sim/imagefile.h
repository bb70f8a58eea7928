#pragma once
// The meter's parameter image as the meter keeps it: the factory image it starts with and the site
// files it can load an image from and save an accepted image to.

#include <cstdint>
#include <string>
#include <vector>

namespace sim {

inline constexpr int kImageWords = 726;
inline constexpr int kImageBytes = 2 * kImageWords; // 1452
inline constexpr int kSiteHeadBytes = 3;            // model, firmware version, byte checksum

using Image = std::vector<std::uint8_t>;

// Places in the image that the simulator itself reads or writes.
namespace at {
inline constexpr int MeterName = 0;
inline constexpr int NodeAddr = 20;
inline constexpr int NumberChan = 28;
inline constexpr int GlobalWindowMark = 30;
inline constexpr int LoopRecord0 = 532; // 20 bytes a record
inline constexpr int LoopRecordBytes = 20;
inline constexpr int IoRecord0 = 620; // 16 bytes a record
inline constexpr int IoRecordBytes = 16;
inline constexpr int AuxWord0 = 612;
inline constexpr int LogicInputMode = 616;
inline constexpr int Channel0 = 684; // 384 bytes a channel
inline constexpr int ChannelBytes = 384;

// Offsets inside a channel record.
namespace ch {
inline constexpr int MountType = 0, XducerType = 2, TubeGeometry = 4, XducerFreq = 6, SinRefract = 8,
                     WedgeSpeed = 12, SamplesPerCycle = 16, XducerDelay = 20, PulseWidth = 24, Spacing = 28,
                     FluidVOS = 32, Traverses = 36, PathLength = 40, AxialLength = 44, PipeID = 48,
                     WallThick = 52, WallSpeed = 56, ResponseTime = 60, Threshold = 62, SigMode = 64,
                     SigByte = 66, AntiJitter = 68, CalFactor = 76, ZeroTrim = 80, CutOff = 88, MinVel = 96,
                     MaxVel = 100, MaxVOS = 104, MinVOS = 108, MinSignal = 112, FurtherLimits = 114,
                     MaxErrPct = 126, ErrHandle = 128, CalPoints = 132, CalTableKind = 134, CurveX = 140,
                     CurveY = 240, FluidKind = 340, FluidDensity = 356, FluidViscosity = 360,
                     ParticleIndex = 380, LoadingIndex = 382;
}
// Offsets inside a current-loop record.
namespace loop {
inline constexpr int Status = 0, OnError = 2, Channel = 4, Quantity = 6, HighCount = 8, LowCount = 10,
                     LowValue = 12, HighValue = 16;
}
} // namespace at

// The factory configuration: a two-channel meter named "ZAV METER" at the given node, transducer
// KRB41 on channel A and KRB17 on channel B (each with its tube geometry), water, the default error
// limits and signal processing, response "Auto", calibration factor 1, loop 1 on channel A's actual
// flow, loop 2 off, logic outputs disabled.
Image FactoryImage(std::uint8_t node = 17);

// Byte checksum of a site file: the sum of the image bytes, modulo 256.
std::uint8_t ByteChecksum(const Image& image);

// Reads a site file: 3 head bytes, then exactly 1452 image bytes whose checksum matches the head.
// On failure returns false and says why in error.
bool ReadSiteFile(const std::string& path, Image& image, std::uint8_t& model, std::uint8_t& version,
                  std::string& error);
// Writes a site file, replacing an existing one only once the new one is complete.
bool WriteSiteFile(const std::string& path, const Image& image, std::uint8_t model, std::uint8_t version,
                   std::string& error);

// Little helpers over the image, in the image's byte order.
float ImageSingle(const Image& image, int offset);
std::uint16_t ImageWord(const Image& image, int offset);

} // namespace sim
