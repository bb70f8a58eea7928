#include "link/modComFun.h"

#include <cstring>

namespace modComFun {

namespace {
std::array<std::uint16_t, 256> g_crcTable{};
bool g_crcTableBuilt = false;
} // namespace

void BuildCrcTable()
{
    for (std::int32_t i = 0; i < 256; ++i) {
        std::int32_t crc = 0;
        std::int32_t c = i;
        for (int k = 0; k < 8; ++k) {
            if ((crc ^ c) & 1)
                crc = ShiftRight(crc, 1) ^ 0xA001;
            else
                crc = ShiftRight(crc, 1);
            c = ShiftRight(c, 1);
        }
        g_crcTable[static_cast<std::size_t>(i)] = static_cast<std::uint16_t>(crc);
    }
    g_crcTableBuilt = true;
}

const std::array<std::uint16_t, 256>& CrcTable()
{
    return g_crcTable;
}

std::uint16_t Crc16(const std::uint8_t* bytes, std::size_t n)
{
    // The start window builds the table before the first frame; a frame built before that (a tool
    // that never loads the start window) must still carry a correct CRC.
    if (!g_crcTableBuilt)
        BuildCrcTable();
    std::int32_t crc = 0xFFFF;
    for (std::size_t i = 0; i < n; ++i)
        crc = ShiftRight(crc, 8) ^ g_crcTable[static_cast<std::size_t>((bytes[i] ^ (crc & 255)) & 255)];
    return static_cast<std::uint16_t>(crc);
}

std::int32_t ShiftRight(std::int32_t value, int n)
{
    // >> on a negative signed value is an arithmetic shift (floor division) from C++20 on.
    return value >> n;
}

void PutWord(std::int32_t value, std::uint8_t* bytes)
{
    bytes[0] = static_cast<std::uint8_t>(value & 255);
    bytes[1] = static_cast<std::uint8_t>(ShiftRight(value, 8) & 255);
}

void PutInteger(std::int16_t value, std::uint8_t* bytes)
{
    const auto u = static_cast<std::uint16_t>(value);
    bytes[0] = static_cast<std::uint8_t>(u & 0xFF);
    bytes[1] = static_cast<std::uint8_t>(u >> 8);
}

void PutSingle(float value, std::uint8_t* bytes)
{
    std::uint32_t u = 0;
    std::memcpy(&u, &value, 4);
    PutLong(static_cast<std::int32_t>(u), bytes);
}

void PutLong(std::int32_t value, std::uint8_t* bytes)
{
    const auto u = static_cast<std::uint32_t>(value);
    for (int i = 0; i < 4; ++i)
        bytes[i] = static_cast<std::uint8_t>((u >> (8 * i)) & 0xFF);
}

std::int16_t GetInteger(const std::uint8_t* bytes)
{
    return static_cast<std::int16_t>(static_cast<std::uint16_t>(bytes[0] | (bytes[1] << 8)));
}

std::uint16_t GetWordAt(const std::uint8_t* bytes, std::size_t i)
{
    return static_cast<std::uint16_t>(bytes[i] | (bytes[i + 1] << 8));
}

float GetSingle(const std::uint8_t* bytes)
{
    std::uint32_t u = 0;
    for (int i = 0; i < 4; ++i)
        u |= static_cast<std::uint32_t>(bytes[i]) << (8 * i);
    float f = 0;
    std::memcpy(&f, &u, 4);
    return f;
}

void TextToField(const std::string& latin1Text, std::uint8_t* bytes)
{
    std::memset(bytes, 32, kTextFieldLength);
    const std::size_t n = latin1Text.size() < kTextFieldLength ? latin1Text.size() : kTextFieldLength;
    for (std::size_t i = 0; i < n; ++i)
        bytes[i] = static_cast<std::uint8_t>(latin1Text[i]);
}

std::string FieldToText(const std::uint8_t* bytes, std::size_t n)
{
    return std::string(reinterpret_cast<const char*>(bytes), n);
}

void AppendCrc(std::uint8_t* frame, std::size_t n)
{
    const std::uint16_t c = Crc16(frame, n);
    frame[n] = static_cast<std::uint8_t>(c & 255);
    frame[n + 1] = static_cast<std::uint8_t>(ShiftRight(c, 8) & 255);
}

bool CrcMatches(const std::uint8_t* frame, std::size_t length)
{
    if (length < 3)
        return false;
    const std::uint16_t c = Crc16(frame, length - 2);
    const std::uint16_t r = static_cast<std::uint16_t>(frame[length - 2] + 256 * frame[length - 1]);
    return c == r;
}

namespace {
struct KindLayout {
    std::uint8_t code;
    std::size_t n;       // length before the CRC
    bool byte4FromB;
    bool wordInBytes56;  // bytes 5 and 6 carry w, low byte first
    bool lowOfWInByte5;  // byte 5 carries w AND 255 only
    std::uint8_t byte7;
};

constexpr KindLayout kKinds[] = {
    {LiveData, 8, true, false, true, 0},
    {DiagData, 6, true, false, false, 0},
    {ReadImage, 6, false, false, false, 0},
    {Identify, 6, false, false, false, 0},
    {TrimOutput, 10, true, true, false, 0},
    {ZeroCal, 6, true, false, false, 0},
    {TrimOutput, 10, true, true, false, 1},
};
} // namespace

std::vector<std::uint8_t> CommandFrame(int kind, std::uint8_t node, std::uint8_t b, std::int32_t w)
{
    if (kind < 0 || kind > 6)
        return {};
    const KindLayout& k = kKinds[kind];
    std::vector<std::uint8_t> frame(k.n + 2, 0);
    frame[0] = node;
    frame[1] = k.code;
    frame[2] = static_cast<std::uint8_t>(kAccessCode & 255);
    frame[3] = static_cast<std::uint8_t>(ShiftRight(kAccessCode, 8) & 255);
    if (k.byte4FromB)
        frame[4] = b;
    if (k.lowOfWInByte5)
        frame[5] = static_cast<std::uint8_t>(w & 255);
    if (k.wordInBytes56) {
        frame[5] = static_cast<std::uint8_t>(w & 255);
        frame[6] = static_cast<std::uint8_t>(ShiftRight(w, 8) & 255);
        frame[7] = k.byte7;
    }
    AppendCrc(frame.data(), k.n);
    return frame;
}

std::vector<std::uint8_t> ShortCommandFrame(std::uint8_t node, std::uint8_t code)
{
    return RequestFrame(node, code, {0, 0});
}

std::vector<std::uint8_t> RequestFrame(std::uint8_t node, std::uint8_t code, const std::vector<std::uint8_t>& payload)
{
    std::vector<std::uint8_t> frame;
    frame.reserve(payload.size() + 6);
    frame.push_back(node);
    frame.push_back(code);
    frame.push_back(static_cast<std::uint8_t>(kAccessCode & 255));
    frame.push_back(static_cast<std::uint8_t>(ShiftRight(kAccessCode, 8) & 255));
    frame.insert(frame.end(), payload.begin(), payload.end());
    const std::size_t n = frame.size();
    frame.resize(n + 2);
    AppendCrc(frame.data(), n);
    return frame;
}

std::vector<std::uint8_t> AnswerFrame(std::uint8_t node, std::uint8_t code, const std::vector<std::uint8_t>& payload)
{
    std::vector<std::uint8_t> frame;
    frame.reserve(payload.size() + 4);
    frame.push_back(node);
    frame.push_back(code);
    frame.insert(frame.end(), payload.begin(), payload.end());
    const std::size_t n = frame.size();
    frame.resize(n + 2);
    AppendCrc(frame.data(), n);
    return frame;
}

} // namespace modComFun
