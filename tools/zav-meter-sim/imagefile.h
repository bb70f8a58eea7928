#pragma once
// The meter's parameter image as the meter keeps it: the factory image it starts with and the site
// files it can load an image from and save an accepted image to.

#include "link/modComFun.h"
#include "meterdata/modData.h"

#include <cstdint>
#include <string>
#include <vector>

namespace sim {

inline constexpr int kImageWords = modComFun::kImageWords;
inline constexpr int kImageBytes = modComFun::kImageBytes;
inline constexpr int kSiteHeadBytes = 3;            // model, firmware version, byte checksum

using Image = std::vector<std::uint8_t>;

// The factory configuration: a two-channel meter named "ZAV METER" at the given node, transducer
// KRB41 on channel A and KRB17 on channel B (each with its tube geometry), water, the default error
// limits and signal processing, response "Auto", calibration factor 1, loop 1 on channel A's actual
// flow, loop 2 off, logic outputs disabled.
Image FactoryImage(std::uint8_t node = 17);

// The cells of one channel (0 or 1) as the tool decodes them from the image.
modData::ChannelRecord DecodeChannel(const Image& image, int channel);

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
