// The start window through its controls: start-up state, languages, line type and PIN. (Closing
// the window is tested with the link it drains.)

#include "platform/picturebutton.h"
#include "platform/shape.h"
#include "support/fakesession.h"
#include "support/widgets.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <QTest>
#include <gtest/gtest.h>

namespace {

PictureButton* picture(frmStart& w, const char* array, int i)
{
    return ui::ctl<PictureButton>(w, QStringLiteral("%1_%2").arg(QLatin1String(array)).arg(i));
}

// Each work area shows the picture of language `lang` alone, in the place of index 0.
void expectLanguage(frmStart& w, int lang)
{
    for (const char* a : {"imgSetup", "imgLogdata", "imgDiagnostics"}) {
        for (int i = 0; i < 3; ++i)
            EXPECT_EQ(picture(w, a, i)->isVisible(), i == lang) << a << i;
        EXPECT_EQ(picture(w, a, lang)->pos(), picture(w, a, 0)->pos()) << a;
    }
}

} // namespace

TEST(StartWindow, StartUpLanguagesLineTypeAndPin)
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

    const std::pair<const char*, const char*> texts[] = {
        {"optRS232", "RS232"}, {"optRs485", "RS485 "}, {"txtMeterID", "17"}, {"lblTerms", "Terms and Conditions Apply"},
        {"lblMeterID", "Meter Adress"}, {"lblPin", "Meter PIN"}};
    for (const auto& [name, text] : texts)
        EXPECT_EQ(ui::ctl<QWidget>(w, name)->property("text").toString(), text) << name;
    EXPECT_TRUE(w.optRS232->isChecked());
    ASSERT_EQ(w.cmbNode->count(), 17);
    EXPECT_EQ(w.cmbNode->itemText(0), "Node 1");
    EXPECT_EQ(w.cmbNode->itemText(15), "Node 16");
    EXPECT_EQ(w.cmbNode->itemText(16), "Poll!");
    EXPECT_EQ(w.txtPin->text().size(), 4);
    for (const char* name : {"shpXmit", "imgSerialSetup", "Imgtitle", "imgLang_0", "imgLang_1", "imgLang_2"})
        EXPECT_TRUE(ui::ctl<QWidget>(w, name)->isVisible()) << name;

    // English pictures stand in the index-0 places, inside the window.
    const QPoint place0 = picture(w, "imgSetup", 0)->pos();
    expectLanguage(w, 1);
    EXPECT_TRUE(w.rect().contains(picture(w, "imgSetup", 1)->geometry()));
    const QImage english = picture(w, "imgSetup", 1)->picture().toImage();
    for (int lang : {2, 0, 1}) {
        SCOPED_TRACE(lang);
        QTest::mouseClick(w.imgLang[static_cast<std::size_t>(lang)], Qt::LeftButton);
        EXPECT_EQ(t.s().Language, lang);
        expectLanguage(w, lang);
        EXPECT_EQ(picture(w, "imgSetup", 0)->pos(), place0);
        EXPECT_EQ(picture(w, "imgSetup", lang)->picture().toImage() == english, lang == 1);
    }

    // RS485 shows the node list, always reset to polling; clicking the PIN clears it.
    EXPECT_FALSE(w.cmbNode->isVisible());
    QTest::mouseClick(w.optRs485, Qt::LeftButton);
    EXPECT_TRUE(w.cmbNode->isVisible());
    EXPECT_EQ(w.cmbNode->currentText(), "Poll!");
    w.cmbNode->setCurrentIndex(3);
    QTest::mouseClick(w.optRS232, Qt::LeftButton);
    EXPECT_FALSE(w.cmbNode->isVisible());
    QTest::mouseClick(w.optRs485, Qt::LeftButton);
    EXPECT_EQ(w.cmbNode->currentText(), "Poll!");

    QTest::mouseClick(w.txtPin, Qt::LeftButton);
    EXPECT_TRUE(w.txtPin->text().isEmpty());
}
