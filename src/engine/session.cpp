#include "engine/session.h"

#include "meterdata/modBinaryRW.h"
#include "platform/dialogservice.h"
#include "platform/qtserialdevice.h"
#include "platform/settingsstore.h"

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
