#include "channel/frmXducer.h"

#include "channel/frmErrorHL.h"
#include "channel/frmFluid.h"
#include "channel/frmPipe.h"
#include "channel/frmSPXdcr.h"
#include "channel/frmSPinputs.h"
#include "channel/frmSpool.h"
#include "dialogs/frmDiscard.h"
#include "engine/session.h"
#include "meterdata/frmConfig.h"
#include "meterdata/unitcombo.h"
#include "platform/keyboard.h"
#include "platform/twips.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QLabel>

#include <algorithm>
#include <iterator>

using modData::ChannelRecord;

namespace {

constexpr int kFormWidth = 7020;
constexpr int kFormHeight = 5160;
constexpr int kArrayStep = 9000;
constexpr int kTypes = 9;   // "Special" and the eight transducers
constexpr int kFluids = 8;  // "Other" and the seven liquids
constexpr int kErrorHandles = 4;

// Columns of the transducer defaults read when a type is applied.
enum Column : int {
    ColMount = 0,
    ColSinRefract = 1,
    ColWedgeSpeed = 2,
    ColFreq = 3,
    ColDelay = 4,
    ColWallSpeed = 5,
    ColLiquidVOS = 6,
    ColLiquidDensity = 7,
    ColTube = 9,
    ColLiquidViscosity = 14,
    ColLoading = 15,
    ColParticle = 16,
};
enum ByteColumn : int { ColMaterial = 0, ColPulseWidth = 1 };

// Tube geometry of the transducers that come with their own tube (rows 1..6), metres.
struct TubeGeometry {
    float path, axial, outside, wall, spacing;
};
constexpr TubeGeometry kTubes[] = {
    {0.005174f, 0.00202f, 0.00623f, 0.0008f, 0.00508f},  // KRB41
    {0.005174f, 0.00202f, 0.00952f, 0.0016f, 0.006998f}, // KRB17
    {0.00683f, 0.00267f, 0.0127f, 0.0016f, 0.009347f},   // KRB32
    {0.00683f, 0.00267f, 0.01905f, 0.0016f, 0.01346f},   // KRB58
    {0.0085f, 0.0038f, 0.0254f, 0.0016f, 0.0178f},       // KRB74
    {0.0185f, 0.00943f, 0.01588f, 0.0016f, 0.0016f},     // LS86
};

// Selects entry i of a list, or nothing when the list has no such entry (a value read from an
// image or a site file may be anything).
void selectEntry(QComboBox* combo, long long i)
{
    combo->setCurrentIndex(i >= 0 && i < combo->count() ? static_cast<int>(i) : -1);
}

} // namespace

frmXducer::frmXducer(Session& session, QWidget* parent) : QWidget(parent), m_session(session)
{
    setObjectName(QStringLiteral("frmXducer"));
    setWindowTitle(QStringLiteral("Channel Setup"));
    buildControls();
    keyboard::Install(*this, imgPush, imgCancel);

    // The answer to "Save Changes?" about a channel left with edits; the switch waits for it.
    m_session.windows().get<frmDiscard>().setOwner(frmDiscard::OwnerXducer,
                                                   {[this](int item) { settleSwitch(item, false); },
                                                    [this](int item) { settleSwitch(item, true); }});
    // Form_Load: the lists as the current channel has them, nothing shown.
    SetLang(m_session.Language);
    FillBoxes();
    BackUpChan();
}

frmXducer::~frmXducer() = default;

ChannelRecord& frmXducer::channel() { return m_session.ChannelCells[static_cast<std::size_t>(m_channel)]; }
const ChannelRecord& frmXducer::channel() const { return m_session.ChannelCells[static_cast<std::size_t>(m_channel)]; }

