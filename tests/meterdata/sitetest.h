#pragma once
// Helpers of the site file and audit sheet tests: files on disk, the simulator's factory image as a
// site file, the hand-written expected sheet, and a file size limit that makes writes fail.

#include "imagefile.h"

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QString>
#include <QStringList>

#include <csignal>
#include <sys/resource.h>

namespace sitetest {

inline QByteArray fileBytes(const QString& path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    return f.readAll();
}

inline bool writeFile(const QString& path, const QByteArray& bytes)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly | QIODevice::Truncate) && f.write(bytes) == bytes.size();
}

inline QByteArray imageBytes(const sim::Image& image)
{
    return QByteArray(reinterpret_cast<const char*>(image.data()), static_cast<qsizetype>(image.size()));
}

// Sum of the bytes modulo 256, worked out here rather than by the code under test.
inline char byteSum(const QByteArray& bytes)
{
    unsigned sum = 0;
    for (char b : bytes)
        sum += static_cast<unsigned char>(b);
    return static_cast<char>(sum & 0xFF);
}

// A site file of the factory image: model, version, checksum, the 1452 bytes.
inline QByteArray factorySiteFile(char model = 1, char version = 3)
{
    const QByteArray image = imageBytes(sim::FactoryImage());
    return QByteArray() + model + version + byteSum(image) + image;
}

// The hand-written audit sheet of the factory image (see data/README.md).
inline QByteArray expectedFactorySheet()
{
    return fileBytes(QStringLiteral(ZAV_TEST_DATA_DIR "/audit_factory.txt"));
}

// The lines of a sheet, split at CR LF (the last, empty piece dropped).
inline QList<QByteArray> sheetLines(const QByteArray& sheet)
{
    QList<QByteArray> lines = sheet.split('\n');
    if (!lines.isEmpty() && lines.last().isEmpty())
        lines.removeLast();
    for (QByteArray& l : lines)
        if (l.endsWith('\r'))
            l.chop(1);
    return lines;
}

// While alive, files of this process cannot grow beyond `bytes` (writes past it fail with EFBIG
// instead of raising SIGXFSZ), as on a full disk or an exceeded quota.
class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t bytes)
    {
        m_oldHandler = std::signal(SIGXFSZ, SIG_IGN);
        getrlimit(RLIMIT_FSIZE, &m_old);
        rlimit limit = m_old;
        limit.rlim_cur = bytes;
        setrlimit(RLIMIT_FSIZE, &limit);
    }
    ~FileSizeLimit()
    {
        setrlimit(RLIMIT_FSIZE, &m_old);
        std::signal(SIGXFSZ, m_oldHandler);
    }
    FileSizeLimit(const FileSizeLimit&) = delete;
    FileSizeLimit& operator=(const FileSizeLimit&) = delete;

private:
    rlimit m_old{};
    void (*m_oldHandler)(int) = nullptr;
};

// Names in a folder other than the given ones (left-over temporary files).
inline QStringList otherEntries(const QString& folder, const QStringList& expected)
{
    QStringList out;
    for (const QString& name : QDir(folder).entryList(QDir::Files | QDir::Hidden | QDir::NoDotAndDotDot))
        if (!expected.contains(name))
            out << name;
    return out;
}

} // namespace sitetest
