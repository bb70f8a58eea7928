// Any bytes as an answer the meter assembled, for every function code, through the answer routes
// into the window tool's handlers: identity, image read and write blocks, live data, diagnostics,
// waveform blocks and the plot mark, zero, trim acknowledgements.
//
// Input byte 0 picks what the tool was waiting for when the answer came (nothing, an image read,
// an image write, a zero, a trim step, a waveform download, a diagnostics poll); the rest is the
// answer after its node byte: function code first. The node is the tool's and the CRC is made
// good, so every input reaches its handler. Whatever arrives, nothing reads or writes outside a
// buffer (the sanitizers), and the image never claims more bytes than it holds.

#include "fuzzsupport.h"
#include "analogio/frmTrim.h"
#include "app/windowtool.h"
#include "channel/frmZero.h"
#include "engine/imagetransfer.h"
#include "engine/session.h"
#include "link/commands.h"
#include "link/modComFun.h"
#include "monitor/frmLogdiag.h"
#include "monitor/frmplt.h"
#include "platform/fakeserialdevice.h"
#include "startup/frmStart.h"

#include <QApplication>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdint>
#include <memory>

namespace {

Session* session = nullptr;
FakeSerialDevice* port = nullptr;

// Puts the tool in the state in which it waits for an answer of the chosen kind.
void prepare(std::uint8_t mode)
{
    Session& s = *session;
    WindowRegistry& w = s.windows();
    switch (mode % 7) {
    case 1:
        s.ImageLength = 0;
        s.ImageValid = 0;
        modBinaryRW::StartImageRead(s);
        break;
    case 2:
        s.ImageLength = modComFun::kImageBytes;
        s.ImageValid = 1;
        modBinaryRW::StartImageWrite(s);
        break;
    case 3: {
        frmZero& zero = w.get<frmZero>();
        zero.Set_Form();
        zero.imgCheck_Click();
        break;
    }
    case 4: {
        frmTrim& trim = w.get<frmTrim>();
        trim.TrimInput(mode & 0x10 ? 1 : 0, mode & 0x20 ? 1 : 2);
        trim.imgInc_Click(0);
        break;
    }
    case 5:
        w.get<frmplt>().RequestSignals();
        break;
    case 6:
        w.get<frmLogdiag>().tmrUpDate_Timer();
        break;
    default:
        break;
    }
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv)
{
    static QTemporaryDir home;
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(home.path()));
    qputenv("QT_QPA_PLATFORM", "offscreen");
    // The windows' platform notices (raise, keyboard grab) would be printed on every input.
    qInstallMessageHandler([](QtMsgType, const QMessageLogContext&, const QString&) {});
    // Made once and kept to the end of the process: the run ends by exit(), with no teardown.
    new QApplication(*argc, *argv);
    session = new Session(std::make_unique<NoDialogs>(DialogService::Answer::No), [](const SettingsStore&) -> std::unique_ptr<SerialDevice> {
        auto p = std::make_unique<FakeSerialDevice>();
        port = p.get();
        return p;
    });
    InstallWindowTool(*session);
    session->windows().get<frmStart>(); // the start-up tables
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size < 2)
        return 0;
    prepare(data[0]);
    frmCDR& link = session->link();
    // The node, the input's answer bytes, and a good CRC, as the link assembles it.
    const std::size_t body = std::min<std::size_t>(size - 1, modComFun::kBufferSize - 3);
    link.RxBuffer[0] = session->NodeAddress;
    std::copy(data + 1, data + 1 + body, link.RxBuffer.begin() + 1);
    modComFun::AppendCrc(link.RxBuffer.data(), 1 + body);
    link.RxCount = static_cast<std::uint16_t>(body + 3);
    modComFun::HandleResponse(link);
    // The requests the handlers sent are not kept, and what the windows posted (repaints, show
    // and hide events) is delivered now rather than piling up without an event loop.
    if (port)
        port->writes.clear();
    QCoreApplication::sendPostedEvents();
    require(session->ImageLength <= modData::ParamImageSize);
    return 0;
}
