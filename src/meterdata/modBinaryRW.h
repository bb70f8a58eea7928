#pragma once
// The parameter image codec: the cell map, decoding and encoding between cells and ParamImage,
// the two checksums, and the chunked read (function code 32) and write (function code 33) of the
// image. Plain code: the callers own the port, the session flags and the windows.

#include "link/modComFun.h"
#include "meterdata/modData.h"

#include <cstddef>
#include <cstdint>
#include <vector>

namespace modBinaryRW {

inline constexpr int ImageChunkWords = modComFun::kMaxBlockWords; // most words one write frame carries
inline constexpr int ImageBytes = modComFun::kImageBytes;
inline constexpr int ImageWords = modComFun::kImageWords;
// The link's receive buffer: an answer never holds more bytes than this.
inline constexpr std::size_t RxBufferBytes = modComFun::kBufferSize;

// Gives every cell of the mapped records its image offset (loop record 4, I/O record 3 and
// channel record 2 get -1). Sets offsets only, never values.
void BuildCellMap(modData::MeterData& data);

// value := the cell's bytes, for every mapped cell.
void DecodeImage(modData::MeterData& data);
// the cell's bytes := value, for every mapped cell; no other image byte changes. Byte cells
// write the low 8 bits of u, word cells the low 16 bits; text cells their first 10 characters,
// space padded.
void EncodeImage(modData::MeterData& data);

// Sum of ParamImage bytes 0..length-1 (length clipped to the array), low 8 bits (site files).
std::uint8_t ByteChecksum(const modData::MeterData& data, int length);
// The same sum AND 0x7FFF (shown as "ChkSum " and the value in hexadecimal).
std::uint16_t DisplayChecksum(const modData::MeterData& data, int length);

// The read request (node, 32, access code, 0, 0, CRC): sent to start a read and after every
// stored block.
std::vector<std::uint8_t> ImageReadRequest(std::uint8_t node);

struct ImageBlockResult {
    bool stored = false;      // the block's bytes are in ParamImage and ImageLength has grown
    bool complete = false;    // ImageLength now equals 2 x the announced words: the image is valid
    bool requestNext = false; // send ImageReadRequest now (also after the last block)
};

// One function-code-32 answer as the link hands it: rx = the receive buffer, rxCount = bytes of
// this answer including its CRC. Answer bytes: 3 chunk mark (0 = first block), 4-5 total image
// words (low byte first), 6 words n in this block, 8.. the 2n image bytes.
// The first block (mark 0) starts the image at position 0 and sets ReadAnnounced; every later
// block continues at ImageLength and must announce the same total. The image never grows past
// the announced length nor past the 1452 bytes of a whole image.
// An answer shorter than 8 bytes, longer than the receive buffer, whose 2n bytes do not all lie
// before its CRC, one announcing no words, a later block with no first block before it or with
// another total, and a block that would pass either limit are refused: nothing is stored, no
// image completes, and no next request is asked for (the read cannot go on).
ImageBlockResult ReceiveImageBlock(modData::MeterData& data, const std::uint8_t* rx, std::size_t rxCount);

// The next write frame. flag 0 starts a write (WordsSent := 0), flag 1 answers each
// function-code-33 acknowledgement. The frame carries min(56, remaining) words, remaining =
// ImageLength / 2 - WordsSent rounded half to even; the block flag becomes 2 when fewer than 56
// words remain (so a finished write answers further acknowledgements with a 0-word flag-2 frame).
// Frame: node, 33, access code, n, flag, 2n image bytes, 0, 0, CRC: 2n + 10 bytes. Advances
// WordsSent by n. Words past the end of ParamImage are never sent.
std::vector<std::uint8_t> SendImageBlock(modData::MeterData& data, std::uint8_t node, int flag);

} // namespace modBinaryRW
