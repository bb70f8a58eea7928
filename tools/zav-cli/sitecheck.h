#pragma once
// Whether a site file is one the configuration menu could send: readable, a 3-byte head and
// exactly 1452 image bytes whose byte checksum matches the head. The file is taken apart by the
// site-file code the menu uses; nothing here changes the session.

#include <QString>
#include <cstdint>

namespace zavcli {

struct SiteCheck {
    enum class Verdict { Sendable, Unreadable, TooLong, WrongLength, WrongChecksum };
    Verdict verdict = Verdict::Unreadable;
    qint64 fileBytes = 0; // -1: unknown, a device that gave at least the read limit
    std::uint8_t model = 0;
    std::uint8_t version = 0;
    std::uint8_t storedChecksum = 0;
    std::uint8_t imageChecksum = 0; // of the image bytes as read
    QString reason;                 // one line: why the file cannot be sent, or what it holds

    bool sendable() const { return verdict == Verdict::Sendable; }
};

SiteCheck CheckSiteFile(const QString& path);

} // namespace zavcli
