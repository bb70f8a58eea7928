#pragma once
// The setup read against the meter simulator: the meter loads its image from a site file of the
// factory image (imageFile) and saves every image it is sent to that file; the tool's setup button
// is clicked and the read runs until the image is valid and the line is quiet again. The test
// target defines ZAV_METER_SIM_PATH and links the simulator library.

#include "imagefile.h"
#include "meterdata/frmConfig.h"
#include "support/bytes.h"
#include "support/fakesession.h"
#include "support/simprocess.h"

#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

#include <memory>

struct SimRead {
    QTemporaryDir dir;
    QString imageFile = dir.filePath(QStringLiteral("meter-image.bin"));
    std::unique_ptr<SimProcess> meter;
    TestSession t{TestSession::Port::Real}; // ends before the meter

    frmConfig& menu() { return t.s().windows().get<frmConfig>(); }

    // Starts the meter with `blockWords` words per read block (and any further options) and reads
    // its image through the setup button. Fails the test when the image does not arrive whole in time.
    void read(int blockWords = 122, int timeoutMs = 10000, const QStringList& more = {})
    {
        std::string error;
        ASSERT_TRUE(dir.isValid());
        ASSERT_TRUE(sim::WriteSiteFile(imageFile.toStdString(), sim::FactoryImage(), 1, 3, error)) << error;
        meter = std::make_unique<SimProcess>(QStringList{"--chunk-words", QString::number(blockWords), "--baud",
                                                         "115200", "--image", imageFile, "--save"} + more);
        ASSERT_TRUE(meter->ok());
        t.s().settings().setValue("Ports", "Com1", meter->device());
        t.start().show();
        QTest::mouseClick(t.start().imgSetup[1], Qt::LeftButton);
        ASSERT_TRUE(TestSession::waitFor([&] { return t.s().ImageValid == 1; }, timeoutMs))
            << "image bytes read: " << t.s().ImageLength << "\n" << t.dialogs->transcript().join('\n').toStdString();
        waitForQuietLine();
    }

    // A request sent while an answer is on the line would merge with it: waits until the link has
    // no request in flight, then lets the line go quiet.
    void waitForQuietLine()
    {
        ASSERT_TRUE(TestSession::waitFor([&] { return !t.link().tmrTimeOut->isActive(); }, 3000));
        TestSession::pump(60);
    }

    // The tool's 1452 image bytes.
    QByteArray toolImage() const
    {
        return QByteArray(reinterpret_cast<const char*>(t.session->ParamImage.data()), 1452);
    }
};
