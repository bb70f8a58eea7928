#pragma once
// Byte helpers for the tests, written here rather than taken from the code under test: frames as
// vectors and QByteArrays, little-endian fields, a bitwise CRC-16 (Modbus), whole files, and a
// live-data answer as the meter writes it.

#include <QByteArray>
#include <QFile>
#include <QString>

#include <bit>
#include <cstdint>
#include <vector>

namespace testbytes {

using Bytes = std::vector<std::uint8_t>;

inline QByteArray qbytes(const Bytes& v)
{
    return QByteArray(reinterpret_cast<const char*>(v.data()), static_cast<qsizetype>(v.size()));
}
inline Bytes fromQ(const QByteArray& q) { return Bytes(q.begin(), q.end()); }

// Little-endian fields.
inline void putLE(std::uint8_t* p, std::uint32_t v, int n)
{
    for (int i = 0; i < n; ++i)
        p[i] = static_cast<std::uint8_t>(v >> (8 * i));
}
inline void put16(Bytes& b, std::size_t at, int v) { putLE(b.data() + at, static_cast<std::uint32_t>(v), 2); }
inline void putFloat(Bytes& b, std::size_t at, float v) { putLE(b.data() + at, std::bit_cast<std::uint32_t>(v), 4); }
inline Bytes floatBytes(float v)
{
    Bytes b(4);
    putFloat(b, 0, v);
    return b;
}

// CRC-16/MODBUS, bit by bit.
inline std::uint16_t crc16(const Bytes& b)
{
    std::uint16_t crc = 0xFFFF;
    for (std::uint8_t x : b) {
        crc ^= x;
        for (int k = 0; k < 8; ++k)
            crc = (crc & 1) ? static_cast<std::uint16_t>((crc >> 1) ^ 0xA001) : static_cast<std::uint16_t>(crc >> 1);
    }
    return crc;
}
// The bytes with their CRC appended, low byte first.
inline Bytes withCrc(Bytes b)
{
    const std::uint16_t crc = crc16(b);
    b.push_back(static_cast<std::uint8_t>(crc & 0xFF));
    b.push_back(static_cast<std::uint8_t>(crc >> 8));
    return b;
}

// Sum of the bytes modulo 256.
template <class Range> std::uint8_t byteSum(const Range& r)
{
    unsigned sum = 0;
    for (auto x : r)
        sum += static_cast<std::uint8_t>(x);
    return static_cast<std::uint8_t>(sum & 0xFF);
}

inline QByteArray fileBytes(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}
inline bool writeFile(const QString& path, const QByteArray& bytes)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly | QIODevice::Truncate) && f.write(bytes) == bytes.size();
}

// The fields of a live-data answer (code 30), in the meter's base units.
struct Live {
    float mean = 0.002f, sound = 1482.5f, flow = 0.0025f, sdv = 0.0001f, time = 12.5f, total = 0.0375f;
    std::int16_t load = 1234, size = 12, absorb = -35;
    std::uint8_t gate = 1, batch = 0, status = 0;
};

// The 52-byte answer; offsets are frame offsets (0 = node). The bytes nobody reads hold `filler`.
inline Bytes liveAnswer(const Live& l, std::uint8_t node = 17, std::uint8_t filler = 0)
{
    Bytes f(50, filler);
    f[0] = node;
    f[1] = 30;
    f[2] = f[3] = 0;
    const float floats[] = {l.mean, l.sound, l.flow, l.sdv, l.time, l.total};
    for (std::size_t i = 0; i < 6; ++i)
        putFloat(f, 4 + 4 * i, floats[i]);
    put16(f, 28, l.load);
    put16(f, 30, l.size);
    put16(f, 32, l.absorb);
    f[36] = l.gate;
    f[48] = l.batch;
    f[49] = l.status;
    return withCrc(f);
}

} // namespace testbytes
