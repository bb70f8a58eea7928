#pragma once
// Helpers of the site file and audit sheet tests: the simulator's factory image as a site file,
// the hand-written expected sheet, a file size limit that makes writes fail, left-over files.

#include "imagefile.h"
#include "support/bytes.h"

#include <QDir>
#include <QStringList>

#include <csignal>
#include <sys/resource.h>

namespace sitetest {

using namespace testbytes;

// A site file of the factory image: model, version, checksum, the 1452 bytes.
inline QByteArray factorySiteFile(char model = 1, char version = 3)
{
    const sim::Image image = sim::FactoryImage();
    return QByteArray() + model + version + static_cast<char>(byteSum(image)) + qbytes(image);
}

// The hand-written audit sheet of the factory image (see data/README.md).
inline QByteArray expectedFactorySheet() { return fileBytes(QStringLiteral(ZAV_TEST_DATA_DIR "/audit_factory.txt")); }

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
    explicit FileSizeLimit(rlim_t bytes) : m_oldHandler(std::signal(SIGXFSZ, SIG_IGN))
    {
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
    void (*m_oldHandler)(int);
};

// The names of the files in a folder (left-over temporary files show up here).
inline QStringList filesIn(const QString& folder)
{
    return QDir(folder).entryList(QDir::Files | QDir::Hidden | QDir::NoDotAndDotDot, QDir::Name);
}

} // namespace sitetest
