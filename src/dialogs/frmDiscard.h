#pragma once
// The save/discard prompt ("Save / Discard"): asks "Save Changes?" when the user leaves an item
// (a channel, a current-loop slot, a logic slot) whose edits were not applied, and hands the answer
// back to the window that asked. It is shown without blocking the program, but it keeps the user
// out of the other windows until answered, so the owner's item cannot change under the question.
//
// Owners plug in by kind: each registers what apply and discard do for an item it left. The
// answer goes to the owner of the request being asked, with that request's item.

#include "platform/picturebutton.h"

#include <QWidget>

#include <array>
#include <cstdint>
#include <functional>

class QLabel;
class Session;

class frmDiscard : public QWidget {
    Q_OBJECT
public:
    enum Owner : std::uint8_t { OwnerXducer = 0, OwnerAnalogOut = 1, OwnerPLC = 2, OwnerKinds = 3 };

    explicit frmDiscard(Session& session, QWidget* parent = nullptr);
    ~frmDiscard() override;

    // What an owner does with its left item on each answer.
    struct Answers {
        std::function<void(int item)> apply;   // keep the edits
        std::function<void(int item)> discard; // throw them away
    };
    // Registers (or replaces) the answers of an owner kind.
    void setOwner(std::uint8_t kind, Answers answers);

    // Sets ItemIndex and OwnerKind and shows the prompt. A request while the prompt is open
    // replaces the earlier one: the answer then goes to the new owner and item.
    void Ask(std::uint8_t ownerKind, int item);

    // Control handlers.
    void imgUdate_Click();
    void imgCancel_Click();

    // The request being asked: the item left and the owner's kind.
    std::int16_t ItemIndex = 0;
    std::uint8_t OwnerKind = 0;

    QLabel* lblSave = nullptr;
    PictureButton* imgUdate = nullptr;
    PictureButton* imgCancel = nullptr;

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void answer(bool apply);

    std::array<Answers, OwnerKinds> m_owners;
};
