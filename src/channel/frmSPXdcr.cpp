#include "channel/frmSPXdcr.h"

#include "channel/cellinput.h"
#include "channel/frmPipe.h"
#include "channel/frmSpool.h"
#include "channel/frmXducer.h"
#include "channel/refusals.h"
#include "channel/spacing.h"
#include "engine/session.h"
#include "platform/dialogservice.h"
#include "platform/keyboard.h"
#include "platform/twips.h"
#include "platform/vbtext.h"

#include <QCloseEvent>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>

#include <algorithm>
#include <array>
#include <optional>

namespace {
constexpr int kFormWidth = 4560;
constexpr int kFormHeight = 3600;

struct Frequency {
    const char* item;
    std::uint16_t kHz;
};
// The list's entries as the meter's tools have always shown them, and the frequency each stores.
constexpr std::array<Frequency, 8> kFrequencies{{
    {"    4 MHz", 4000},
    {"    2 MHz", 2000},
    {"    1 MHz ", 1000},
    {"500 KHz", 500},
    {"200 kHz", 200},
    {"160 kHz", 160},
    {"120 kHz", 120},
    {"  90 kHz", 80},
}};
constexpr int kDefaultFrequency = 2; // 1 MHz

constexpr cellinput::Range kAngle = cellinput::kAnySingle;  // degrees
constexpr cellinput::Range kWedgeSpeed{1.0, 20000.0};       // m/s
constexpr cellinput::Range kDelay{0.0, 10000.0};            // microseconds
} // namespace

frmSPXdcr::frmSPXdcr(Session& session, QWidget* parent) : QWidget(parent), m_session(session)
{
    setObjectName(QStringLiteral("frmSPXdcr"));
    setWindowTitle(QStringLiteral("Special Transducer"));
    buildControls();
    // Closing stores as back does: there is no way out without storing, and Esc does nothing here.
    keyboard::Install(*this, imgBack, nullptr);
}

frmSPXdcr::~frmSPXdcr() = default;

void frmSPXdcr::buildControls()
{
    setFixedSize(twips::rect(0, 0, kFormWidth, kFormHeight).size());
    auto label = [this](const QString& text, int left, int top, int width) {
        auto* l = new QLabel(text, this);
        twips::place(l, left, top, width, 300);
        return l;
    };
    auto box = [this](const char* name, int top) {
        auto* b = new QLineEdit(this);
        b->setObjectName(QString::fromLatin1(name));
        twips::place(b, 1320, top, 1320, 360);
        return b;
    };

    label(QStringLiteral("Freq"), 240, 300, 960);
    cmbFreq = new QComboBox(this);
    cmbFreq->setObjectName(QStringLiteral("cmbFreq"));
    for (const Frequency& f : kFrequencies)
        cmbFreq->addItem(QString::fromLatin1(f.item));
    twips::place(cmbFreq, 1320, 240, 1560, 360);

    optclamp = new QRadioButton(QStringLiteral("Refraction"), this);
    optclamp->setObjectName(QStringLiteral("optclamp"));
    twips::place(optclamp, 240, 840, 1920, 330);
    connect(optclamp, &QAbstractButton::clicked, this, &frmSPXdcr::optclamp_Click);
    optInsertion = new QRadioButton(QStringLiteral("Insertion"), this);
    optInsertion->setObjectName(QStringLiteral("optInsertion"));
    twips::place(optInsertion, 2280, 840, 1920, 330);
    connect(optInsertion, &QAbstractButton::clicked, this, &frmSPXdcr::optInsertion_Click);

    lblAngle = label(QStringLiteral("Angle"), 240, 1440, 960);
    lblAngle->setObjectName(QStringLiteral("lblAngle"));
    txtWangle = box("txtWangle", 1380);
    lblWAunit = label(QStringLiteral("Degree"), 2760, 1440, 1320);
    lblWAunit->setObjectName(QStringLiteral("lblWAunit"));

    lblspeed = label(QStringLiteral("Speed"), 240, 1980, 960);
    lblspeed->setObjectName(QStringLiteral("lblspeed"));
    txtWSpeed = box("txtWSpeed", 1920);
    txtWSpeed->setText(QStringLiteral("2300"));
    lblWSunit = label(QStringLiteral("m/s"), 2760, 1980, 1320);
    lblWSunit->setObjectName(QStringLiteral("lblWSunit"));

    label(QStringLiteral("Delay"), 240, 2520, 960);
    txtwdelay = box("txtwdelay", 2460);
    label(QStringLiteral("Microsec"), 2760, 2520, 1320);

    imgBack = createPictureButton(this, QStringLiteral("imgBack"), "back", 3240, 3000, 1080, 420);
    connect(imgBack, &QAbstractButton::clicked, this, &frmSPXdcr::imgBack_Click);
}

