#include "meterdata/frmGlobal.h"

#include "channel/frmXducer.h"
#include "engine/session.h"
#include "meterdata/frmConfig.h"
#include "platform/keyboard.h"
#include "platform/twips.h"
#include "startup/frmStart.h"

#include <QCloseEvent>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QRadioButton>

namespace {
constexpr int kFormWidth = 5400;
constexpr int kFormHeight = 3960;
constexpr int kArrayStep = 9000;
constexpr int kNodes = 17; // "NODE 1" .. "NODE 16", "Poll"
} // namespace

frmGlobal::frmGlobal(Session& session, QWidget* parent) : QWidget(parent), m_session(session)
{
    setObjectName(QStringLiteral("frmGlobal"));
    setWindowTitle(QStringLiteral("Global Properties"));
    setFixedSize(twips::rect(0, 0, kFormWidth, kFormHeight).size());

    imgMname.create(this, QStringLiteral("imgMname"), "mname", 240, 240, 1920, 420, kArrayStep);
    imgNetID.create(this, QStringLiteral("imgNetID"), "netid", 240, 840, 1920, 420, kArrayStep);
    imgChanNum.create(this, QStringLiteral("imgChanNum"), "channum", 240, 1440, 1920, 420, kArrayStep);

    txtGval[0] = new QLineEdit(this);
    txtGval[0]->setObjectName(QStringLiteral("txtGval_0"));
    // The image holds ten characters of the name.
    txtGval[0]->setMaxLength(10);
    twips::place(txtGval[0], 2400, 270, 2520, 360);
    cmbMeterID = new QComboBox(this);
    cmbMeterID->setObjectName(QStringLiteral("cmbMeterID"));
    twips::place(cmbMeterID, 2400, 870, 2520, 360);
    lstNumChan = new QListWidget(this);
    lstNumChan->setObjectName(QStringLiteral("lstNumChan"));
    lstNumChan->addItems({QStringLiteral("Single"), QStringLiteral("Dual")});
    twips::place(lstNumChan, 2400, 1470, 2520, 600);
    lblGprop = new QLabel(QStringLiteral("Channel Mode"), this);
    lblGprop->setObjectName(QStringLiteral("lblGprop"));
    twips::place(lblGprop, 240, 2280, 1920, 330);
    lstGval[0] = new QListWidget(this);
    lstGval[0]->setObjectName(QStringLiteral("lstGval_0"));
    lstGval[0]->addItems({QStringLiteral("Individual"), QStringLiteral("Composite")});
    twips::place(lstGval[0], 2400, 2280, 2520, 600);

    imgConfirm = createPictureButton(this, QStringLiteral("imgConfirm"), "ok", 2400, 3240, 1140, 480);
    imgCancel = createPictureButton(this, QStringLiteral("imgCancel"), "cancel", 3780, 3240, 1140, 480);
    connect(imgConfirm, &QAbstractButton::clicked, this, &frmGlobal::imgConfirm_Click);
    connect(imgCancel, &QAbstractButton::clicked, this, &frmGlobal::imgCancel_Click);
    keyboard::Install(*this, imgConfirm, imgCancel);
}

frmGlobal::~frmGlobal() = default;

void frmGlobal::SetLang(std::int16_t iLang)
{
    if (iLang < 0 || iLang > 2)
        return;
    for (LanguageArray* a : {&imgMname, &imgNetID, &imgChanNum})
        a->showLanguage(iLang);
}

void frmGlobal::showEvent(QShowEvent* event)
{
    if (m_loadPending) {
        m_loadPending = false;
        Form_Load();
    }
    QWidget::showEvent(event);
}

void frmGlobal::Form_Load()
{
    cmbMeterID->clear();
    for (int i = 1; i <= 16; ++i)
        cmbMeterID->addItem(QStringLiteral("NODE %1").arg(i));
    cmbMeterID->addItem(QStringLiteral("Poll"));
    SetLang(m_session.Language);
    m_session.MeterModel = 1;
    frmStart& start = m_session.windows().get<frmStart>();
    lstGval[0]->hide();

    // The image pads the name with spaces; the box shows the name itself.
    QString name = QString::fromLatin1(m_session.GlobalCells.MeterName.text.c_str());
    while (name.endsWith(u' '))
        name.chop(1);
    txtGval[0]->setText(name);
    cmbMeterID->setEnabled(start.optRs485->isChecked());
    // A value no entry stands for leaves its list without a selection.
    const std::uint32_t node = m_session.GlobalCells.NodeAddr.u;
    cmbMeterID->setCurrentIndex(node >= 1 && node <= kNodes ? static_cast<int>(node) - 1 : -1);
    const std::uint32_t count = m_session.GlobalCells.NumberChan.u;
    lstNumChan->setCurrentRow(count >= 1 && count <= 2 ? static_cast<int>(count) - 1 : -1);
    if (lstNumChan->currentRow() < 0)
        lstNumChan->clearSelection();
    m_session.GlobalCells.Byte30.u = 1;
}

void frmGlobal::StoreValues()
{
    m_session.GlobalCells.MeterName.text = txtGval[0]->text().left(10).toLatin1().toStdString();
    if (cmbMeterID->currentIndex() >= 0)
        m_session.GlobalCells.NodeAddr.u = static_cast<std::uint32_t>(cmbMeterID->currentIndex() + 1);
    if (lstNumChan->currentRow() >= 0)
        m_session.GlobalCells.NumberChan.u = static_cast<std::uint32_t>(lstNumChan->currentRow() + 1);
}

void frmGlobal::imgConfirm_Click()
{
    frmXducer& xducer = m_session.windows().get<frmXducer>();
    xducer.PicksAct = false;
    StoreValues();
    // The channel setup follows the new number of channels.
    xducer.Clear_Chan_Flag();
    xducer.FillBoxes();
    m_session.windows().get<frmConfig>().show();
    hide();
    xducer.PicksAct = true;
}

void frmGlobal::imgCancel_Click()
{
    m_session.windows().get<frmConfig>().show();
    hide();
}

void frmGlobal::Form_Unload()
{
    m_session.windows().get<frmConfig>().show();
}

void frmGlobal::closeEvent(QCloseEvent* event)
{
    Form_Unload();
    m_loadPending = true;
    event->accept();
}
