#include "link/frmProperties.h"

#include "link/frmCDR.h"
#include "platform/dialogservice.h"
#include "platform/portnames.h"
#include "platform/serialdevice.h"
#include "platform/settingsstore.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFileInfo>
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QTabWidget>
#include <QVBoxLayout>

namespace {
const QString kProperties = QStringLiteral("Properties");
constexpr int kPorts = 16;

template <typename W>
W* named(W* w, const char* name)
{
    w->setObjectName(QString::fromLatin1(name));
    return w;
}

// Selects the entry of that text; a text the list lacks is added at its end, so that OK without
// changes keeps what the port has.
void selectText(QComboBox* box, const QString& text)
{
    int i = box->findText(text);
    if (i < 0) {
        box->addItem(text);
        i = box->count() - 1;
    }
    box->setCurrentIndex(i);
}
} // namespace

frmProperties::frmProperties(frmCDR& link, SettingsStore& settings, DialogService& dialogs, QWidget* parent)
    : QDialog(parent), m_link(link), m_settings(settings), m_dialogs(dialogs)
{
    setObjectName(QStringLiteral("frmProperties"));
    setWindowTitle(QStringLiteral("CommPort Properties"));
    setModal(true);
    buildControls();
    Form_Load();
}

frmProperties::~frmProperties() = default;

void frmProperties::buildControls()
{
    tabSettings = named(new QTabWidget(this), "tabSettings");
    fraSettings = named(new QFrame, "fraSettings");
    tabSettings->addTab(fraSettings, QStringLiteral("Settings"));

    // The port, and the device its entry opens.
    cboPort = named(new QComboBox, "cboPort");
    cboDevice = named(new QComboBox, "cboDevice");
    cboDevice->setEditable(true);
    cboDevice->setInsertPolicy(QComboBox::NoInsert);
    cboDevice->setCompleter(nullptr); // a typed path is taken as typed
    cboDevice->setMinimumContentsLength(28);
    cboDevice->setToolTip(QStringLiteral("The device this port opens: choose a detected one, or type a path"));
    lblDevice = named(new QLabel, "lblDevice");
    lblDevice->setWordWrap(true);
    auto* portRow = new QHBoxLayout;
    auto* lblPort = named(new QLabel(QStringLiteral("Port:")), "lblPort");
    lblPort->setBuddy(cboPort);
    portRow->addWidget(lblPort);
    portRow->addWidget(cboPort);
    portRow->addWidget(cboDevice, 1);

    auto* fraSpeed = named(new QGroupBox(QStringLiteral("Maximum Speed")), "fraSpeed");
    cboSpeed = named(new QComboBox, "cboSpeed");
    (new QVBoxLayout(fraSpeed))->addWidget(cboSpeed);

    auto* fraLine = named(new QGroupBox(QStringLiteral("Connection Preferences")), "fraConnection");
    auto* line = new QFormLayout(fraLine);
    cboDataBits = named(new QComboBox, "cboDataBits");
    cboParity = named(new QComboBox, "cboParity");
    cboStopBits = named(new QComboBox, "cboStopBits");
    line->addRow(QStringLiteral("Data Bits:"), cboDataBits);
    line->addRow(QStringLiteral("Parity:"), cboParity);
    line->addRow(QStringLiteral("Stop Bits:"), cboStopBits);

    // An option-button array in its frame: name_index, each click handled with its index.
    auto options = [this](QGroupBox* frame, const char* name, std::initializer_list<const char*> texts, auto& array,
                          void (frmProperties::*click)(int)) {
        auto* column = new QVBoxLayout(frame);
        int i = 0;
        for (const char* text : texts) {
            auto* b = new QRadioButton(QString::fromLatin1(text));
            b->setObjectName(QStringLiteral("%1_%2").arg(QLatin1String(name)).arg(i));
            connect(b, &QRadioButton::clicked, this, [this, click, i] { (this->*click)(i); });
            column->addWidget(b);
            array[static_cast<std::size_t>(i++)] = b;
        }
        return column;
    };
    auto* fraFlow = named(new QGroupBox(QStringLiteral("&Flow Control")), "fraFlow");
    options(fraFlow, "optFlow", {"None", "Xon/Xoff", "RTS", "Xon/RTS"}, optFlow, &frmProperties::optFlow_Click);
    auto* fraEcho = named(new QGroupBox(QStringLiteral("&Echo")), "fraEcho");
    QVBoxLayout* echo = options(fraEcho, "optEcho", {"Off", "On"}, optEcho, &frmProperties::optEcho_Click);
    echo->addStretch();

    chkEarlyEnd = named(new QCheckBox(QStringLiteral("Early end of a&nswer")), "chkEarlyEnd");
    chkEarlyEnd->setToolTip(QStringLiteral(
        "Take an answer whose check sum is right after 3.5 characters of silence instead of 50 ms: faster "
        "transfers and polls. An answer that is not whole yet still waits the 50 ms. Leave it off for a meter "
        "that pauses inside its answers for longer."));

    auto* grid = new QGridLayout(fraSettings);
    grid->addLayout(portRow, 0, 0, 1, 2);
    grid->addWidget(lblDevice, 1, 0, 1, 2);
    grid->addWidget(fraSpeed, 2, 0);
    grid->addWidget(fraLine, 3, 0);
    grid->addWidget(fraFlow, 2, 1, 2, 1);
    grid->addWidget(chkEarlyEnd, 4, 0, Qt::AlignTop);
    grid->addWidget(fraEcho, 4, 1);

    cmdOK = named(new QPushButton(QStringLiteral("OK")), "cmdOK");
    cmdOK->setDefault(true);
    cmdCancel = named(new QPushButton(QStringLiteral("Cancel")), "cmdCancel");
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(cmdOK);
    buttons->addWidget(cmdCancel);
    auto* all = new QVBoxLayout(this);
    all->addWidget(tabSettings);
    all->addLayout(buttons);

    connect(cmdOK, &QPushButton::clicked, this, &frmProperties::cmdOK_Click);
    connect(cmdCancel, &QPushButton::clicked, this, &frmProperties::cmdCancel_Click);
    connect(cboPort, &QComboBox::currentIndexChanged, this, &frmProperties::cboPort_Click);
    connect(cboDevice, &QComboBox::editTextChanged, this, &frmProperties::cboDevice_Edited);
    // A detected device is listed with what is known of it; once chosen, the box holds its path.
    connect(cboDevice, &QComboBox::activated, this, [this](int i) {
        cboDevice->setEditText(cboDevice->itemData(i).toString());
    });
}

