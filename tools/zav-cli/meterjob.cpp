#include "meterjob.h"

#include "clisession.h"
#include "exitstatus.h"
#include "sitecheck.h"

#include "engine/identification.h"
#include "engine/imagetransfer.h"
#include "engine/session.h"
#include "engine/sitework.h"
#include "link/commands.h"
#include "platform/serialdevice.h"

#include <QEventLoop>
#include <QFileInfo>
#include <QTimer>

#include <cstdio>

namespace zavcli {

namespace {
// A whole read is at most 726 one-word blocks, the identification and the closing answer; a
// meter that keeps answering far beyond that without finishing is not going to finish.
constexpr int kAnswerLimit = 1000;
// How often the job looks at the link, and how long the line must stay quiet, with nothing
// awaited, before an exchange that lacks its last answer counts as stopped.
constexpr int kPollMs = 10;
constexpr int kQuietMs = modComFun::kSilenceMs + 10;

constexpr int kImageBytes = modComFun::kImageBytes;
constexpr int kResponseSeconds = modComFun::kResponseMs / 1000;
} // namespace

MeterJob::MeterJob(CliSession& cli, bool progress) : m_cli(cli), m_progress(progress) {}

MeterJob::~MeterJob()
{
    // Late answers go nowhere once the job is over.
    for (std::uint8_t code : {modComFun::Identify, modComFun::ReadImage, modComFun::WriteImage})
        m_cli.session().routes().clear(code);
}

QString MeterJob::device()
{
    const QString name = m_cli.link().MSComm1->deviceName();
    return name.isEmpty() ? QStringLiteral("the serial port") : name;
}

void MeterJob::installRoutes()
{
    // The answers each exchange takes; any other code is accepted by the link and goes no further.
    Session& s = m_cli.session();
    AnswerRoutes& r = s.routes();
    switch (m_mode) {
    case Mode::Identify:
        // The identification alone: the image read that meter setup would ask for next is not wanted.
        r.route(modComFun::Identify, QStringLiteral("zav-cli identify"), [this, &s] {
            if (m_done)
                return;
            identification::TakeIdentity(s);
            m_done = true;
        });
        break;
    case Mode::Read:
        // Identification, then the image block by block, as meter setup reads it.
        r.route(modComFun::Identify, QStringLiteral("identification"), [this, &s] {
            if (m_done || m_identified)
                return;
            m_identified = true;
            identification::RcvID(s);
        });
        r.route(modComFun::ReadImage, QStringLiteral("image reader"), [this, &s] {
            if (!m_done && m_identified)
                modBinaryRW::ReceiveImageBlock(s);
        });
        break;
    case Mode::Write:
        r.route(modComFun::WriteImage, QStringLiteral("image writer"), [this, &s] {
            if (!m_done)
                modBinaryRW::SendImageBlock(s, 1);
        });
        break;
    }
}

int MeterJob::run(Mode mode)
{
    m_mode = mode;
    m_answers = 0;
    m_identified = m_done = m_finished = false;
    m_status = TransferStopped;
    m_shown = -1;
    m_quiet.invalidate();
    installRoutes();

    frmCDR& link = m_cli.link();
    QEventLoop loop;
    m_loop = &loop;
    QList<QMetaObject::Connection> connections{
        connect(&link, &frmCDR::answerAccepted, this, &MeterJob::onAnswer),
        connect(&link, &frmCDR::timedOut, this, &MeterJob::onTimeOut),
        connect(&link, &frmCDR::sendFailed, this, &MeterJob::onSendFailed),
        connect(&link, &frmCDR::lineError, this, &MeterJob::onLineError),
    };
    QTimer poller;
    poller.setInterval(kPollMs);
    poller.setTimerType(Qt::PreciseTimer);
    connect(&poller, &QTimer::timeout, this, &MeterJob::poll);
    // Started from inside the loop, so that a failure reported while sending ends it.
    QTimer::singleShot(0, this, [this, &poller] {
        start();
        if (!m_finished)
            poller.start();
    });
    loop.exec();
    m_loop = nullptr;
    for (const auto& c : connections)
        disconnect(c);
    if (m_shown >= 0)
        std::fputs("\n", stderr);
    return m_status;
}

void MeterJob::start()
{
    Session& s = m_cli.session();
    switch (m_mode) {
    case Mode::Identify:
    case Mode::Read:
        modComFun::BuildCommand(m_cli.link(), modComFun::KindIdentify, s.NodeAddress, 0, 0);
        break;
    case Mode::Write:
        // The menu's send: the image, encoded from the recalled cells, in 56-word blocks.
        modBinaryRW::StartImageWrite(s);
        break;
    }
}

void MeterJob::finish(int status, const QString& message)
{
    if (m_finished)
        return;
    m_finished = true;
    m_status = status;
    m_message = message;
    if (m_loop)
        m_loop->exit(status);
}

// Identification -------------------------------------------------------------------------------

int MeterJob::identify()
{
    const QString error = m_cli.openLink();
    if (!error.isEmpty()) {
        m_message = error;
        return PortFailed;
    }
    const int status = run(Mode::Identify);
    if (status != Done)
        return status;
    const Session& s = m_cli.session();
    m_message = QStringLiteral("Model: %1\nVersion: %2\nSerial number: %3")
                    .arg(s.MeterModel)
                    .arg(s.FirmwareVersion)
                    .arg(s.SerialNumber);
    return Done;
}

// Image read -----------------------------------------------------------------------------------

int MeterJob::read(const QString& path)
{
    // A file that cannot be written is found before the meter is asked for anything.
    const QFileInfo target(path);
    const QFileInfo folder(target.absolutePath());
    // A device or FIFO is written where it is: its folder need not be writable.
    const bool inPlace = target.exists() && !target.isFile() && !target.isDir();
    if (target.isDir() || (!inPlace && (!folder.isDir() || !folder.isWritable()))) {
        m_message = QStringLiteral("cannot write %1: %2")
                        .arg(path, target.isDir() ? QStringLiteral("it is a folder")
                                                  : QStringLiteral("its folder does not exist or is not writable"));
        return CannotWrite;
    }
    const int status = readImage();
    if (status != Done) {
        if (status == TransferStopped || status == NoAnswer) {
            if (m_message.endsWith(QLatin1Char('.')))
                m_message.chop(1);
            m_message += QStringLiteral("; %1 not written").arg(path);
        }
        return status;
    }

    // The image is whole: into the cells as the menu takes it, then stored as its store button does.
    Session& s = m_cli.session();
    modBinaryRW::TakeImage(s);
    const QString stored = sitework::StoreSite(s, path);
    if (!stored.isEmpty()) {
        m_message = QStringLiteral("cannot write %1: %2; an earlier file of that name is unchanged").arg(path, stored);
        return CannotWrite;
    }
    m_message = QStringLiteral("Read the image of model %1, version %2, serial number %3 into %4")
                    .arg(s.MeterModel)
                    .arg(s.FirmwareVersion)
                    .arg(s.SerialNumber)
                    .arg(path);
    return Done;
}

int MeterJob::readImage()
{
    const QString error = m_cli.openLink();
    if (!error.isEmpty()) {
        m_message = error;
        return PortFailed;
    }
    return run(Mode::Read);
}

// Image write ----------------------------------------------------------------------------------

int MeterJob::write(const QString& path)
{
    const SiteCheck check = CheckSiteFile(path);
    if (!check.sendable()) {
        m_message = check.reason + QStringLiteral("; nothing sent");
        return BadSiteFile;
    }
    Session& s = m_cli.session();
    const sitework::Recalled r = sitework::RecallSite(s, path);
    if (r.outcome != sitework::Recalled::Outcome::Taken || !r.valid) {
        m_message = (r.error.isEmpty() ? QStringLiteral("%1 cannot be sent").arg(path)
                                       : QStringLiteral("cannot read %1: %2").arg(path, r.error))
                    + QStringLiteral("; nothing sent");
        return BadSiteFile;
    }
    // The cells take the recalled image, as the menu shows it; the send encodes them back.
    modBinaryRW::TakeImage(s);
    const QString error = m_cli.openLink();
    if (!error.isEmpty()) {
        m_message = error;
        return PortFailed;
    }
    const int status = run(Mode::Write);
    if (status != Done)
        return status;
    if (m_finalCode != modComFun::TransferDone) {
        m_message = m_finalCode == modComFun::WriteRefused
                        ? QStringLiteral("the meter refused the image (answer code %1)").arg(m_finalCode)
                        : QStringLiteral("the meter did not confirm the image: it answered with code %1").arg(m_finalCode);
        return Refused;
    }
    m_message = QStringLiteral("Wrote %1 (model %2, version %3) to the meter; the meter confirmed the image")
                    .arg(path)
                    .arg(s.MeterModel)
                    .arg(s.FirmwareVersion);
    return Done;
}

// Following the exchange -----------------------------------------------------------------------

void MeterJob::onAnswer(std::uint8_t code)
{
    // Told before the answer is routed.
    if (m_finished || m_done)
        return;
    ++m_answers;
    m_lastCode = code;
    if (m_answers > kAnswerLimit) {
        m_done = true;
        finish(TransferStopped, QStringLiteral("the meter kept answering without completing the transfer"));
        return;
    }
    const Session& s = m_cli.session();
    switch (m_mode) {
    case Mode::Identify:
        break;
    case Mode::Read:
        // The answer to the read request that follows the last block: the read is over.
        if (s.ImageValid == 1)
            m_done = true;
        break;
    case Mode::Write: {
        // The block flag of the frame just sent: 2 marks the last block.
        const frmCDR& link = m_cli.link();
        const bool lastBlockSent = link.TxBuffer[1] == modComFun::WriteImage && link.TxBuffer[5] == 2;
        if (code == modComFun::WriteImage && !lastBlockSent)
            break;
        m_finalCode = code;
        m_done = true;
        break;
    }
    }
    // The exchange is over once this answer has been routed.
    QMetaObject::invokeMethod(
        this, [this] {
            if (m_done)
                finish(Done, {});
        },
        Qt::QueuedConnection);
}

void MeterJob::onSendFailed(const QString& reason)
{
    finish(PortFailed, reason.isEmpty() ? QStringLiteral("cannot open %1").arg(device()) : CliDialogs::oneLine(reason));
}

void MeterJob::onLineError(const QString& text)
{
    // Errors of a port that stays open are left to the answer's CRC and the time-out.
    if (m_finished || m_cli.link().MSComm1->isOpen())
        return;
    if (m_answers == 0)
        finish(PortFailed, text);
    else
        finish(TransferStopped, QStringLiteral("the transfer stopped: ") + text);
}

void MeterJob::onTimeOut()
{
    if (m_finished)
        return;
    const Session& s = m_cli.session();
    if (m_mode == Mode::Read && s.ImageValid == 1) {
        // Only the answer after the last block went missing: the image itself is whole.
        m_done = true;
        finish(Done, {});
        return;
    }
    const QString failed = m_cli.link().FailReason;
    if (!failed.isEmpty()) {
        // The meter answered, but with something the transfer could not take.
        finish(m_answers <= 1 ? NoAnswer : TransferStopped,
               QStringLiteral("the transfer stopped: %1").arg(failed));
        return;
    }
    if (m_answers == 0) {
        finish(NoAnswer, QStringLiteral("no answer from the meter on %1 within %2 s").arg(device()).arg(kResponseSeconds));
        return;
    }
    switch (m_mode) {
    case Mode::Identify:
        finish(NoAnswer, QStringLiteral("no identification from the meter on %1 within %2 s").arg(device()).arg(kResponseSeconds));
        break;
    case Mode::Read:
        finish(TransferStopped, QStringLiteral("the meter stopped answering during the image read (%1 of %2 bytes arrived)")
                                    .arg(s.ImageLength)
                                    .arg(kImageBytes));
        break;
    case Mode::Write:
        finish(TransferStopped, QStringLiteral("the meter stopped answering during the image write (%1 of %2 bytes sent); "
                                               "it has not confirmed the image")
                                    .arg(2 * s.WordsSent)
                                    .arg(kImageBytes));
        break;
    }
}

void MeterJob::showProgress()
{
    if (!m_progress || m_mode == Mode::Identify || m_answers == 0)
        return;
    const Session& s = m_cli.session();
    int bytes = 0;
    if (m_mode == Mode::Read)
        bytes = s.ImageValid == 1 ? kImageBytes : s.ImageLength;
    else
        bytes = 2 * s.WordsSent;
    if (bytes == m_shown)
        return;
    m_shown = bytes;
    const QByteArray line = QStringLiteral("\r%1 the image: %2 of %3 bytes")
                                .arg(m_mode == Mode::Read ? QStringLiteral("Reading") : QStringLiteral("Writing"))
                                .arg(bytes, 4)
                                .arg(kImageBytes)
                                .toLocal8Bit();
    std::fputs(line.constData(), stderr);
    std::fflush(stderr);
}

void MeterJob::poll()
{
    if (m_finished)
        return;
    showProgress();
    frmCDR& link = m_cli.link();
    const bool waiting = link.MSComm1->isOpen() && link.MSComm1->bytesWaiting() > 0;
    if (m_done || link.tmrTimeOut->isActive() || link.RxCount != 0 || waiting) {
        m_quiet.invalidate();
        return;
    }
    if (!m_quiet.isValid()) {
        m_quiet.start();
        return;
    }
    if (m_quiet.elapsed() < kQuietMs)
        return;

    // Nothing is awaited and the line has stayed quiet since the last answer, which did not carry
    // the exchange on.
    const Session& s = m_cli.session();
    switch (m_mode) {
    case Mode::Identify:
        finish(NoAnswer, QStringLiteral("the meter answered with function code %1, not with its identification").arg(m_lastCode));
        break;
    case Mode::Read:
        finish(m_answers <= 1 ? NoAnswer : TransferStopped,
               QStringLiteral("the image read stopped: the meter's answer (function code %1) did not continue it "
                              "(%2 of %3 bytes arrived)")
                   .arg(m_lastCode)
                   .arg(s.ImageLength)
                   .arg(kImageBytes));
        break;
    case Mode::Write:
        finish(TransferStopped, QStringLiteral("the image write stopped after %1 of %2 bytes").arg(2 * s.WordsSent).arg(kImageBytes));
        break;
    }
}

} // namespace zavcli
