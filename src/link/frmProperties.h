#pragma once
// The port settings dialog "CommPort Properties": shows the state of the link's port, applies the
// user's choice of port, line settings and flow control to it at once, and stores the choice under
// "Properties", from which the link restores it when it is next created. Beside the port list it
// shows the device the chosen entry opens, and lets the user map the entry to a detected serial
// device or to a typed path ("Ports/Com<n>"), stored with the other keys.

#include <QDialog>
#include <QMap>
#include <QString>

#include <array>

class DialogService;
class QCheckBox;
class QComboBox;
class QFrame;
class QLabel;
class QPushButton;
class QRadioButton;
class QTabWidget;
class SettingsStore;
class frmCDR;

class frmProperties : public QDialog {
    Q_OBJECT
public:
    frmProperties(frmCDR& link, SettingsStore& settings, DialogService& dialogs, QWidget* parent = nullptr);
    ~frmProperties() override;

    // Fills the lists and shows the port's current state.
    void LoadPropertySettings();

    void cmdOK_Click();
    void cmdCancel_Click();
    void optFlow_Click(int index);
    void optEcho_Click(int index);
    void cboPort_Click();

    // The device the port-list entry opens: the one mapped in this dialog (emptied there: the
    // system's order), else the stored one, else the system's order.
    QString deviceForPort(int port) const;

    QTabWidget* tabSettings = nullptr;
    QFrame* fraSettings = nullptr;
    QComboBox* cboPort = nullptr;
    QComboBox* cboDevice = nullptr; // editable: a detected device or a typed path
    QLabel* lblDevice = nullptr;    // what is known of that device
    QComboBox* cboSpeed = nullptr;
    QComboBox* cboDataBits = nullptr;
    QComboBox* cboParity = nullptr;
    QComboBox* cboStopBits = nullptr;
    std::array<QRadioButton*, 4> optFlow{};
    std::array<QRadioButton*, 2> optEcho{};
    QCheckBox* chkEarlyEnd = nullptr; // "Early end of answer"
    QPushButton* cmdOK = nullptr;
    QPushButton* cmdCancel = nullptr;

    // The dialog values: the chosen handshaking code and the echo flag.
    int Handshaking = 0;
    bool EchoOn = false;

private:
    void buildControls();
    void Form_Load();
    // Tells what is known of the device the chosen entry opens.
    void showDevice(const QString& device);
    void cboDevice_Edited(const QString& text);
    void portFailed(const QString& error);
    // Writes the mappings chosen here into the store; returns the values they replace.
    QMap<int, QString> storeMappings();
    void restoreMappings(const QMap<int, QString>& previous);

    frmCDR& m_link;
    SettingsStore& m_settings;
    DialogService& m_dialogs;
    // Port number -> device path chosen in this dialog (empty: the system's order).
    QMap<int, QString> m_mapped;
    bool m_showing = false;
};
