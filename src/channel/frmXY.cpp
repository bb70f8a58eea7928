#include "channel/frmXY.h"

#include "channel/cellinput.h"
#include "channel/refusals.h"
#include "engine/session.h"
#include "meterdata/frmConfig.h"
#include "meterdata/unitcombo.h"
#include "platform/dialogservice.h"
#include "platform/keyboard.h"
#include "platform/twips.h"
#include "platform/vbtext.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>

namespace {
constexpr int kFormWidth = 6360;
// The window grows by one row height per point.
constexpr int kBaseHeight = 3855;
constexpr int kRowHeight = 245;
constexpr int kRowTop = 3360;
constexpr int kFlowKind = modLabels::KindVolumeFlow;
const char* const kCaption = "Enter Calibration Data";

enum TableKind : std::uint32_t { NoTable = 0, FlowTable = 1, ReynoldsTable = 2 };
} // namespace

frmXY::frmXY(Session& session, QWidget* parent) : QWidget(parent), m_session(session)
{
    setObjectName(QStringLiteral("frmXY"));
    setWindowTitle(QString::fromLatin1(kCaption));
    buildControls();
    keyboard::Install(*this, imgOK, imgCancel);
    // Return in the entry boxes adds their point, as the button beside them does.
    keyboard::ReturnIn(*txtXData, imgAdd);
    keyboard::ReturnIn(*txtYData, imgAdd);
    showTableControls(false);
    redraw();
}

frmXY::~frmXY() = default;

void frmXY::buildControls()
{
    auto label = [this](const QString& name, const char* text, int left, int top, int width) {
        auto* l = new QLabel(QString::fromLatin1(text), this);
        l->setObjectName(name);
        twips::place(l, left, top, width, 300);
        return l;
    };
    auto box = [this](const char* name, int left, int top) {
        auto* t = new QLineEdit(QStringLiteral("1.00"), this);
        t->setObjectName(QString::fromLatin1(name));
        twips::place(t, left, top, 1200, 330);
        return t;
    };
    auto check = [this](const char* name, const char* text, int left, int top) {
        auto* c = new QCheckBox(QString::fromLatin1(text), this);
        c->setObjectName(QString::fromLatin1(name));
        twips::place(c, left, top, 2400, 300);
        return c;
    };

    Label1 = label(QStringLiteral("Label1"), "CHAN", 240, 160, 600);
    cmbChan = new QComboBox(this);
    cmbChan->setObjectName(QStringLiteral("cmbChan"));
    cmbChan->addItems({QStringLiteral("CHAN A"), QStringLiteral("CHANB")});
    twips::place(cmbChan, 900, 120, 1500, 360);
    imgOK = createPictureButton(this, QStringLiteral("imgOK"), "ok", 3720, 120, 1140, 420);
    imgCancel = createPictureButton(this, QStringLiteral("imgCancel"), "cancel", 4980, 120, 1140, 420);

    Label3 = label(QStringLiteral("Label3"), "Fixed Calibration Factor", 240, 660, 2400);
    txtFixCal = box("txtFixCal", 2700, 620);
    chkMuiltPoint = check("chkMuiltPoint", "Multi Point Table", 240, 1080);
    chkReynods = check("chkReynods", "VS Reynolds No.", 2760, 1080);
    Label2 = label(QStringLiteral("Label2"), "Flow Rate Unit", 240, 1500, 1800);
    cmbUnit = new QComboBox(this);
    cmbUnit->setObjectName(QStringLiteral("cmbUnit"));
    twips::place(cmbUnit, 2100, 1460, 1500, 360);
    lblXtext = label(QStringLiteral("lblXtext"), "Flow Rate", 240, 1980, 1500);
    txtXData = box("txtXData", 1800, 1940);
    lblFact = label(QStringLiteral("lblFact"), "Factor", 3120, 1980, 1560);
    txtYData = box("txtYData", 4740, 1940);
    const char* const errorTexts[] = {"%Error", "Calibration Factor"};
    for (int i = 0; i < 2; ++i) {
        auto* o = new QRadioButton(QString::fromLatin1(errorTexts[i]), this);
        o->setObjectName(QStringLiteral("optError_%1").arg(i));
        twips::place(o, 240 + 1860 * i, 2460, 1800 + 600 * i, 300);
        optError[static_cast<std::size_t>(i)] = o;
        connect(o, &QAbstractButton::clicked, this, &frmXY::optError_Click);
    }
    optError[1]->setChecked(true);
    imgAdd = createPictureButton(this, QStringLiteral("imgAdd"), "xyadd", 4740, 2400, 1200, 420);
    lblFlowRate = label(QStringLiteral("lblFlowRate"), "Flow Rate.", 240, 3000, 1800);
    lblCalFact = label(QStringLiteral("lblCalFact"), "Cal. Factor", 2400, 3000, 1800);
    for (int i = 0; i < Rows; ++i) {
        const auto k = static_cast<std::size_t>(i);
        const int top = kRowTop + kRowHeight * i;
        Label4[k] = new QLabel(this);
        Label4[k]->setObjectName(QStringLiteral("Label4_%1").arg(i));
        twips::place(Label4[k], 240, top, 1800, 240);
        Label5[k] = new QLabel(this);
        Label5[k]->setObjectName(QStringLiteral("Label5_%1").arg(i));
        twips::place(Label5[k], 2400, top, 1800, 240);
        imgRemove[k] = createPictureButton(this, QStringLiteral("imgRemove_%1").arg(i), "cross", 4440, top, 600, 240);
        connect(imgRemove[k], &QAbstractButton::clicked, this, [this, i] { imgRemove_Click(i); });
    }

    connect(cmbChan, &QComboBox::activated, this, &frmXY::cmbChan_Click);
    connect(cmbUnit, &QComboBox::activated, this, &frmXY::cmbUnit_Click);
    connect(chkMuiltPoint, &QAbstractButton::clicked, this, &frmXY::chkMuiltPoint_Click);
    connect(chkReynods, &QAbstractButton::clicked, this, &frmXY::chkReynods_Click);
    connect(imgAdd, &QAbstractButton::clicked, this, &frmXY::imgAdd_Click);
    connect(imgOK, &QAbstractButton::clicked, this, &frmXY::imgOK_Click);
    connect(imgCancel, &QAbstractButton::clicked, this, &frmXY::imgCancel_Click);
    m_entered = {txtXData->text(), txtYData->text()};
}