modData::ChannelRecord& frmSPXdcr::channel()
{
    return m_session.ChannelCells[static_cast<std::size_t>(std::clamp<int>(Channel, 0, modData::ChannelCount - 1))];
}

void frmSPXdcr::showWedge(bool shown)
{
    for (QWidget* w : std::initializer_list<QWidget*>{txtWangle, txtWSpeed, lblAngle, lblspeed, lblWSunit, lblWAunit})
        w->setVisible(shown);
}

void frmSPXdcr::Set_Form()
{
    modData::ChannelRecord& r = channel();
    const auto f = std::find_if(kFrequencies.begin(), kFrequencies.end(),
                                [&](const Frequency& e) { return e.kHz == r.XducerFreq.u; });
    cmbFreq->setCurrentIndex(f != kFrequencies.end() ? static_cast<int>(f - kFrequencies.begin()) : kDefaultFrequency);
    const bool clamp = r.MountType.u == 1;
    optclamp->setChecked(clamp);
    optInsertion->setChecked(!clamp);
    showWedge(clamp);
    txtWangle->setText(vbtext::Format(spacing::WedgeAngle(r.SinRefract.f), QStringLiteral("##.00")));
    txtwdelay->setText(vbtext::FormatSingle(r.XducerDelay.f * 1e6f, QStringLiteral("##.00")));
    txtWSpeed->setText(vbtext::FormatSingle(r.WedgeSpeed.f, QStringLiteral("####.0")));
    m_shownAngle = txtWangle->text();
    m_shownSpeed = txtWSpeed->text();
    m_shownDelay = txtwdelay->text();
    r.TubeGeometry.u = 0;
    show();
    m_session.windows().get<frmXducer>().hide();
}

void frmSPXdcr::optclamp_Click()
{
    channel().MountType.u = 1;
    showWedge(true);
}

void frmSPXdcr::optInsertion_Click()
{
    channel().MountType.u = 0;
    showWedge(false);
}

bool frmSPXdcr::storeBoxes()
{
    struct Typed {
        QLineEdit* box;
        const QString& shown;
        cellinput::Range range;
        const char* field;
        std::optional<double> value;
    };
    std::array<Typed, 3> typed{{{txtwdelay, m_shownDelay, kDelay, "Delay", {}},
                                {txtWangle, m_shownAngle, kAngle, "Angle", {}},
                                {txtWSpeed, m_shownSpeed, kWedgeSpeed, "Speed", {}}}};
    cellinput::Refusals refused;
    for (Typed& t : typed) {
        if (t.box->text() == t.shown)
            continue;
        t.value = cellinput::Checked(t.box->text(), 1.0, t.range);
        if (!t.value)
            refused.add(t.box, cellinput::RefusedLine(QString::fromLatin1(t.field), t.box->text(), t.range), t.shown);
    }
    if (refused.tell(m_session.dialogs(), windowTitle()))
        return false;
    modData::ChannelRecord& r = channel();
    const int i = cmbFreq->currentIndex();
    const std::uint16_t kHz = i >= 0 && i < static_cast<int>(kFrequencies.size()) && i != kDefaultFrequency
                                  ? kFrequencies[static_cast<std::size_t>(i)].kHz
                                  : 1000;
    r.XducerFreq.u = kHz;
    r.SamplesPerCycle.u = kHz < 2001 ? 24 : 12;
    if (typed[0].value)
        r.XducerDelay.f = static_cast<float>(*typed[0].value / 1e6);
    if (typed[1].value)
        r.SinRefract.f = spacing::SinRefract(*typed[1].value);
    r.TubeGeometry.u = 0;
    if (typed[2].value)
        r.WedgeSpeed.f = static_cast<float>(*typed[2].value);
    return true;
}

bool frmSPXdcr::leave()
{
    if (!storeBoxes())
        return false;
    if (channel().MountType.u != 1) {
        frmSpool& spool = m_session.windows().get<frmSpool>();
        spool.Channel = Channel;
        spool.Set_Form();
    } else {
        // The pipe window keeps the material it was last given.
        frmPipe& pipe = m_session.windows().get<frmPipe>();
        pipe.Channel = Channel;
        pipe.Set_Form();
    }
    hide();
    return true;
}

void frmSPXdcr::imgBack_Click()
{
    // A box that cannot be stored keeps the window open for the user to correct it.
    leave();
}

void frmSPXdcr::closeEvent(QCloseEvent* event)
{
    // Closing by the frame goes back as the back button does, unless a box is refused.
    if (leave())
        event->accept();
    else
        event->ignore();
}