void frmXducer::buildControls()
{
    setFixedSize(twips::rect(0, 0, kFormWidth, kFormHeight).size());

    imgChannel.create(this, QStringLiteral("imgChannel"), "xchannel", 240, 240, 1920, 420, kArrayStep);
    imgSensor.create(this, QStringLiteral("imgSensor"), "xsensor", 240, 1080, 1920, 420, kArrayStep);
    imgFluid.create(this, QStringLiteral("imgFluid"), "xfluid", 240, 1800, 1920, 420, kArrayStep);
    imgErrlim = createPictureButton(this, QStringLiteral("imgErrlim"), "xerrlim", 240, 2520, 1920, 420);
    imgSigProc = createPictureButton(this, QStringLiteral("imgSigProc"), "xsigproc", 240, 3240, 1920, 420);

    auto combo = [this](const char* name, int top) {
        auto* c = new QComboBox(this);
        c->setObjectName(QString::fromLatin1(name));
        twips::place(c, 2400, top, 2160, 360);
        return c;
    };
    cmbChannel = combo("cmbChannel", 270);
    cmbXducerType = combo("cmbXducerType", 1110);
    cmbFluid = combo("cmbFluid", 1830);
    cmbErr_lim = combo("cmbErr_lim", 2550);
    cmbSig_Proc = combo("cmbSig_Proc", 3270);
    cmbError_Handle = combo("cmbError_Handle", 3990);
    for (QComboBox* c : {cmbErr_lim, cmbSig_Proc})
        c->addItems({QStringLiteral("DEFAULT"), QStringLiteral("CUSTOM")});
    cmbError_Handle->addItems(
        {QStringLiteral("HOLD LAST"), QStringLiteral("DRY PIPE"), QStringLiteral("FLUID"), QStringLiteral("RANGE")});

    chkMirror = new QCheckBox(QStringLiteral("Mirror Channels"), this);
    chkMirror->setObjectName(QStringLiteral("chkMirror"));
    twips::place(chkMirror, 4680, 270, 2160, 360);

    auto* onError = new QLabel(QStringLiteral("On Error"), this);
    onError->setAlignment(Qt::AlignCenter);
    twips::place(onError, 240, 4005, 1920, 330);

    imgPush = createPictureButton(this, QStringLiteral("imgPush"), "ok", 2400, 4560, 1020, 420);
    imgCancel = createPictureButton(this, QStringLiteral("imgCancel"), "cancel", 3540, 4560, 1020, 420);

    connect(cmbChannel, &QComboBox::activated, this, &frmXducer::cmbChannel_Click);
    connect(cmbXducerType, &QComboBox::activated, this, &frmXducer::cmbXducerType_Click);
    connect(cmbFluid, &QComboBox::activated, this, &frmXducer::cmbFluid_Click);
    connect(cmbErr_lim, &QComboBox::activated, this, &frmXducer::cmbErr_lim_Click);
    connect(cmbSig_Proc, &QComboBox::activated, this, &frmXducer::cmbSig_Proc_Click);
    connect(cmbError_Handle, &QComboBox::activated, this, &frmXducer::cmbError_Handle_Click);
    connect(imgPush, &QAbstractButton::clicked, this, &frmXducer::imgPush_Click);
    connect(imgCancel, &QAbstractButton::clicked, this, &frmXducer::imgCancel_Click);
}

// Public operations.

void frmXducer::Clear_Chan_Flag()
{
    m_fluidChanged = m_typeChanged = m_pipeChanged = false;
}

void frmXducer::ResetData(int channel)
{
    if (channel < 0 || channel >= modData::ChannelCount)
        return;
    modData::CopyChannelValues(m_backup, m_session.ChannelCells[static_cast<std::size_t>(channel)]);
}

void frmXducer::BackUpChan()
{
    modData::CopyChannelValues(channel(), m_backup);
}

void frmXducer::Set_Form()
{
    Clear_Chan_Flag();
    m_channel = 0;
    m_pendingChannel = -1;
    SetLang(m_session.Language);
    FillBoxes();
    // The backup is the channel as it was opened, so a first "discard" restores it.
    BackUpChan();
    show();
}

void frmXducer::SetLang(std::int16_t iLang)
{
    if (iLang < 0 || iLang > 2)
        return;
    for (LanguageArray* a : {&imgChannel, &imgFluid, &imgSensor})
        a->showLanguage(iLang);
    imgChannel.setVisible(iLang, channelCount() >= 2);
}

int frmXducer::channelCount() const
{
    // Only the channels the image holds are offered: an edit of any other would never reach the meter.
    return static_cast<int>(std::min<std::uint32_t>(m_session.GlobalCells.NumberChan.u, modData::MappedChannels));
}

void frmXducer::FillBoxes()
{
    const int count = channelCount();
    // With fewer channels than the one being edited (the count was just lowered), edit channel A.
    if (m_channel >= std::max(count, 1)) {
        m_channel = 0;
        BackUpChan();
    }
    const bool several = count >= 2;
    imgChannel.setVisible(m_session.Language, several);
    cmbChannel->setVisible(several);
    chkMirror->setVisible(several);
    cmbChannel->clear();
    if (several) {
        modLabels::FillPickCombo(*cmbChannel, m_session, modLabels::ListChannel, count);
        selectEntry(cmbChannel, m_channel);
    }
    modLabels::FillPickCombo(*cmbFluid, m_session, modLabels::ListLiquid, kFluids);
    modLabels::FillPickCombo(*cmbXducerType, m_session, modLabels::ListTransducerType, kTypes);
    selectChannelLists();
}

void frmXducer::selectChannelLists()
{
    m_appliedFluid = recognisedFluid();
    selectEntry(cmbFluid, m_appliedFluid);
    selectEntry(cmbXducerType, channel().XducerType.u);
    selectEntry(cmbErr_lim, E_DefaultTest());
    selectEntry(cmbSig_Proc, S_DefaultTest());
    selectEntry(cmbError_Handle, channel().ErrHandle.u);
}

