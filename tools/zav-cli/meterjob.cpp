#include "meterjob.h"

#include "clisession.h"
#include "exitstatus.h"
#include "sitecheck.h"

#include "link/commands.h"
#include "link/frmCDR.h"
#include "meterdata/frmConfig.h"
#include "meterdata/modBinaryRW.h"
#include "meterdata/session.h"
#include "meterdata/sitefile.h"
#include "platform/serialdevice.h"
#include "startup/frmStart.h"
#include "startup/windowregistry.h"

#include <QDir>
#include <QEventLoop>
#include <QFileInfo>
#include <QTimer>

#include <cstdio>

namespace zavcli {

namespace {
// A whole read is at most 726 one-word blocks, the identification and the closing answer; a
// meter that keeps answering far beyond that without finishing is not going to finish.
constexpr int kAnswerLimit = 1000;
// How often the job looks at the link, and how long the line must stay quiet after the last
// answer: the link's end-of-answer silence and a little more.
constexpr int kPollMs = 10;
constexpr int kQuietMs = frmCDR::kSilenceMs + 10;

const int kImageBytes = modBinaryRW::ImageBytes;
} // namespace

MeterJob::MeterJob(CliSession& cli, bool progress) : m_cli(cli), m_progress(progress)
{
    // Installed for the job's whole life: once it has finished, late answers go nowhere.
    m_cli.session().answerHook = [this](std::uint8_t code) { return onAnswer(code); };
    m_cli.dialogs().onLinkFailure = [this](CliDialogs::LinkFailure kind, const QString& text) {
        onLinkFailure(kind, text);
    };
}

MeterJob::~MeterJob()
{
    m_cli.session().answerHook = nullptr;
    m_cli.dialogs().onLinkFailure = nullptr;
}

QString MeterJob::device() const
{
    const QString name = m_cli.link().MSComm1->deviceName();
    return name.isEmpty() ? QStringLiteral("the serial port") : name;
}

int MeterJob::run(Mode mode, void (MeterJob::*start)())
{
    m_mode = mode;
    m_answers = 0;
    m_done = m_finished = false;
    m_status = TransferStopped;
    m_shown = -1;
    m_quiet.invalidate();

    QEventLoop loop;
    m_loop = &loop;
    QTimer poller;
    poller.setInterval(kPollMs);
    connect(&poller, &QTimer::timeout, this, &MeterJob::poll);
    // Started from inside the loop, so that a failure reported while sending ends it.
    QTimer::singleShot(0, this, [this, start, &poller] {
        (this->*start)();
        if (!m_finished)
            poller.start();
    });
    loop.exec();
    m_loop = nullptr;
    if (m_shown >= 0)
        std::fputs("\n", stderr);
    return m_status;
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
    const int status = run(Mode::Identify, &MeterJob::startIdentify);
    if (status != Done)
        return status;
    const Session& s = m_cli.session();
    m_message = QStringLiteral("Model: %1\nVersion: %2\nSerial number: %3")
                    .arg(s.MeterModel)
                    .arg(s.FirmwareVersion)
                    .arg(s.SerialNumber);
    return Done;
}

void MeterJob::startIdentify()
{
    Session& s = m_cli.session();
    modComFun::BuildCommand(s, 3, s.NodeAddress, 0, 0);
}

// Image read -----------------------------------------------------------------------------------

int MeterJob::read(const QString& path)
{
    // A file that cannot be written is found before the meter is asked for anything.
    const QFileInfo target(path);
    const QFileInfo folder(target.absolutePath());
    if (target.isDir() || !folder.isDir() || !folder.isWritable()) {
        m_message = QStringLiteral("cannot write %1: %2")
                        .arg(path, target.isDir() ? QStringLiteral("it is a folder")
                                                  : QStringLiteral("its folder does not exist or is not writable"));
        return CannotWrite;
    }
    const QString error = m_cli.openLink();
    if (!error.isEmpty()) {
        m_message = error;
        return PortFailed;
    }
    const int status = run(Mode::Read, &MeterJob::startRead);
    if (status != Done) {
        if (status == TransferStopped || status == NoAnswer) {
            if (m_message.endsWith(QLatin1Char('.')))
                m_message.chop(1);
            m_message += QStringLiteral("; %1 not written").arg(path);
        }
        return status;
    }

    // The image is whole: store it as the menu's store button does.
    frmConfig& cfg = m_cli.config();
    cfg.StoreFileName = path;
    m_cli.dialogs().messages.clear();
    if (!cfg.WriteSiteFile()) {
        const QStringList& said = m_cli.dialogs().messages;
        m_message = said.isEmpty() ? QStringLiteral("cannot write %1").arg(path) : said.last();
        return CannotWrite;
    }
    const Session& s = m_cli.session();
    m_message = QStringLiteral("Read the image of model %1, version %2, serial number %3 into %4")
                    .arg(s.MeterModel)
                    .arg(s.FirmwareVersion)
                    .arg(s.SerialNumber)
                    .arg(path);
    return Done;
}

void MeterJob::startRead()
{
    // Entering meter setup: the identification, whose answer asks for the image block by block.
    m_cli.session().windows().Start().imgSetup_Click();
}

// Image write ----------------------------------------------------------------------------------

int MeterJob::write(const QString& path)
{
    const SiteCheck check = CheckSiteFile(path);
    if (!check.sendable()) {
        m_message = check.reason + QStringLiteral("; nothing sent");
        return BadSiteFile;
    }
    frmConfig& cfg = m_cli.config();
    cfg.RecallFileName = path;
    m_cli.dialogs().messages.clear();
    if (!cfg.ReadSiteFile() || m_cli.session().ImageValid != 1) {
        const QStringList& said = m_cli.dialogs().messages;
        m_message = (said.isEmpty() ? QStringLiteral("%1 cannot be sent").arg(path) : said.last())
                    + QStringLiteral("; nothing sent");
        return BadSiteFile;
    }
    const QString error = m_cli.openLink();
    if (!error.isEmpty()) {
        m_message = error;
        return PortFailed;
    }
    const int status = run(Mode::Write, &MeterJob::startWrite);
    if (status != Done)
        return status;
    const Session& s = m_cli.session();
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

void MeterJob::startWrite()
{
    // The menu's send button: the image, encoded from the recalled cells, in 56-word blocks.
    m_cli.config().imgSendSite_Click();
}

// Following the exchange -----------------------------------------------------------------------

bool MeterJob::onAnswer(std::uint8_t code)
{
    if (m_finished || m_done)
        return true;
    ++m_answers;
    m_lastCode = code;
    if (m_answers > kAnswerLimit) {
        finish(TransferStopped, QStringLiteral("the meter kept answering without completing the transfer"));
        return true;
    }
    Session& s = m_cli.session();
    const frmCDR& link = m_cli.link();
    switch (m_mode) {
    case Mode::Identify:
        if (code == modComFun::Identify) {
            // The identification answer's bytes, as the start window takes them; the image read
            // that the window would ask for next is not wanted here.
            s.MeterModel = link.RxBuffer[4];
            s.FirmwareVersion = link.RxBuffer[5];
            s.SerialNumber = static_cast<std::uint16_t>(link.RxBuffer[6] + 256 * link.RxBuffer[7]);
            m_done = true;
        }
        return true;
    case Mode::Read:
        if (s.ImageValid == 1) {
            // The answer to the read request that follows the last block: the read is over.
            m_done = true;
            return true;
        }
        // The identification first, then the image blocks, each handled by the window tool.
        if (m_answers == 1)
            return code != modComFun::Identify;
        return code != modComFun::ReadImage;
    case Mode::Write: {
        // The block flag of the frame just sent: 2 marks the last block.
        const bool lastBlockSent = link.TxBuffer[1] == modComFun::WriteImage && link.TxBuffer[5] == 2;
        if (code == modComFun::WriteImage && !lastBlockSent)
            return false;
        m_finalCode = code;
        m_done = true;
        return true;
    }
    }
    return true;
}

void MeterJob::onLinkFailure(CliDialogs::LinkFailure kind, const QString& text)
{
    if (m_finished)
        return;
    const Session& s = m_cli.session();
    switch (kind) {
    case CliDialogs::LinkFailure::NoPort: {
        const QString why = m_cli.link().PortError;
        finish(PortFailed, why.isEmpty() ? QStringLiteral("cannot open %1").arg(device()) : CliDialogs::oneLine(why));
        return;
    }
    case CliDialogs::LinkFailure::LineError:
        // Errors of a port that stays open are left to the answer's CRC and the time-out.
        if (m_cli.link().MSComm1->isOpen())
            return;
        if (m_answers == 0)
            finish(PortFailed, text);
        else
            finish(TransferStopped, QStringLiteral("the transfer stopped: ") + text);
        return;
    case CliDialogs::LinkFailure::TimeOut:
        break;
    }
    if (m_mode == Mode::Read && s.ImageValid == 1) {
        // Only the answer after the last block went missing: the image itself is whole.
        m_done = true;
        return;
    }
    if (m_answers == 0) {
        finish(NoAnswer, QStringLiteral("no answer from the meter on %1 within %2 s")
                             .arg(device())
                             .arg(frmCDR::kResponseMs / 1000));
        return;
    }
    switch (m_mode) {
    case Mode::Identify:
        finish(NoAnswer, QStringLiteral("no identification from the meter on %1 within %2 s")
                             .arg(device())
                             .arg(frmCDR::kResponseMs / 1000));
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
    if (link.tmrTimeOut->isActive() || link.RxCount != 0 || waiting) {
        m_quiet.invalidate();
        return;
    }
    if (!m_quiet.isValid()) {
        m_quiet.start();
        return;
    }
    if (m_quiet.elapsed() < kQuietMs)
        return;

    // Nothing is awaited and the line has stayed quiet since the last answer.
    if (m_done) {
        finish(Done, {});
        return;
    }
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
