#pragma once
// The process-wide state of one run: the session variables every window reads and writes (the
// parameter image and its cells, the unit tables and item lists among them), the services the
// windows use (dialogs, settings, serial port), the link with its answer routes, and the window
// registry. It knows no window type and needs no widget: the command-line companion runs on it
// as the window tool does.

#include "engine/windowregistry.h"
#include "link/answerroutes.h"
#include "link/frmCDR.h"
#include "meterdata/modData.h"
#include "meterdata/modLabels.h"

#include <QObject>
#include <QPointer>

#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

class DialogService;
class QDialog;
class SerialDevice;
class SettingsStore;

class Session : public QObject, public modData::MeterData, public modLabels::UnitTables, public LinkVars {
    Q_OBJECT
public:
    using SerialFactory = std::function<std::unique_ptr<SerialDevice>(const SettingsStore&)>;

    // The real serial port unless a factory is given; dialogs are required.
    explicit Session(std::unique_ptr<DialogService> dialogs, SerialFactory serialFactory = {});
    ~Session() override;

    // The start-up sequence's tables: CRC table, access code and node, item lists, unit tables,
    // transducer defaults, ImageValid = 0, the cell map.
    void StartUp();

    // Session variables (NodeAddress and AccessCode come with LinkVars).
    std::int16_t Language = 1;
    std::uint8_t OfflineMode = 0; // 6 while working without a meter
    std::uint8_t MeterModel = 0;
    std::uint8_t FirmwareVersion = 0;
    std::uint16_t SerialNumber = 0;
    std::int16_t ImageChecksum = 0;
    std::uint8_t ImageValid = 0;
    // 1 from the moment a monitoring poll is sent until its answer has been handled; shared by the
    // live data log and the diagnostics log.
    std::int16_t PollBusy = 0;

    static constexpr std::uint8_t kOffline = 6;

    // The image transfer in progress: the ticket of its request now on the line or held (0 for
    // none). Only the answer to that very request carries the transfer on; an answer to an
    // earlier one is stale. Closing: the request after the last block is out.
    std::uint64_t ReadTicket = 0;
    bool ReadClosing = false;
    // Blocks of an earlier read the meter was still giving, passed over by the read in progress.
    int ReadPassedOver = 0;
    std::uint64_t WriteTicket = 0;
    bool WriteClosing = false;
    // Grows with each EndTransfers.
    std::uint64_t TransferEpoch = 0;
    // How an image write ended.
    enum class WriteOutcome { Confirmed, Refused, NotConfirmed };
    Q_ENUM(WriteOutcome)
    // Ends the image read or write in progress (a time-out, a failed send, "Work Offline?", a
    // recall, a new transfer): answers still owed to it change nothing.
    void EndTransfers();

    // The image as the cells last matched it: kept when an image has been read completely,
    // recalled, stored to a site file or sent; empty before the first.
    std::vector<std::uint8_t> KeptImage;
    void KeepImage();
    // Whether the cells hold edits that could still go to the meter (ImageValid 1) and that the
    // kept image does not hold: the cells are encoded into a scratch copy of the kept image,
    // never into ParamImage, and compared with it.
    bool UnsentEdits() const;

    DialogService& dialogs() { return *m_dialogs; }
    SettingsStore& settings() { return *m_settings; }
    WindowRegistry& windows() { return m_windows; }
    AnswerRoutes& routes() { return m_routes; }

    // The link, created on first use (the first request, the port settings, the program's end)
    // with the stored port preferences.
    frmCDR& link();
    bool hasLink() const { return m_link != nullptr; }
    // Runs f with the link once it exists (at once when it does), unless context is gone by
    // then: how the windows connect to the link's signals without creating it early.
    void onLink(QObject* context, std::function<void(frmCDR&)> f);

    // Ends the program (the start window's unload, once the port is closed). main connects it to
    // the application's quit; the tests record it.
    std::function<void()> endProgram;
    // Runs a modal dialog of the window tool; unset, the dialog runs its own event loop (exec).
    // The tests drive the dialog here instead of waiting on it.
    std::function<void(QDialog&)> runModal;
    bool programEnded = false;
    void EndProgram();

signals:
    // The image read is complete: ImageValid is 1 and offline mode has ended.
    void imageComplete();
    // The image write has ended: confirmed (37), refused (93 or 86) or not confirmed (no answer,
    // or ended by another transfer); code is the meter's closing answer, 0 for none.
    void imageWriteEnded(Session::WriteOutcome outcome, int code);
    // A block of the image write has left: block of blocks (13 for a whole image).
    void imageBlockSent(int block, int blocks);
    // Send was asked for and nothing went to the meter; why, in the user's words.
    void imageNotSent(const QString& why);

private:
    std::unique_ptr<DialogService> m_dialogs;
    std::unique_ptr<SettingsStore> m_settings;
    SerialFactory m_serialFactory;
    AnswerRoutes m_routes;
    std::unique_ptr<frmCDR> m_link;
    std::vector<std::pair<QPointer<QObject>, std::function<void(frmCDR&)>>> m_linkWatchers;
    // Declared last, so the windows go first: they refer to the link and the services.
    WindowRegistry m_windows;
};
