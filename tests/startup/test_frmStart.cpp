// The start window through its controls: start-up state, languages, line type, PIN, closing.

#include "platform/picturebutton.h"
#include "platform/shape.h"
#include "support/fakesession.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <QTest>
#include <gtest/gtest.h>

namespace {

template <typename T>
T* child(QWidget& w, const char* name)
{
    T* c = w.findChild<T*>(QString::fromLatin1(name));
    EXPECT_NE(c, nullptr) << name;
    return c;
}

// Index of the picture that is visible in the given array, -1 if none or several.
int visibleIndex(frmStart& w, const char* array)
{
    int found = -1;
    for (int i = 0; i < 3; ++i) {
        auto* b = w.findChild<PictureButton*>(QStringLiteral("%1_%2").arg(QLatin1String(array)).arg(i));
        if (b && b->isVisible())
            found = (found == -1) ? i : -2;
    }
    return found;
}

} // namespace

TEST(StartWindow, StartsUpWithItsControlsAndEnglish)
{
    TestSession t;
    t.s().NodeAddress = 0;
    t.s().AccessCode = 0;
    t.s().Language = 0;
    t.s().ImageValid = 1;
    frmStart& w = t.start();
    w.show();
    EXPECT_EQ(w.windowTitle(), "ZAV Instrument Interface");
    EXPECT_EQ(t.s().NodeAddress, 17);
    EXPECT_EQ(t.s().AccessCode, 52719);
    EXPECT_EQ(t.s().Language, 1);
    EXPECT_EQ(t.s().ImageValid, 0);
    EXPECT_FALSE(t.session->hasLink()) << "the port is not touched at start-up";

    EXPECT_EQ(child<QRadioButton>(w, "optRS232")->text(), "RS232");
    EXPECT_TRUE(child<QRadioButton>(w, "optRS232")->isChecked());
    EXPECT_EQ(child<QRadioButton>(w, "optRs485")->text(), "RS485 ");
    auto* node = child<QComboBox>(w, "cmbNode");
    ASSERT_EQ(node->count(), 17);
    EXPECT_EQ(node->itemText(0), "Node 1");
    EXPECT_EQ(node->itemText(15), "Node 16");
    EXPECT_EQ(node->itemText(16), "Poll!");
    EXPECT_EQ(child<QLineEdit>(w, "txtMeterID")->text(), "17");
    EXPECT_EQ(child<QLineEdit>(w, "txtPin")->text().size(), 4);
    EXPECT_EQ(child<QLabel>(w, "lblTerms")->text(), "Terms and Conditions Apply");
    EXPECT_EQ(child<QLabel>(w, "lblMeterID")->text(), "Meter Adress");
    EXPECT_EQ(child<QLabel>(w, "lblPin")->text(), "Meter PIN");
    EXPECT_NE(child<Shape>(w, "shpXmit"), nullptr);
    EXPECT_NE(child<PictureButton>(w, "imgSerialSetup"), nullptr);
    EXPECT_NE(child<QLabel>(w, "Imgtitle"), nullptr);
    for (int i = 0; i < 3; ++i)
        EXPECT_TRUE(child<PictureButton>(w, QStringLiteral("imgLang_%1").arg(i).toLatin1().constData())->isVisible());

    // English pictures stand in the index-0 places, the others are hidden.
    for (const char* a : {"imgSetup", "imgLogdata", "imgDiagnostics"}) {
        EXPECT_EQ(visibleIndex(w, a), 1) << a;
        auto* b0 = w.findChild<PictureButton*>(QStringLiteral("%1_0").arg(QLatin1String(a)));
        auto* b1 = w.findChild<PictureButton*>(QStringLiteral("%1_1").arg(QLatin1String(a)));
        EXPECT_EQ(b1->pos(), b0->pos()) << a;
        EXPECT_TRUE(w.rect().contains(b1->geometry())) << a;
    }
}

TEST(StartWindow, LanguageButtonsSwitchThePictureArrays)
{
    TestSession t;
    frmStart& w = t.start();
    w.show();
    auto* setup0 = child<PictureButton>(w, "imgSetup_0");
    const QPoint place0 = setup0->pos();
    const QImage english = child<PictureButton>(w, "imgSetup_1")->picture().toImage();

    QTest::mouseClick(child<PictureButton>(w, "imgLang_2"), Qt::LeftButton);
    EXPECT_EQ(t.s().Language, 2);
    for (const char* a : {"imgSetup", "imgLogdata", "imgDiagnostics"})
        EXPECT_EQ(visibleIndex(w, a), 2) << a;
    EXPECT_EQ(child<PictureButton>(w, "imgSetup_2")->pos(), place0);
    EXPECT_NE(child<PictureButton>(w, "imgSetup_2")->picture().toImage(), english);

    QTest::mouseClick(child<PictureButton>(w, "imgLang_0"), Qt::LeftButton);
    EXPECT_EQ(t.s().Language, 0);
    for (const char* a : {"imgSetup", "imgLogdata", "imgDiagnostics"})
        EXPECT_EQ(visibleIndex(w, a), 0) << a;
    EXPECT_EQ(setup0->pos(), place0);

    QTest::mouseClick(child<PictureButton>(w, "imgLang_1"), Qt::LeftButton);
    EXPECT_EQ(t.s().Language, 1);
    EXPECT_EQ(visibleIndex(w, "imgSetup"), 1);
}

TEST(StartWindow, LineTypeNodeListAndPin)
{
    TestSession t;
    frmStart& w = t.start();
    w.show();
    auto* node = child<QComboBox>(w, "cmbNode");
    EXPECT_FALSE(node->isVisible());
    QTest::mouseClick(child<QRadioButton>(w, "optRs485"), Qt::LeftButton);
    EXPECT_TRUE(node->isVisible());
    EXPECT_EQ(node->currentText(), "Poll!");
    node->setCurrentIndex(3);
    QTest::mouseClick(child<QRadioButton>(w, "optRS232"), Qt::LeftButton);
    EXPECT_FALSE(node->isVisible());
    QTest::mouseClick(child<QRadioButton>(w, "optRs485"), Qt::LeftButton);
    EXPECT_EQ(node->currentText(), "Poll!") << "RS485 always resets the list";

    auto* pin = child<QLineEdit>(w, "txtPin");
    QTest::mouseClick(pin, Qt::LeftButton);
    EXPECT_TRUE(pin->text().isEmpty());
}

TEST(StartWindow, ClosingDrainsThePortAndEndsUnlessAborted)
{
    TestSession t;
    frmStart& w = t.start();
    w.show();
    QTest::mouseClick(w.imgSetup[1], Qt::LeftButton); // opens the port with the identification request
    ASSERT_TRUE(t.port && t.port->isOpen());
    EXPECT_FALSE(w.isVisible()) << "meter setup hides the start window";
    w.show();
    t.link().drainMs = 20;
    t.port->queued = 4;
    t.dialogs->answers = {DialogService::Answer::Abort};
    EXPECT_FALSE(w.close());
    EXPECT_TRUE(w.isVisible());
    EXPECT_EQ(t.ended, 0);

    t.port->queued = 0;
    EXPECT_TRUE(w.close());
    EXPECT_FALSE(t.port->isOpen());
    EXPECT_EQ(t.ended, 1);
}
