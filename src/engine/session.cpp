#include "engine/session.h"

#include "meterdata/modBinaryRW.h"
#include "platform/dialogservice.h"
#include "platform/qtserialdevice.h"
#include "platform/settingsstore.h"

#include <algorithm>

Session::Session(std::unique_ptr<DialogService> dialogs, SerialFactory serialFactory)
    : m_dialogs(std::move(dialogs)),
      m_settings(std::make_unique<SettingsStore>()),
      m_serialFactory(std::move(serialFactory)),
      m_windows(*this)
{
    if (!m_serialFactory) {
        m_serialFactory = [](const SettingsStore& store) -> std::unique_ptr<SerialDevice> {
            return std::make_unique<QtSerialDevice>(store);
        };
    }
    // Whoever takes a complete image into the cells (the menu, or the window tool with the menu
    // hidden) takes exactly these bytes.
    connect(this, &Session::imageComplete, this, &Session::KeepImage);
}

Session::~Session()
{
    // Windows go first: they refer to the link and the services; the link closes its port.
    m_windows.clear();
    m_link.reset();
}

void Session::StartUp()
{
    modComFun::BuildCrcTable();
    AccessCode = modComFun::kAccessCode;
    NodeAddress = modComFun::kPollNode;
    modLabels::FillItemLists(*this);
    modLabels::FillUnitTables(*this);
    modData::FillTransducerDefaults(*this);
    ImageValid = 0;
    modBinaryRW::BuildCellMap(*this);
}

frmCDR& Session::link()
{
    if (!m_link) {
        m_link = std::make_unique<frmCDR>(*this, m_routes, *m_settings, *m_dialogs, m_serialFactory(*m_settings));
        // The user chose to work offline: operations that need the meter refuse from now on.
        connect(m_link.get(), &frmCDR::offlineChoice, this, [this](frmCDR::Failure, bool workOffline) {
            EndTransfers();
            if (workOffline)
                OfflineMode = kOffline;
        });
        // A transfer whose request went unanswered or never left is over.
        connect(m_link.get(), &frmCDR::timedOut, this, &Session::EndTransfers);
        connect(m_link.get(), &frmCDR::sendFailed, this, &Session::EndTransfers);
        connect(m_link.get(), &frmCDR::programEnds, this, &Session::EndProgram);
        // Each block of an image write as it leaves: the last one has block flag 2; before it,
        // WordsSent counts the full blocks out so far.
        connect(m_link.get(), &frmCDR::requestSent, this, [this] {
            const frmCDR::Exchange& x = m_link->outstanding();
            if (x.code != modComFun::WriteImage)
                return;
            const int blocks = ImageLength / 2 / modBinaryRW::ImageChunkWords + 1;
            const int block = x.flag == 2 ? blocks : std::max(1, WordsSent / modBinaryRW::ImageChunkWords);
            emit imageBlockSent(block, blocks);
        });
        for (const auto& [context, f] : m_linkWatchers) {
            if (context)
                f(*m_link);
        }
    }
    return *m_link;
}

void Session::EndTransfers()
{
    ++TransferEpoch;
    // A request of the ended transfer that still waits its turn never goes out.
    if (m_link) {
        for (std::uint64_t t : {ReadTicket, WriteTicket})
            if (t != 0)
                m_link->cancelHeld(t);
    }
    ReadTicket = 0;
    ReadClosing = false;
    if (WriteTicket != 0) {
        WriteTicket = 0;
        WriteClosing = false;
        emit imageWriteEnded(WriteOutcome::NotConfirmed, 0);
    }
}

void Session::KeepImage()
{
    KeptImage.assign(ParamImage.begin(), ParamImage.end());
}

bool Session::UnsentEdits() const
{
    if (ImageValid != 1 || KeptImage.size() != ParamImage.size())
        return false;
    modData::MeterData scratch = *this;
    std::copy(KeptImage.begin(), KeptImage.end(), scratch.ParamImage.begin());
    modBinaryRW::EncodeImage(scratch);
    return !std::equal(KeptImage.begin(), KeptImage.end(), scratch.ParamImage.begin());
}

void Session::onLink(QObject* context, std::function<void(frmCDR&)> f)
{
    if (m_link)
        f(*m_link);
    else
        m_linkWatchers.emplace_back(context, std::move(f));
}

void Session::EndProgram()
{
    programEnded = true;
    if (endProgram)
        endProgram();
}
