#pragma once
// Meter command frames: the CRC, the byte-order routines and the request layouts shared by every
// window that talks to the meter. Pure code: nothing here touches the port or a window.

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace modComFun {

// Function codes of the meter protocol.
enum FunctionCode : std::uint8_t {
    LiveData = 30,
    DiagData = 31,
    ReadImage = 32,
    WriteImage = 33,
    Identify = 34,
    PlotPoll = 35,
    TrimAck = 36,
    TransferDone = 37,
    ZeroCal = 38,
    TrimOutput = 46,
    Code86 = 86,
    WriteRefused = 93,
    PlotMark = 99,
};

// The protocol's fixed facts.
inline constexpr std::uint16_t kAccessCode = 52719; // bytes 2 and 3 of every request
inline constexpr std::uint8_t kPollNode = 17;       // the node every request goes to
inline constexpr int kBufferSize = 257;             // the link's transmit and receive buffers
inline constexpr int kImageBytes = 1452;            // a complete parameter image
inline constexpr int kImageWords = kImageBytes / 2;
inline constexpr int kMaxBlockWords = 56;           // the largest image block a write request carries
inline constexpr int kSilenceMs = 50;               // line silence that ends an answer
inline constexpr int kResponseMs = 3000;            // the longest wait for a valid answer

// The request kinds BuildCommand assembles.
enum CommandKind : int {
    KindLiveData = 0,  // 30: byte 4 = channel, byte 5 = batch command
    KindDiagData = 1,  // 31: byte 4 = channel
    KindReadImage = 2, // 32
    KindIdentify = 3,  // 34
    KindTrimStep = 4,  // 46 with byte 7 = 0: byte 4 = loop, bytes 5-6 = counts
    KindZeroCal = 5,   // 38: byte 4 = channel
    KindTrimKeep = 6,  // 46 with byte 7 = 1
};

// CRC-16/MODBUS remainders, one per byte value.
void BuildCrcTable();
const std::array<std::uint16_t, 256>& CrcTable();
std::uint16_t Crc16(const std::uint8_t* bytes, std::size_t n);
inline std::uint16_t Crc16(const std::vector<std::uint8_t>& bytes, std::size_t n) { return Crc16(bytes.data(), n); }

// floor(value / 2^n): a logical shift for non-negative values, an arithmetic one for negative ones.
std::int32_t ShiftRight(std::int32_t value, int n);

// Little-endian byte-order routines.
void PutWord(std::int32_t value, std::uint8_t* bytes);
void PutInteger(std::int16_t value, std::uint8_t* bytes);
void PutSingle(float value, std::uint8_t* bytes);
void PutLong(std::int32_t value, std::uint8_t* bytes);
std::int16_t GetInteger(const std::uint8_t* bytes);
std::uint16_t GetWordAt(const std::uint8_t* bytes, std::size_t i);
float GetSingle(const std::uint8_t* bytes);

// 10-byte space-padded text fields (Latin-1 characters; others become '?').
inline constexpr int kTextFieldLength = 10;
void TextToField(const std::string& latin1Text, std::uint8_t* bytes);
std::string FieldToText(const std::uint8_t* bytes, std::size_t n);

// Appends the CRC (low byte first) over bytes 0..n-1 at bytes n and n+1.
void AppendCrc(std::uint8_t* frame, std::size_t n);
// True when the last two bytes of the frame are the CRC of the bytes before them, low byte first.
bool CrcMatches(const std::uint8_t* frame, std::size_t length);

// The request built by BuildCommand for kinds 0..6 (see the kind table in commands.cpp); the
// returned frame includes its CRC. An unknown kind gives an empty frame.
std::vector<std::uint8_t> CommandFrame(int kind, std::uint8_t node, std::uint8_t b, std::int32_t w);
// node, code, access code low, high, 0, 0, CRC: 8 bytes.
std::vector<std::uint8_t> ShortCommandFrame(std::uint8_t node, std::uint8_t code);
// Any request of the common envelope: node, code, access code, then the payload (bytes 4..n-1),
// then the CRC.
std::vector<std::uint8_t> RequestFrame(std::uint8_t node, std::uint8_t code, const std::vector<std::uint8_t>& payload);
// An answer frame as the meter writes it: node, code, payload, CRC.
std::vector<std::uint8_t> AnswerFrame(std::uint8_t node, std::uint8_t code, const std::vector<std::uint8_t>& payload);

} // namespace modComFun
