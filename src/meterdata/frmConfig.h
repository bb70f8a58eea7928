#pragma once
// The configuration menu: gates the setup windows on a complete parameter image, shows the meter's
// identity and the image checksum, and offers reload, store, recall, send and print.

#include "platform/picturebutton.h"

#include <QWidget>
#include <cstdint>

class QLabel;
class QPushButton;
class Session;

class frmConfig : public QWidget {
    Q_OBJECT
public:
    explicit frmConfig(Session& session, QWidget* parent = nullptr);
    ~frmConfig() override;

    void SetLang(std::int16_t iLang);
    void Lock_input();
    void Free_input();

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
    QLabel* lblModel = nullptr;
    QLabel* lblSoftVer = nullptr;
    QLabel* lblSN = nullptr;
    QLabel* lblChecksum = nullptr;

    // The file names chosen for store and recall.
    QString StoreFileName;
    QString RecallFileName;

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void buildControls();
    void Form_Load();
    // Store and send are shown only while the menu is unlocked with an image; send only while
    // that image can go to the meter.
    void showSiteButtons(bool shown) { showSiteButtons(shown, shown); }
    void showSiteButtons(bool store, bool send);
    void setSetupEnabled(bool enabled);

    Session& m_session;
    bool m_storeShown = false;
    bool m_sendShown = false;
    QString m_printFileName;
};
