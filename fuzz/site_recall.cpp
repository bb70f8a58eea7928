// Any bytes as a recalled site file, the way the configuration menu's recall takes them: the file
// into the image, the image into the cells, the menu's identity labels. The cells must give the
// image back byte for byte when encoded (a send encodes them), and a refused file changes nothing.

#include "fuzzsupport.h"
#include "engine/imagetransfer.h"
#include "engine/session.h"
#include "engine/sitework.h"
#include "meterdata/auditsheet.h"
#include "meterdata/modBinaryRW.h"
#include "meterdata/sitefile.h"

#include <QCoreApplication>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>

namespace {

Session* session = nullptr;

} // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv)
{
    // The session's settings store must not touch the user's own preferences.
    static QTemporaryDir config;
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(config.path()));
    static QCoreApplication app(*argc, *argv);
    session = new Session(std::make_unique<NoDialogs>());
    session->StartUp();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    Session& s = *session;
    const QByteArray file = QByteArray::fromRawData(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    const auto before = s.ParamImage;
    const int lengthBefore = s.ImageLength;

    const sitework::Recalled r = sitework::RecallSiteBytes(s, file);
    if (r.outcome != sitework::Recalled::Outcome::Taken) {
        require(r.outcome == sitework::Recalled::Outcome::TooLong);
        require(size > sitefile::kHeadBytes + modData::ParamImageSize);
        require(s.ParamImage == before && s.ImageLength == lengthBefore);
        return 0;
    }

    // The file's image bytes from index 0, zeros after them; whole and matching means sendable.
    const std::size_t taken = size > sitefile::kHeadBytes ? size - sitefile::kHeadBytes : 0;
    require(std::equal(data + std::min(size, std::size_t{sitefile::kHeadBytes}), data + size, s.ParamImage.begin()));
    require(std::all_of(s.ParamImage.begin() + static_cast<std::ptrdiff_t>(taken),
                        s.ParamImage.begin() + sitefile::kClearedBytes, [](std::uint8_t b) { return b == 0; }));
    require(s.ImageLength == sitefile::kImageBytes);
    require(r.valid == (s.ImageValid == 1));
    require(r.valid == (taken == sitefile::kImageBytes && modBinaryRW::ByteChecksum(s, s.ImageLength) == data[2]));

    modBinaryRW::TakeImage(s);
    if (auditsheet::HasIdentityLabels(s.MeterModel))
        auditsheet::MenuLabels(s.MeterModel, s.FirmwareVersion, s.SerialNumber, static_cast<std::uint16_t>(s.ImageChecksum));

    const auto recalled = s.ParamImage;
    modBinaryRW::EncodeImage(s);
    require(s.ParamImage == recalled);
    return 0;
}