void frmProperties::Form_Load()
{
    adjustSize();
    if (const QScreen* s = screen())
        move(s->availableGeometry().center() - rect().center());
    // The frame fills the tab strip's client area, in front.
    fraSettings->raise();
    LoadPropertySettings();
}

void frmProperties::LoadPropertySettings()
{
    SerialDevice& port = *m_link.MSComm1;
    m_showing = true;
    for (int i = 1; i <= kPorts; ++i)
        cboPort->addItem(QStringLiteral("Com%1").arg(i), i);
    for (const char* s : {"110", "300", "600", "1200", "2400", "4800", "9600", "14400", "19200", "28800", "38400", "56000",
                          "57600", "115200", "128000", "256000"})
        cboSpeed->addItem(QString::fromLatin1(s));
    for (const char* s : {"4", "5", "6", "7", "8"})
        cboDataBits->addItem(QString::fromLatin1(s));
    for (const char* s : {"Even", "Odd", "None", "Mark", "Space"})
        cboParity->addItem(QString::fromLatin1(s));
    for (const char* s : {"1", "1.5", "2"})
        cboStopBits->addItem(QString::fromLatin1(s));
    for (const portnames::DetectedDevice& d : portnames::detectedDevices())
        cboDevice->addItem(d.description.isEmpty() ? d.path : QStringLiteral("%1  (%2)").arg(d.path, d.description),
                           d.path);

    // "9600,n,8,1": the fields counted from the end; "1.5" stop bits take two more characters.
    const QString s = port.settings();
    const int k = s.contains(QLatin1Char('.')) ? 2 : 0;
    const int n = static_cast<int>(s.size());
    if (n >= 7 + k) {
        selectText(cboSpeed, s.left(n - 6 - k));
        const int parity = QStringLiteral("eonms").indexOf(s.at(n - 5 - k));
        if (parity >= 0)
            cboParity->setCurrentIndex(parity);
        selectText(cboDataBits, s.mid(n - 3 - k, 1));
        selectText(cboStopBits, s.right(k + 1));
    }

    // A port number beyond the list gets an entry of its own rather than no selection.
    const int number = port.portNumber();
    int entry = cboPort->findData(number);
    if (entry < 0) {
        cboPort->addItem(QStringLiteral("Com%1").arg(number), number);
        entry = cboPort->count() - 1;
    }
    cboPort->setCurrentIndex(entry);
    Handshaking = port.handshaking();
    if (Handshaking >= 0 && Handshaking < 4)
        optFlow[static_cast<std::size_t>(Handshaking)]->setChecked(true);
    optEcho[0]->setChecked(true);
    EchoOn = false;
    chkEarlyEnd->setChecked(m_link.EarlyEnd);
    m_showing = false;
    cboPort_Click();
}

QString frmProperties::deviceForPort(int port) const
{
    const auto it = m_mapped.constFind(port);
    if (it == m_mapped.constEnd())
        return portnames::deviceForPort(port, m_settings);
    if (!it->isEmpty())
        return *it;
    // Emptied here: the system's order decides, whatever was stored.
    const QList<portnames::DetectedDevice> devices = portnames::detectedDevices();
    return port >= 1 && port <= devices.size() ? devices.at(port - 1).path : QString();
}