void frmXY::Setform()
{
    modLabels::FillUnitCombo(*cmbUnit, m_session, kFlowKind, 0);
    m_factor = m_session.UnitFactor(kFlowKind, 0);
    m_channel = 0;
    cmbChan->setCurrentIndex(0);
    const bool several = m_session.GlobalCells.NumberChan.u > 1;
    cmbChan->setVisible(several);
    Label1->setVisible(several);
    loadChannel(0);
    show();
}

void frmXY::cmbChan_Click()
{
    const int chosen = cmbChan->currentIndex();
    if (isVisible() && chosen >= 0)
        loadChannel(chosen);
}

void frmXY::loadChannel(int channel)
{
    m_channel = channel;
    const modData::ChannelRecord& r = m_session.ChannelCells[static_cast<std::size_t>(channel)];
    txtFixCal->setText(vbtext::CStrSingle(r.CalFactor.f));
    if (r.CalTableKind.u == NoTable) {
        chkMuiltPoint->setChecked(false);
        chkReynods->setChecked(false);
        showTableControls(false);
        m_table.count = 0;
    } else {
        chkMuiltPoint->setChecked(true);
        chkReynods->setChecked(r.CalTableKind.u == ReynoldsTable);
        showTableControls(true);
        m_table.load(r);
    }
    setTableMode();
    redraw();
}

void frmXY::setTableMode()
{
    const bool reynolds = chkReynods->isChecked();
    const bool shown = chkMuiltPoint->isChecked();
    cmbUnit->setVisible(shown && !reynolds);
    Label2->setVisible(shown && !reynolds);
    lblXtext->setText(reynolds ? QStringLiteral("Reynolds") : QStringLiteral("Flow Rate"));
    lblFlowRate->setText(reynolds ? QStringLiteral("Reyn. No.") : QStringLiteral("Flow Rate."));
    m_factor = reynolds ? 1.0f : m_session.UnitFactor(kFlowKind, cmbUnit->currentIndex());
}

void frmXY::showTableControls(bool shown)
{
    for (QWidget* w : std::initializer_list<QWidget*>{txtXData, txtYData, lblXtext, lblFact, imgAdd, lblFlowRate,
                                                       lblCalFact, chkReynods, optError[0], optError[1]})
        w->setVisible(shown);
    const bool units = shown && !chkReynods->isChecked();
    cmbUnit->setVisible(units);
    Label2->setVisible(units);
}

