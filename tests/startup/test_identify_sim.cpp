// The tool identifies the meter simulator through a real QSerialPort on its pseudo-terminal.

#include "support/fakesession.h"
#include "support/simprocess.h"

#include <QTest>
#include <gtest/gtest.h>

TEST(IdentifySimulator, StartWindowIdentifiesTheMeterAndStartsTheImageRead)
{
    SimProcess sim({"--model", "1", "--version", "7", "--serial", "4242"});
    ASSERT_TRUE(sim.ok());
    TestSession t(TestSession::Port::Real);
    t.s().settings().setValue("Ports", "Com1", sim.device());
    t.start().show();
    QTest::mouseClick(t.start().imgSetup[1], Qt::LeftButton);
    ASSERT_TRUE(TestSession::waitFor([&] { return t.s().SerialNumber == 4242; }, 3000))
        << t.dialogs->transcript().join('\n').toStdString();
    EXPECT_EQ(t.s().MeterModel, 1);
    EXPECT_EQ(t.s().FirmwareVersion, 7);
    EXPECT_TRUE(t.dialogs->asked.isEmpty()) << t.dialogs->transcript().join('\n').toStdString();
    const QString summary = sim.stop();
    EXPECT_EQ(sim.exitCode(), 0);
    EXPECT_TRUE(summary.contains("34:1")) << summary.toStdString();
}