int frmXducer::recognisedFluid() const
{
    int found = 0;
    for (int row = 1; row < kFluids; ++row)
        if (channel().FluidVOS.f == m_session.TransducerDefault(ColLiquidVOS, row))
            found = row;
    return found;
}

int frmXducer::E_DefaultTest() const
{
    return modData::HasErrorLimitDefaults(channel()) ? 0 : 1;
}

int frmXducer::S_DefaultTest() const
{
    return modData::HasSignalDefaults(channel()) ? 0 : 1;
}

// Channel change.

void frmXducer::cmbChannel_Click()
{
    const int chosen = cmbChannel->currentData().isValid() ? cmbChannel->currentData().toInt() : -1;
    if (chosen < 0 || chosen >= channelCount())
        return;
    if (HasUnsavedEdits() && isVisible()) {
        // The list stays on the channel being left until the user has answered for it.
        m_pendingChannel = chosen;
        selectEntry(cmbChannel, m_channel);
        m_session.windows().get<frmDiscard>().Ask(frmDiscard::OwnerXducer, m_channel);
        return;
    }
    switchChannel(chosen);
}

void frmXducer::settleSwitch(int left, bool discard)
{
    if (discard)
        ResetData(left);
    const int to = m_pendingChannel;
    m_pendingChannel = -1;
    if (to >= 0 && to != m_channel) {
        switchChannel(to);
        return;
    }
    // Asked about the channel that stays: it now holds what the user decided.
    if (discard) {
        selectChannelLists();
        Clear_Chan_Flag();
    }
}

void frmXducer::switchChannel(int to)
{
    if (to == m_channel || to < 0 || to >= modData::ChannelCount)
        return;
    m_channel = to;
    selectEntry(cmbChannel, m_channel);
    selectChannelLists();
    Clear_Chan_Flag();
    BackUpChan();
}

// Transducer type.

void frmXducer::cmbXducerType_Click()
{
    const int type = cmbXducerType->currentIndex();
    if (type < 0 || !PicksAct || !isVisible())
        return;
    ChannelRecord& r = channel();
    r.Traverses.u = 1;
    if (static_cast<std::uint32_t>(type) == r.XducerType.u)
        openGeometry();
    else
        ApplyType(type);
    m_typeChanged = true;
}

void frmXducer::openGeometry()
{
    const ChannelRecord& r = channel();
    if (r.MountType.u != 1) {
        auto& spool = m_session.windows().get<frmSpool>();
        spool.Channel = static_cast<std::int16_t>(m_channel);
        spool.Set_Form();
        return;
    }
    auto& pipe = m_session.windows().get<frmPipe>();
    pipe.Channel = static_cast<std::int16_t>(m_channel);
    // Reopened, the pipe window shows the material whose wall speed the channel holds.
    for (int m = 0; m <= 8; ++m)
        if (r.WallSpeed.f == m_session.TransducerDefault(ColWallSpeed, m))
            pipe.MaterialIndex = static_cast<std::int16_t>(m);
    pipe.Set_Form();
}

void frmXducer::ApplyType(int type)
{
    m_typeChanged = true;
    ChannelRecord& r = channel();
    const auto ch = static_cast<std::int16_t>(m_channel);
    if (type == 0) {
        modData::SetSignalDefaults(r);
        modData::SetErrorLimitDefaults(r);
        r.XducerType.u = 0;
        auto& special = m_session.windows().get<frmSPXdcr>();
        special.Channel = ch;
        special.Set_Form();
    } else {
        const auto d = [this, type](int column) { return m_session.TransducerDefault(column, type); };
        r.XducerType.u = static_cast<std::uint32_t>(type);
        r.TubeGeometry.u = d(ColTube) != 0.0f ? 1 : 0;
        r.MountType.u = d(ColMount) != 0.0f ? 1 : 0;
        r.SinRefract.f = d(ColSinRefract);
        r.WedgeSpeed.f = d(ColWedgeSpeed);
        r.XducerFreq.u = static_cast<std::uint32_t>(d(ColFreq));
        r.XducerDelay.f = d(ColDelay);
        r.PulseWidth.u = m_session.TransducerDefaultByte(ColPulseWidth, type);
        r.ParticleIndex.u = static_cast<std::uint32_t>(d(ColParticle));
        r.LoadingIndex.u = static_cast<std::uint32_t>(d(ColLoading));
        r.SamplesPerCycle.u = r.XducerFreq.u < 2001 ? 24 : 12;
        if (r.TubeGeometry.u == 1 && type <= static_cast<int>(std::size(kTubes))) {
            const TubeGeometry& tube = kTubes[type - 1];
            auto& pipe = m_session.windows().get<frmPipe>();
            pipe.Channel = ch;
            pipe.MaterialIndex = static_cast<std::int16_t>(m_session.TransducerDefaultByte(ColMaterial, type));
            m_pipeChanged = true;
            r.PathLength.f = tube.path;
            r.AxialLength.f = tube.axial;
            r.PipeID.f = static_cast<float>(static_cast<double>(tube.outside) - 2.0 * static_cast<double>(tube.wall));
            r.WallThick.f = tube.wall;
            r.Spacing.f = tube.spacing;
            pipe.Set_Form();
        } else if (r.MountType.u != 1) {
            auto& spool = m_session.windows().get<frmSpool>();
            spool.Channel = ch;
            spool.Set_Form();
        } else {
            auto& pipe = m_session.windows().get<frmPipe>();
            pipe.MaterialIndex = 1;
            pipe.Channel = ch;
            pipe.Set_Form();
        }
        fluidStep(cmbFluid->currentIndex());
    }
    // A new transducer starts from the default limits and signal processing: a list that showed
    // "CUSTOM" is turned back, and the defaults go with it.
    if (cmbErr_lim->currentIndex() != 0)
        modData::SetErrorLimitDefaults(r);
    if (cmbSig_Proc->currentIndex() != 0)
        modData::SetSignalDefaults(r);
    cmbErr_lim->setCurrentIndex(0);
    cmbSig_Proc->setCurrentIndex(0);
}

