#pragma once
// Site files: one parameter image on disk behind a 3-byte head (model, firmware version, byte
// checksum of the image bytes). Plain code without widgets, shared by the configuration menu and
// any command-line companion; the file bytes are built and taken apart here, the windows only
// choose the file and show the result.

#include "link/modComFun.h"
#include "meterdata/modData.h"

#include <QByteArray>
#include <QString>
#include <cstdint>

namespace sitefile {

// The store and recall file dialogs. The preselected entry lists site files as Store writes them
// (".bin") and the older ".dna" alike; its patterns are separated by a space in the description,
// where the file dialog takes them from.
inline constexpr char kFilter[] = "All Files (*.*)|*.*|Data Files (*.bin *.dna)|*.bin;*.dna";
inline constexpr int kFilterIndex = 2;
inline constexpr char kDefaultExt[] = "bin";

inline constexpr int kHeadBytes = 3;
inline constexpr int kImageBytes = modComFun::kImageBytes; // a complete image
inline constexpr int kClearedBytes = 2000;    // a recall first clears ParamImage bytes 0..1999
// A recall never needs more of a file than its head, a full ParamImage and one byte more (which
// tells a file too long for the image).
inline constexpr qint64 kRecallReadLimit = kHeadBytes + modData::ParamImageSize + 1;

// The whole file: model, version, the byte checksum of the image bytes, then ParamImage bytes
// 0..ImageLength-1 (ImageLength limited to ParamImage). An empty image gives the 3 head bytes.
QByteArray SiteFileBytes(std::uint8_t model, std::uint8_t version, const modData::MeterData& data);

enum class RecallOutcome {
    Valid,    // exactly 1452 image bytes whose checksum matches the head: the image may be sent
    NotValid, // read to its end, but of another length or checksum: shown, never sent
    TooLong,  // more image bytes than ParamImage holds: stopped with the image full, not shown
};

struct Recall {
    RecallOutcome outcome = RecallOutcome::NotValid;
    std::uint8_t model = 0;          // file byte 0 (0 when the file is shorter)
    std::uint8_t version = 0;        // file byte 1 (0 when the file is shorter)
    std::uint8_t storedChecksum = 0; // file byte 2 (0 when the file is shorter)
    int imageBytes = 0;              // image bytes taken into ParamImage
};

// Takes a site file's bytes into the image: ParamImage bytes 0..1999 := 0, then the image bytes
// from index 0 on. A file that fits ParamImage sets ImageLength to 1452, whatever it held (the
// rest of the image stays zero); a longer one stops when ParamImage is full and leaves ImageLength
// as it was. Cells are not decoded here; model and version are only returned.
Recall RecallSiteFile(const QByteArray& file, modData::MeterData& data);

// Replaces the file at path with bytes through a temporary file renamed into place, so a write
// that fails or is interrupted leaves any previous file whole. Only regular files are replaced: a
// character device or a FIFO (/dev/null, /dev/stdout on a pipe) is written where it is, and a FIFO
// without a reader fails at once; anything else (a folder, a socket, a block device) is refused.
// Returns an empty text on success, else why it failed.
QString SaveFileBytes(const QString& path, const QByteArray& bytes);

// Reads at most maxBytes bytes of the file at path into bytes. Only a regular file or a character
// device is read; a FIFO, a folder and the like are refused before they are opened, and a device
// with nothing to read fails instead of waiting. Returns an empty text on success, else why it
// failed (bytes is then empty).
QString ReadFileBytes(const QString& path, qint64 maxBytes, QByteArray& bytes);

} // namespace sitefile