void frmXY::redraw()
{
    const bool reynolds = chkReynods->isChecked();
    for (int i = 0; i < Rows; ++i) {
        const auto k = static_cast<std::size_t>(i);
        const bool used = i < m_table.count;
        Label4[k]->setVisible(used);
        Label5[k]->setVisible(used);
        imgRemove[k]->setVisible(used);
        if (!used)
            continue;
        const float x = m_table.x[k];
        Label4[k]->setText(reynolds ? vbtext::Format(static_cast<double>(vbtext::RoundHalfEven(x)), QStringLiteral("#######"))
                                    : vbtext::FormatSingle(m_factor > 0.0f ? x / m_factor : x, QStringLiteral("####.00")));
        Label5[k]->setText(vbtext::FormatSingle(m_table.y[k], QStringLiteral("#.0000")));
    }
    setFixedSize(twips::rect(0, 0, kFormWidth, kBaseHeight + kRowHeight * m_table.count).size());
}

void frmXY::chkMuiltPoint_Click()
{
    const bool checked = chkMuiltPoint->isChecked();
    if (!checked)
        m_table.count = 0; // OK then stores no table
    showTableControls(checked);
    setTableMode();
    redraw();
}

void frmXY::chkReynods_Click()
{
    setTableMode();
    if (m_table.count > 0)
        redraw();
}

void frmXY::optError_Click()
{
    lblFact->setText(optError[0]->isChecked() ? QStringLiteral("Error% (- low)") : QStringLiteral("Factor"));
}

void frmXY::cmbUnit_Click()
{
    if (chkReynods->isChecked())
        return;
    m_factor = m_session.UnitFactor(kFlowKind, cmbUnit->currentIndex());
    if (isVisible() && m_table.count > 0)
        redraw();
}

void frmXY::imgAdd_Click()
{
    const QString caption = windowTitle();
    if (m_table.full()) {
        m_session.dialogs().message(QStringLiteral("Table Full"), caption, DialogService::Buttons::OKCancel,
                                    DialogService::Icon::Exclamation);
        return;
    }
    const cellinput::Range any = cellinput::kAnySingle;
    cellinput::Refusals refused;
    const std::optional<double> x = cellinput::Checked(txtXData->text(), m_factor, any);
    if (!x)
        refused.add(txtXData, cellinput::RefusedLine(lblXtext->text(), txtXData->text(), any, m_factor), m_entered[0]);
    std::optional<double> y = cellinput::Checked(txtYData->text(), 1.0, any);
    if (!y)
        refused.add(txtYData, cellinput::RefusedLine(lblFact->text(), txtYData->text(), any), m_entered[1]);
    if (refused.tell(m_session.dialogs(), caption))
        return;
    m_entered = {txtXData->text(), txtYData->text()};
    if (optError[0]->isChecked())
        y = (100.0 - *y) / 100.0;
    m_table.add(static_cast<float>(*x), static_cast<float>(*y));
    redraw();
}

void frmXY::imgRemove_Click(int row)
{
    m_table.remove(row);
    redraw();
}

void frmXY::imgOK_Click()
{
    modData::ChannelRecord& r = m_session.ChannelCells[static_cast<std::size_t>(m_channel)];
    const std::optional<double> factor = cellinput::Checked(txtFixCal->text(), 1.0, cellinput::kAnySingle);
    cellinput::Refusals refused;
    if (!factor)
        refused.add(txtFixCal, cellinput::RefusedLine(Label3->text(), txtFixCal->text(), cellinput::kAnySingle),
                    vbtext::CStrSingle(r.CalFactor.f));
    if (refused.tell(m_session.dialogs(), windowTitle()))
        return;
    r.CalFactor.f = static_cast<float>(*factor);
    m_table.store(r);
    r.CalTableKind.u = m_table.count == 0 ? NoTable : chkReynods->isChecked() ? ReynoldsTable : FlowTable;
    backToMenu();
}

void frmXY::imgCancel_Click()
{
    backToMenu();
}

void frmXY::backToMenu()
{
    hide();
    m_session.windows().get<frmConfig>().show();
}

void frmXY::closeEvent(QCloseEvent* event)
{
    backToMenu();
    event->accept();
}