// Fluid.

void frmXducer::cmbFluid_Click()
{
    if (!PicksAct || !isVisible())
        return;
    m_fluidChanged = true;
    const int index = cmbFluid->currentIndex();
    // "Other" picked again opens the fluid window once more, to correct the typed values.
    if (index == 0 && m_appliedFluid == 0) {
        m_session.windows().get<frmFluid>().Fill_Boxes(m_channel);
        return;
    }
    fluidStep(index);
}

void frmXducer::fluidStep(int index)
{
    if (index < 0 || index >= kFluids || index == m_appliedFluid)
        return;
    m_appliedFluid = index;
    if (index == 0) {
        if (isVisible())
            m_session.windows().get<frmFluid>().Fill_Boxes(m_channel);
        return;
    }
    ApplyFluid(index);
}

void frmXducer::ApplyFluid(int index)
{
    ChannelRecord& r = channel();
    r.FluidKind.u = 0;
    r.FluidDensity.f = m_session.TransducerDefault(ColLiquidDensity, index);
    r.FluidViscosity.f = m_session.TransducerDefault(ColLiquidViscosity, index);
    r.FluidVOS.f = m_session.TransducerDefault(ColLiquidVOS, index);
}

// Error limits, signal processing, error handling.

void frmXducer::cmbErr_lim_Click()
{
    if (!PicksAct || !isVisible())
        return;
    if (cmbErr_lim->currentIndex() == 1) {
        auto& limits = m_session.windows().get<frmErrorHL>();
        limits.Channel = static_cast<std::int16_t>(m_channel);
        limits.show();
        limits.Load_existing();
    } else if (cmbErr_lim->currentIndex() == 0) {
        modData::SetErrorLimitDefaults(channel());
    }
}

void frmXducer::cmbSig_Proc_Click()
{
    if (!PicksAct || !isVisible())
        return;
    if (cmbSig_Proc->currentIndex() == 1) {
        auto& signal = m_session.windows().get<frmSPinputs>();
        signal.Channel = static_cast<std::int16_t>(m_channel);
        signal.LoadSP();
    } else if (cmbSig_Proc->currentIndex() == 0) {
        modData::SetSignalDefaults(channel());
    }
}

void frmXducer::cmbError_Handle_Click()
{
    const int index = cmbError_Handle->currentIndex();
    if (!PicksAct || !isVisible() || index < 0 || index >= kErrorHandles)
        return;
    if (static_cast<std::uint32_t>(index) != channel().ErrHandle.u)
        channel().ErrHandle.u = static_cast<std::uint32_t>(index);
}

// OK, Cancel, close.

void frmXducer::imgPush_Click()
{
    m_session.GlobalCells.Byte44.u = 0;
    if (chkMirror->isChecked()) {
        modData::CopyChannel(m_session, 0, 1);
        chkMirror->setChecked(false);
    }
    hide();
    m_session.windows().get<frmConfig>().show();
}

void frmXducer::imgCancel_Click()
{
    m_session.windows().get<frmConfig>().show();
    hide();
    Form_Unload();
}

void frmXducer::Form_Unload()
{
    m_session.windows().get<frmConfig>().show();
}

void frmXducer::closeEvent(QCloseEvent* event)
{
    Form_Unload();
    event->accept();
}
