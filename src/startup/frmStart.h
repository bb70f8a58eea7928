#pragma once
// The start window: runs the start-up sequence, offers the language choice, the serial port
// settings and the three work areas, and identifies the meter on the way into meter setup.

#include "platform/picturebutton.h"

#include <QWidget>
#include <array>
#include <cstdint>

class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class Session;
class Shape;

class frmStart : public QWidget {
    Q_OBJECT
public:
    static constexpr int kColourYellow = 65535;
    static constexpr int kColourGreen = 65280;

    explicit frmStart(Session& session, QWidget* parent = nullptr);
    ~frmStart() override;

    // Answer of the identification request (function code 34).
    void RcvID();
    // Shows the pictures of language L in the places of index 0.
    void LayoutLanguage(std::int16_t L);
    // Opens the port settings dialog modally (the serial setup button, and "No Com Port Found"
    // answered No).
    void OpenPortSettings();
    // Fills the link indicator.
    void SetLinkColour(int colourValue);

    // Control handlers.
    void imgSetup_Click();
    void imgLogdata_Click();
    void imgDiagnostics_Click();
    void imgSerialSetup_Click();
    void imgLang_Click(int index);
    void optRS232_Click();
    void optRs485_Click();
    // The node list: on RS-485 the node chosen is the address of every request ("Poll!" = 17).
    void cmbNode_Click();
    // Chooses node 1..16 (any other: the Poll node) in the node list, as a pick would.
    void SelectNode(int node);
    void cmdFindMeters_Click();
    void cmdLineMonitor_Click();
    void txtPin_Click();
    void Form_Unload(std::int16_t& Cancel);

    LanguageArray imgSetup;
    LanguageArray imgLogdata;
    LanguageArray imgDiagnostics;
    std::array<PictureButton*, 3> imgLang{};
    PictureButton* imgSerialSetup = nullptr;
    QLabel* Imgtitle = nullptr;
    QRadioButton* optRS232 = nullptr;
    QRadioButton* optRs485 = nullptr;
    QComboBox* cmbNode = nullptr;
    QPushButton* cmdFindMeters = nullptr; // beside the node list, on RS-485
    QPushButton* cmdLineMonitor = nullptr;
    QLineEdit* txtMeterID = nullptr;
    QLineEdit* txtPin = nullptr;
    Shape* shpXmit = nullptr;
    QLabel* lblTerms = nullptr;
    // The image write sent from the configuration menu: its progress, then its outcome.
    QLabel* lblSendState = nullptr;

    static constexpr const char* kDefaultPin = "1234";

protected:
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void buildControls();
    void Form_Load();

    // The last block of the image write that left, of how many.
    int m_blockSent = 0;
    int m_blocks = 0;

    Session& m_session;
};
