#include "meterdata/sitefile.h"

#include "meterdata/modBinaryRW.h"

#include <QFile>
#include <QSaveFile>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <ctime>
#include <utility>

#include <fcntl.h>
#include <pthread.h>
#include <sys/stat.h>
#include <unistd.h>

namespace sitefile {

QByteArray SiteFileBytes(std::uint8_t model, std::uint8_t version, const modData::MeterData& data)
{
    const int length = std::min<int>(data.ImageLength, modData::ParamImageSize);
    QByteArray bytes;
    bytes.reserve(kHeadBytes + length);
    bytes.append(static_cast<char>(model));
    bytes.append(static_cast<char>(version));
    bytes.append(static_cast<char>(modBinaryRW::ByteChecksum(data, length)));
    bytes.append(reinterpret_cast<const char*>(data.ParamImage.data()), length);
    return bytes;
}

Recall RecallSiteFile(const QByteArray& file, modData::MeterData& data)
{
    std::fill_n(data.ParamImage.begin(), kClearedBytes, std::uint8_t{0});

    Recall r;
    auto head = [&file](int i) { return i < file.size() ? static_cast<std::uint8_t>(file[i]) : std::uint8_t{0}; };
    r.model = head(0);
    r.version = head(1);
    r.storedChecksum = head(2);

    const qsizetype available = std::max<qsizetype>(0, file.size() - kHeadBytes);
    const qsizetype taken = std::min<qsizetype>(available, modData::ParamImageSize);
    std::copy_n(reinterpret_cast<const std::uint8_t*>(file.constData()) + kHeadBytes, taken, data.ParamImage.begin());
    r.imageBytes = static_cast<int>(taken);
    if (available > modData::ParamImageSize) {
        r.outcome = RecallOutcome::TooLong;
        return r;
    }

    data.ImageLength = kImageBytes;
    const bool whole = r.imageBytes == kImageBytes;
    r.outcome = whole && modBinaryRW::ByteChecksum(data, r.imageBytes) == r.storedChecksum ? RecallOutcome::Valid
                                                                                         : RecallOutcome::NotValid;
    return r;
}

namespace {

QString errnoText(int err)
{
    return err != 0 ? qt_error_string(err) : QStringLiteral("unknown error");
}

// Qt's text, unless it has none to give: a write that stops short after a partial write leaves
// Qt's error unset ("Unknown error"), and the reason is then in errno.
QString reason(const QFileDevice& f, int err)
{
    const QString text = f.error() == QFileDevice::NoError ? QString() : f.errorString();
    return text.isEmpty() || text == QLatin1String("Unknown error") ? errnoText(err) : text;
}

// Why a path that is no file the site-file code reads or writes is refused.
QString notAFile(mode_t mode)
{
    if (S_ISDIR(mode))
        return QStringLiteral("it is a folder");
    if (S_ISFIFO(mode))
        return QStringLiteral("it is a FIFO (named pipe), not a file");
    if (S_ISSOCK(mode))
        return QStringLiteral("it is a socket, not a file");
    if (S_ISBLK(mode))
        return QStringLiteral("it is a block device, not a file");
    return QStringLiteral("it is not a file");
}

bool sameKind(mode_t a, mode_t b)
{
    return (a & S_IFMT) == (b & S_IFMT);
}

class Descriptor {
public:
    explicit Descriptor(int fd) : m_fd(fd) {}
    ~Descriptor()
    {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
    int get() const { return m_fd; }
    // Closes now; returns 0 or errno (a device may report a write failure only here).
    int close()
    {
        const int fd = std::exchange(m_fd, -1);
        return fd >= 0 && ::close(fd) != 0 && errno != EINTR ? errno : 0;
    }

private:
    int m_fd;
};

// While alive, a write into a pipe whose reader has gone fails with EPIPE in this thread instead
// of raising SIGPIPE, which would end the whole program.
class SigpipeHeld {
public:
    SigpipeHeld()
    {
        sigemptyset(&m_pipe);
        sigaddset(&m_pipe, SIGPIPE);
        pthread_sigmask(SIG_BLOCK, &m_pipe, &m_old);
        sigset_t pending;
        sigpending(&pending);
        m_wasPending = sigismember(&pending, SIGPIPE) == 1;
    }
    ~SigpipeHeld()
    {
        const timespec now{};
        while (!m_wasPending && sigtimedwait(&m_pipe, nullptr, &now) == SIGPIPE) {
        }
        pthread_sigmask(SIG_SETMASK, &m_old, nullptr);
    }
    SigpipeHeld(const SigpipeHeld&) = delete;
    SigpipeHeld& operator=(const SigpipeHeld&) = delete;

private:
    sigset_t m_pipe{};
    sigset_t m_old{};
    bool m_wasPending = false;
};

// A device or a FIFO is written where it is: a temporary file renamed over it would put a plain
// file in its place, or fail where the path is no file at all (/dev/stdout on a pipe).
QString writeInPlace(const QByteArray& name, mode_t mode, const QByteArray& bytes)
{
    // Non-blocking, so that a FIFO without a reader fails at once instead of waiting for one.
    Descriptor fd(::open(name.constData(), O_WRONLY | O_NONBLOCK | O_CLOEXEC));
    if (fd.get() < 0)
        return errno == ENXIO && S_ISFIFO(mode) ? QStringLiteral("it is a FIFO with no reader") : errnoText(errno);
    struct stat opened {};
    if (::fstat(fd.get(), &opened) != 0)
        return errnoText(errno);
    if (!sameKind(opened.st_mode, mode))
        return QStringLiteral("it was replaced by another kind of file while being opened");
    // The writes themselves wait for a slow reader, as any program's would.
    const int flags = ::fcntl(fd.get(), F_GETFL);
    if (flags < 0 || ::fcntl(fd.get(), F_SETFL, flags & ~O_NONBLOCK) != 0)
        return errnoText(errno);

    int err = 0;
    {
        const SigpipeHeld held;
        const char* at = bytes.constData();
        qint64 left = bytes.size();
        while (left > 0) {
            const ssize_t n = ::write(fd.get(), at, static_cast<size_t>(left));
            if (n < 0 && errno == EINTR)
                continue;
            if (n <= 0) {
                err = n < 0 ? errno : EIO;
                break;
            }
            at += n;
            left -= n;
        }
    }
    const int closeErr = fd.close();
    return err != 0 || closeErr != 0 ? errnoText(err != 0 ? err : closeErr) : QString();
}

} // namespace

QString SaveFileBytes(const QString& path, const QByteArray& bytes)
{
    const QByteArray name = QFile::encodeName(path);
    struct stat st {};
    if (::stat(name.constData(), &st) == 0 && !S_ISREG(st.st_mode)) {
        if (S_ISCHR(st.st_mode) || S_ISFIFO(st.st_mode))
            return writeInPlace(name, st.st_mode, bytes);
        return notAFile(st.st_mode);
    }

    QSaveFile f(path);
    // Unbuffered: a short write must show here. Buffered, it would surface only in the flush
    // inside commit(), which does not fail on it, and a truncated file would replace the old one.
    if (!f.open(QIODevice::WriteOnly | QIODevice::Unbuffered))
        return reason(f, errno);
    // A write that stops part way returns what it wrote without an error; the next one fails with
    // the reason (file size limit, full disk).
    for (qint64 done = 0; done < bytes.size();) {
        errno = 0;
        const qint64 n = f.write(bytes.constData() + done, bytes.size() - done);
        if (n <= 0) {
            const QString why = reason(f, errno);
            f.cancelWriting();
            return why;
        }
        done += n;
    }
    if (!f.commit())
        return reason(f, errno);
    return {};
}

QString ReadFileBytes(const QString& path, qint64 maxBytes, QByteArray& bytes)
{
    bytes.clear();
    // Only a regular file or a character device (/dev/null) is opened: opening a FIFO would wait
    // for a writer for ever.
    const QByteArray name = QFile::encodeName(path);
    struct stat st {};
    if (::stat(name.constData(), &st) != 0)
        return errnoText(errno);
    if (!S_ISREG(st.st_mode) && !S_ISCHR(st.st_mode))
        return notAFile(st.st_mode);
    // Non-blocking, so that neither the open nor a read can wait: a device with nothing to read
    // (a terminal) fails, and so does anything put in the file's place since the check.
    Descriptor fd(::open(name.constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC));
    if (fd.get() < 0)
        return errnoText(errno);
    if (::fstat(fd.get(), &st) != 0)
        return errnoText(errno);
    if (!S_ISREG(st.st_mode) && !S_ISCHR(st.st_mode))
        return notAFile(st.st_mode);

    QByteArray read;
    char chunk[4096];
    while (read.size() < maxBytes) {
        const ssize_t n = ::read(fd.get(), chunk, static_cast<size_t>(std::min<qint64>(sizeof chunk, maxBytes - read.size())));
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return errno == EAGAIN ? QStringLiteral("it is a device with nothing to read") : errnoText(errno);
        if (n == 0)
            break;
        read.append(chunk, n);
    }
    bytes = std::move(read);
    return {};
}

} // namespace sitefile