void frmProperties::cboPort_Click()
{
    if (m_showing)
        return;
    const QString device = deviceForPort(cboPort->currentData().toInt());
    m_showing = true;
    cboDevice->setEditText(device);
    m_showing = false;
    showDevice(device);
}

void frmProperties::showDevice(const QString& device)
{
    const QString name = cboPort->currentText();
    const int listed = device.isEmpty() ? -1 : cboDevice->findData(device);
    if (device.isEmpty())
        lblDevice->setText(QStringLiteral("No serial device is known for %1: plug in the adapter, or choose or type "
                                          "the device it opens.").arg(name));
    else if (listed >= 0)
        lblDevice->setText(QStringLiteral("%1 opens %2").arg(name, cboDevice->itemText(listed)));
    else if (QFileInfo::exists(device))
        lblDevice->setText(QStringLiteral("%1 opens %2").arg(name, device));
    else
        lblDevice->setText(QStringLiteral("%1 opens %2, which is not present now.").arg(name, device));
}

void frmProperties::cboDevice_Edited(const QString& text)
{
    if (m_showing)
        return;
    // An entry the user empties goes back to the system's order.
    const int port = cboPort->currentData().toInt();
    m_mapped[port] = text.trimmed();
    showDevice(deviceForPort(port));
}

void frmProperties::optFlow_Click(int index)
{
    Handshaking = index;
}

void frmProperties::optEcho_Click(int index)
{
    EchoOn = index == 1;
}

QMap<int, QString> frmProperties::storeMappings()
{
    QMap<int, QString> previous;
    for (auto it = m_mapped.constBegin(); it != m_mapped.constEnd(); ++it) {
        previous.insert(it.key(), m_settings.value(portnames::sectionName(), portnames::keyFor(it.key())));
        m_settings.setValue(portnames::sectionName(), portnames::keyFor(it.key()), *it);
    }
    return previous;
}

void frmProperties::restoreMappings(const QMap<int, QString>& previous)
{
    for (auto it = previous.constBegin(); it != previous.constEnd(); ++it)
        m_settings.setValue(portnames::sectionName(), portnames::keyFor(it.key()), *it);
}

void frmProperties::portFailed(const QString& error)
{
    m_dialogs.message(error, QString(), DialogService::Buttons::OK, DialogService::Icon::Exclamation);
}

void frmProperties::cmdOK_Click()
{
    SerialDevice& port = *m_link.MSComm1;
    QString error;
    // The port opens its device through the store: the mappings chosen here must be there first,
    // and go again if OK fails.
    const QMap<int, QString> previous = storeMappings();

    // 1. The port: closed and opened again on the new number (or the new device of its number).
    const int oldPort = port.portNumber();
    const int newPort = cboPort->currentData().toInt();
    const bool wasOpen = port.isOpen();
    const bool remapped = wasOpen && m_mapped.contains(newPort) && deviceForPort(newPort) != port.deviceName();
    if (newPort != oldPort || remapped) {
        if (wasOpen)
            port.close();
        bool ok = port.setPortNumber(newPort, &error);
        // The new port must open as the old one was; if it does not, the old one comes back.
        if (ok && wasOpen)
            ok = port.open(&error);
        if (!ok) {
            portFailed(error);
            restoreMappings(previous);
            port.setPortNumber(oldPort, nullptr);
            if (wasOpen)
                port.open(nullptr); // a failure here is told by the next request
            return;
        }
    }

    // 2. The line settings; the parity entry's initial stands for its letter.
    const QString settings = cboSpeed->currentText().trimmed() + QLatin1Char(',') + cboParity->currentText().left(1)
                             + QLatin1Char(',') + cboDataBits->currentText().trimmed() + QLatin1Char(',')
                             + cboStopBits->currentText().trimmed();
    if (!port.setSettings(settings, &error)) {
        portFailed(error);
        restoreMappings(previous);
        return;
    }
    // 3. Flow control.
    if (!port.setHandshaking(Handshaking, &error)) {
        portFailed(error);
        restoreMappings(previous);
        return;
    }
    // 4. The preferences, as the port now has them.
    m_settings.setValue(kProperties, QStringLiteral("Settings"), port.settings());
    m_settings.setValue(kProperties, QStringLiteral("CommPort"), QString::number(newPort));
    m_settings.setValue(kProperties, QStringLiteral("Handshaking"), QString::number(Handshaking));
    m_settings.setValue(kProperties, QStringLiteral("Echo"), EchoOn ? QStringLiteral("True") : QStringLiteral("False"));
    m_link.EarlyEnd = chkEarlyEnd->isChecked();
    m_settings.setValue(kProperties, QStringLiteral("EarlyEnd"),
                        m_link.EarlyEnd ? QStringLiteral("True") : QStringLiteral("False"));
    m_settings.sync();
    accept();
}

void frmProperties::cmdCancel_Click()
{
    reject();
}
