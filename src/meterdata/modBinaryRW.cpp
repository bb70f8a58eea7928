#include "meterdata/modBinaryRW.h"

#include "link/modComFun.h"
#include "platform/vbtext.h"

#include <algorithm>

namespace modBinaryRW {

using modData::CellKind;
using modData::MeterData;
using modData::ParameterCell;

namespace {

template <class Record>
void MapRecord(Record& record, int base)
{
    modData::ForEachCell(record, [base](ParameterCell& c, int rel) { c.offset = base + rel; });
}

template <class Record>
void UnmapRecord(Record& record)
{
    modData::ForEachCell(record, [](ParameterCell& c, int) { c.offset = -1; });
}

// True when the cell has a place and all its bytes lie inside ParamImage.
bool InImage(const ParameterCell& c)
{
    return c.offset >= 0 && c.offset + modData::CellBytes(c.kind) <= modData::ParamImageSize;
}

int Sum(const MeterData& data, int length)
{
    const int n = std::clamp(length, 0, modData::ParamImageSize);
    int sum = 0;
    for (int i = 0; i < n; ++i)
        sum += data.ParamImage[static_cast<std::size_t>(i)];
    return sum;
}

} // namespace

void BuildCellMap(MeterData& data)
{
    MapRecord(data.GlobalCells, 0);
    for (int r = 0; r < modData::LoopRecordCount; ++r) {
        auto& rec = data.LoopCells[static_cast<std::size_t>(r)];
        if (r < modData::MappedLoopRecords)
            MapRecord(rec, modData::LoopBase + modData::LoopRecord::Bytes * r);
        else
            UnmapRecord(rec);
    }
    for (std::size_t w = 0; w < data.AuxWords.size(); ++w)
        data.AuxWords[w].offset = modData::AuxWordBase + modData::AuxWordStep * static_cast<int>(w);
    for (int r = 0; r < modData::IoRecordCount; ++r) {
        auto& rec = data.IoCells[static_cast<std::size_t>(r)];
        if (r < modData::MappedIoRecords)
            MapRecord(rec, modData::IoBase + modData::IoRecord::Bytes * r);
        else
            UnmapRecord(rec);
    }
    for (int c = 0; c < modData::ChannelCount; ++c) {
        auto& rec = data.ChannelCells[static_cast<std::size_t>(c)];
        if (c < modData::MappedChannels)
            MapRecord(rec, modData::ChannelBase + modData::ChannelRecord::Bytes * c);
        else
            UnmapRecord(rec);
    }
}

void DecodeImage(MeterData& data)
{
    const std::uint8_t* image = data.ParamImage.data();
    modData::ForEachImageCell(data, [image](ParameterCell& c) {
        if (!InImage(c))
            return;
        const auto o = static_cast<std::size_t>(c.offset);
        switch (c.kind) {
        case CellKind::ByteCell: c.u = image[o]; break;
        case CellKind::WordCell: c.u = modComFun::GetWordAt(image, o); break;
        case CellKind::FloatCell: c.f = modComFun::GetSingle(image + o); break;
        case CellKind::TextCell: c.text = modComFun::FieldToText(image + o, modComFun::kTextFieldLength); break;
        }
    });
}

void EncodeImage(MeterData& data)
{
    std::uint8_t* image = data.ParamImage.data();
    modData::ForEachImageCell(data, [image](const ParameterCell& c) {
        if (!InImage(c))
            return;
        const auto o = static_cast<std::size_t>(c.offset);
        switch (c.kind) {
        case CellKind::ByteCell: image[o] = static_cast<std::uint8_t>(c.u & 0xFF); break;
        case CellKind::WordCell: modComFun::PutWord(static_cast<std::int32_t>(c.u & 0xFFFF), image + o); break;
        case CellKind::FloatCell: modComFun::PutSingle(c.f, image + o); break;
        case CellKind::TextCell: modComFun::TextToField(c.text, image + o); break;
        }
    });
}

std::uint8_t ByteChecksum(const MeterData& data, int length)
{
    return static_cast<std::uint8_t>(Sum(data, length) & 0xFF);
}

std::uint16_t DisplayChecksum(const MeterData& data, int length)
{
    return static_cast<std::uint16_t>(Sum(data, length) & 0x7FFF);
}

std::vector<std::uint8_t> ImageReadRequest(std::uint8_t node)
{
    return modComFun::ShortCommandFrame(node, modComFun::ReadImage);
}

ImageBlockResult ReceiveImageBlock(MeterData& data, const std::uint8_t* rx, std::size_t rxCount)
{
    ImageBlockResult result;
    constexpr std::size_t kHead = 8; // node, code, byte 2, mark, total (2), n, byte 7
    constexpr std::size_t kCrc = 2;
    if (rx == nullptr || rxCount < kHead || rxCount > RxBufferBytes)
        return result;

    const bool firstBlock = rx[3] == 0;
    const int totalWords = modComFun::GetWordAt(rx, 4);
    const std::size_t blockBytes = 2u * rx[6];
    // The block must lie wholly inside this answer, before its CRC: bytes beyond belong to an
    // earlier answer.
    if (kHead + blockBytes + kCrc > rxCount)
        return result;
    if (totalWords == 0 || (!firstBlock && (data.ReadAnnounced == 0 || totalWords != data.ReadAnnounced)))
        return result;
    const std::size_t position = firstBlock ? 0u : data.ImageLength;
    const std::size_t limit = std::min<std::size_t>(2u * static_cast<std::size_t>(totalWords),
                                                    static_cast<std::size_t>(ImageBytes));
    if (position + blockBytes > limit)
        return result;
    data.ReadAnnounced = static_cast<std::uint16_t>(totalWords);

    std::copy(rx + kHead, rx + kHead + blockBytes, data.ParamImage.begin() + static_cast<std::ptrdiff_t>(position));
    data.ImageLength = static_cast<std::uint16_t>(position + blockBytes);
    result.stored = true;
    result.requestNext = true;
    result.complete = static_cast<int>(data.ImageLength) == 2 * totalWords;
    return result;
}

std::vector<std::uint8_t> SendImageBlock(MeterData& data, std::uint8_t node, int flag)
{
    if (flag == 0)
        data.WordsSent = 0;
    long long remaining = vbtext::RoundHalfEven(data.ImageLength / 2.0 - data.WordsSent);
    // Never read past ParamImage (its last whole word is bytes 1998-1999).
    const long long available = modData::ParamImageSize / 2 - static_cast<long long>(data.WordsSent);
    remaining = std::clamp(remaining, 0LL, std::max(available, 0LL));

    int n = ImageChunkWords;
    if (remaining < ImageChunkWords) {
        n = static_cast<int>(remaining);
        flag = 2;
    }

    std::vector<std::uint8_t> payload;
    payload.reserve(static_cast<std::size_t>(2 * n + 4));
    payload.push_back(static_cast<std::uint8_t>(n));
    payload.push_back(static_cast<std::uint8_t>(flag));
    if (n > 0) {
        const auto first = data.ParamImage.begin() + 2 * static_cast<std::ptrdiff_t>(data.WordsSent);
        payload.insert(payload.end(), first, first + 2 * n);
    }
    payload.push_back(0);
    payload.push_back(0);

    data.WordsSent = static_cast<std::uint16_t>(data.WordsSent + n);
    return modComFun::RequestFrame(node, modComFun::WriteImage, payload);
}

} // namespace modBinaryRW
