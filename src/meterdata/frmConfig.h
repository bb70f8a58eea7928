#pragma once
// The configuration menu: gates the setup windows on a complete parameter image, shows the meter's
// identity and the image checksum, and offers reload, store, recall, send and print. While the
// image is read it shows how far the read is and lets the user stop it; it marks edits neither
// sent nor stored, and offline work.

#include "platform/picturebutton.h"

#include <QWidget>
#include <cstdint>

class QLabel;
class QPushButton;
class QTimer;
class Session;

class frmConfig : public QWidget {
    Q_OBJECT
public:
    explicit frmConfig(Session& session, QWidget* parent = nullptr);
    ~frmConfig() override;

    void SetLang(std::int16_t iLang);
    void Lock_input();
    void Free_input();

    // The image read as the menu shows it: meter setup is asking the meter who it is, or the
    // image read request is going out (after the identification, or a reload).
    void IdentifyStarted();
    void ReadStarted();
    // Asks once, when the cells hold edits neither sent nor stored, whether `action` (which
    // replaces them) may go on; true to go on.
    bool MayReplaceEdits(const QString& action);
    static constexpr const char* kReadAction = "Reading the meter's configuration";
    static constexpr const char* kRecallAction = "Recalling a site file";

    // Site files. WriteSiteFile encodes the cells and replaces StoreFileName with the image;
    // ReadSiteFile takes RecallFileName into the image and unlocks the menu with it (the image
    // becomes sendable only when the file is whole and its checksum matches). Both return false,
    // after telling the user, when the file cannot be written or read; ReadSiteFile also returns
    // false for a file too long for the image, which leaves the menu as it was.
    bool WriteSiteFile();
    bool ReadSiteFile();

    // Control handlers.
    void imgBack_Click();
    void imgGlobal_Click();
    void imgChannel_Click();
    void imgCal_Click();
    void imgZero_Click();
    void imgLogic_Click();
    void ImgRespns_Click();
    void imgCurent_Click();
    void imgPLC_Click();
    void imgReload_Click();
    void imgCKreload_Click();
    void imgStore_Click();
    void imgRecall_Click();
    void imgSendSite_Click();
    void cmdPrint_Click();
    // Asks for a site file and shows how the cells now in the menu differ from it.
    void cmdCompare_Click();
    void cmdStopRead_Click();
    void Form_Unload();

    LanguageArray imgGlobal;
    LanguageArray imgChannel;
    LanguageArray imgSendSite;
    LanguageArray imgStore;
    LanguageArray imgRecall;
    PictureButton* imgCal = nullptr;
    PictureButton* imgZero = nullptr;
    PictureButton* imgLogic = nullptr;
    PictureButton* imgCurent = nullptr;
    PictureButton* imgPLC = nullptr;
    PictureButton* ImgRespns = nullptr;
    PictureButton* imgReload = nullptr;
    PictureButton* imgCKreload = nullptr;
    PictureButton* imgBack = nullptr;
    QPushButton* cmdPrint = nullptr;
    QPushButton* cmdCompare = nullptr;
    QLabel* lblModel = nullptr;
    QLabel* lblSoftVer = nullptr;
    QLabel* lblSN = nullptr;
    QLabel* lblChecksum = nullptr;
    // The read in progress and its outcome, with the identity the meter gave.
    QLabel* lblReadState = nullptr;
    QPushButton* cmdStopRead = nullptr;
    // Shown while the cells hold edits neither sent nor stored.
    QLabel* lblUnsent = nullptr;
    // OFFLINE while working without a meter, and the site file the image came from.
    QLabel* lblWorkState = nullptr;

    // The file names chosen for store and recall.
    QString StoreFileName;
    QString RecallFileName;

protected:
    void closeEvent(QCloseEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    void buildControls();
    void Form_Load();
    // Store and send are shown only while the menu is unlocked with an image; send only while
    // that image can go to the meter.
    void showSiteButtons(bool shown) { showSiteButtons(shown, shown); }
    void showSiteButtons(bool store, bool send);
    void setSetupEnabled(bool enabled);
    // The read, unsent-edits and work-state lines as the session now stands; queued, so that it
    // sees the state after the answer or failure being handled.
    void refreshState();
    void queueRefresh();
    QString readText() const;
    QString workText() const;

    Session& m_session;
    bool m_storeShown = false;
    bool m_sendShown = false;
    QString m_printFileName;
    QString m_compareFileName;

    enum class ReadState { None, Identifying, Reading, Complete, Stopped, Failed };
    ReadState m_read = ReadState::None;
    bool m_failedIdentifying = false;
    struct Identity {
        bool known = false;
        std::uint8_t model = 0, version = 0;
        std::uint16_t serial = 0;
    } m_identity;
    // Where the image in the cells came from: a site file (its name), or not.
    bool m_fromFile = false;
    QString m_sourceFile;
    bool m_refreshQueued = false;
    QTimer* m_refreshTimer = nullptr;
};
