#include "dialogs/frmDiscard.h"

#include "platform/keyboard.h"
#include "platform/twips.h"

#include <QCloseEvent>
#include <QLabel>

frmDiscard::frmDiscard(Session&, QWidget* parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("frmDiscard"));
    setWindowTitle(QStringLiteral("Save / Discard"));
    setWindowFlag(Qt::Dialog);
    setWindowModality(Qt::ApplicationModal);
    setFixedSize(twips::rect(0, 0, 3360, 1560).size());

    lblSave = new QLabel(QStringLiteral("Save Changes?"), this);
    lblSave->setObjectName(QStringLiteral("lblSave"));
    lblSave->setAlignment(Qt::AlignCenter);
    twips::place(lblSave, 240, 120, 2880, 360);
    imgUdate = createPictureButton(this, QStringLiteral("imgUdate"), "tick", 600, 600, 840, 720);
    imgCancel = createPictureButton(this, QStringLiteral("imgCancel"), "cross", 1920, 600, 840, 720);
    connect(imgUdate, &QAbstractButton::clicked, this, &frmDiscard::imgUdate_Click);
    connect(imgCancel, &QAbstractButton::clicked, this, &frmDiscard::imgCancel_Click);
    // Return keeps the edits, Esc throws them away.
    keyboard::Install(*this, imgUdate, imgCancel);
}

frmDiscard::~frmDiscard() = default;

void frmDiscard::setOwner(std::uint8_t kind, Answers answers)
{
    if (kind < OwnerKinds)
        m_owners[kind] = std::move(answers);
}

void frmDiscard::Ask(std::uint8_t ownerKind, int item)
{
    ItemIndex = static_cast<std::int16_t>(item);
    OwnerKind = ownerKind;
    show();
    raise();
}

void frmDiscard::imgUdate_Click() { answer(true); }
void frmDiscard::imgCancel_Click() { answer(false); }

void frmDiscard::answer(bool apply)
{
    hide();
    if (OwnerKind >= OwnerKinds)
        return;
    const Answers& owner = m_owners[OwnerKind];
    const std::function<void(int)>& act = apply ? owner.apply : owner.discard;
    if (act)
        act(ItemIndex);
}

void frmDiscard::closeEvent(QCloseEvent* event)
{
    // The prompt is never unloaded; closing it by its frame keeps the edits, as the owner would
    // otherwise wait for an answer that never comes.
    event->ignore();
    imgUdate_Click();
}
