// The configuration menu's store, recall and print through its controls, with scripted file
// dialogs and no meter: the dialogs asked, the files written, the image, cells, labels and buttons
// after each recall, and the failures the user is told about.

#include "meterdata/frmConfig.h"
#include "meterdata/modBinaryRW.h"
#include "sitetest.h"
#include "support/fakesession.h"

#include <QLabel>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

using namespace sitetest;

namespace {

const QString kSiteFilter = "All Files (*.*)|*.*|Data Files (*.dna)|*.dna";
const QString kPrintFilter = "All Files (*.*)|*.*|Text Files(*.txt)|*.txt|Batch Files (*.bat)|*.bat";

// The menu as the time-out's "Work Offline?" leaves it: locked, shown, offline, no port open.
struct OfflineMenu : ::testing::Test {
    TestSession t;
    frmConfig* cfg = nullptr;
    QTemporaryDir dir;

    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        t.s().OfflineMode = Session::kOffline;
        cfg = &t.s().windows().get<frmConfig>();
        cfg->Lock_input();
        cfg->show();
    }
    PictureButton* button(const QString& name)
    {
        auto* b = cfg->findChild<PictureButton*>(name);
        EXPECT_NE(b, nullptr) << name.toStdString();
        return b;
    }
    void click(const QString& name) { QTest::mouseClick(button(name), Qt::LeftButton); }
    void clickPrint() { QTest::mouseClick(cfg->findChild<QPushButton*>("cmdPrint"), Qt::LeftButton); }
    QString path(const QString& name) const { return dir.filePath(name); }
    // Recalls the file through the recall picture of the current language.
    void recall(const QString& file)
    {
        t.dialogs->files = {file};
        click(QStringLiteral("imgRecall_%1").arg(t.s().Language));
    }
    bool setupEnabled()
    {
        bool all = true;
        for (const char* name : {"imgChannel_1", "imgGlobal_1", "imgCurent", "imgLogic", "imgZero", "imgCal", "ImgRespns"})
            all = all && button(name)->isEnabled();
        return all;
    }
    bool setupDisabled()
    {
        bool none = true;
        for (const char* name : {"imgChannel_1", "imgGlobal_1", "imgCurent", "imgLogic", "imgZero", "imgCal", "ImgRespns"})
            none = none && !button(name)->isEnabled();
        return none;
    }
    QByteArray image(int n = 1452) const
    {
        return QByteArray(reinterpret_cast<const char*>(t.session->ParamImage.data()), n);
    }
};

void expectFileRequest(const ScriptedDialogService::FileAsked& a, bool save, const QString& title, const QString& filter,
                       const QString& ext)
{
    EXPECT_EQ(a.save, save);
    EXPECT_EQ(a.request.title, title);
    EXPECT_EQ(a.request.filter, filter);
    EXPECT_EQ(a.request.filterIndex, 2);
    EXPECT_EQ(a.request.defaultExt, ext);
}

QString checksumLabel(const QByteArray& image)
{
    unsigned sum = 0;
    for (char b : image)
        sum += static_cast<unsigned char>(b);
    return "ChkSum " + QString::number(sum & 0x7FFF, 16).toUpper();
}

} // namespace

TEST_F(OfflineMenu, RecallUnlocksWithTheFileThenStoreGivesItBack)
{
    const QByteArray site = factorySiteFile(1, 3);
    ASSERT_TRUE(writeFile(path("factory.dna"), site));
    std::fill(t.s().ParamImage.begin(), t.s().ParamImage.end(), std::uint8_t{0xEE});
    EXPECT_FALSE(button("imgStore_1")->isVisible());
    EXPECT_TRUE(setupDisabled());

    recall(path("factory.dna"));
    ASSERT_EQ(t.dialogs->fileAsked.size(), 1);
    expectFileRequest(t.dialogs->fileAsked[0], false, "Recall Site File", kSiteFilter, "bin");
    EXPECT_EQ(cfg->RecallFileName, path("factory.dna"));

    // The image, its length and validity, the decoded cells and the labels, all from the file.
    EXPECT_EQ(t.s().ImageValid, 1);
    EXPECT_EQ(t.s().ImageLength, 1452);
    EXPECT_EQ(image(), site.mid(3));
    EXPECT_EQ(image(2000).mid(1452), QByteArray(548, '\0'));
    EXPECT_EQ(t.s().MeterModel, 1);
    EXPECT_EQ(t.s().FirmwareVersion, 3);
    EXPECT_EQ(t.s().GlobalCells.MeterName.text, "ZAV METER ");
    EXPECT_EQ(t.s().ChannelCells[1].XducerType.u, 2u);
    EXPECT_FLOAT_EQ(t.s().ChannelCells[0].FluidVOS.f, 1481.0f);
    EXPECT_EQ(cfg->lblModel->text(), "Model:     ARX4400LP");
    EXPECT_EQ(cfg->lblSoftVer->text(), "Version     V 3");
    EXPECT_EQ(cfg->lblSN->text(), "Serial No. FT 0") << "the file carries no serial number";
    EXPECT_EQ(cfg->lblChecksum->text(), checksumLabel(site.mid(3)));
    EXPECT_TRUE(button("imgStore_1")->isVisible());
    EXPECT_TRUE(button("imgSendSite_1")->isVisible());
    EXPECT_TRUE(setupEnabled());
    // Still offline, and no port was ever opened.
    EXPECT_EQ(t.s().OfflineMode, Session::kOffline);
    EXPECT_EQ(t.port, nullptr);
    EXPECT_FALSE(t.s().hasLink());
    EXPECT_TRUE(t.dialogs->asked.isEmpty());

    // Store under a name typed without extension: ".bin" is added, the bytes are the file's.
    t.dialogs->files = {path("copy")};
    click("imgStore_1");
    ASSERT_EQ(t.dialogs->fileAsked.size(), 2);
    expectFileRequest(t.dialogs->fileAsked[1], true, "Store Site File", kSiteFilter, "bin");
    EXPECT_EQ(cfg->StoreFileName, path("copy.bin"));
    EXPECT_EQ(fileBytes(path("copy.bin")), site);
    EXPECT_EQ(otherEntries(dir.path(), {"factory.dna", "copy.bin"}), QStringList());

    // A cancelled store writes nothing and encodes nothing.
    t.s().GlobalCells.MeterName.text = "EDITED";
    click("imgStore_1");
    EXPECT_EQ(t.dialogs->fileAsked.size(), 3);
    EXPECT_EQ(image(10), "ZAV METER ");
    EXPECT_EQ(otherEntries(dir.path(), {"factory.dna", "copy.bin"}), QStringList());

    // A store takes the edited cells, with the checksum of the new bytes.
    t.dialogs->files = {path("copy.bin")};
    click("imgStore_1");
    const QByteArray edited = fileBytes(path("copy.bin"));
    ASSERT_EQ(edited.size(), 1455);
    EXPECT_EQ(edited.mid(3, 10), "EDITED    ");
    EXPECT_EQ(edited.mid(13), site.mid(13));
    EXPECT_EQ(edited[2], byteSum(edited.mid(3)));
    EXPECT_NE(edited[2], site[2]);

    // The unlocked state holds through a language switch; the Korean pictures carry it.
    t.s().Language = 2;
    cfg->SetLang(2);
    EXPECT_TRUE(button("imgSendSite_2")->isVisible());
    EXPECT_TRUE(button("imgStore_2")->isVisible());
    EXPECT_FALSE(button("imgStore_1")->isVisible());
}

TEST_F(OfflineMenu, DamagedShortAndOtherModelFilesAreShownButNeverSent)
{
    t.s().SerialNumber = 4321;
    QByteArray damaged = factorySiteFile(1, 3);
    damaged[2] = static_cast<char>(damaged[2] + 1);
    ASSERT_TRUE(writeFile(path("damaged.bin"), damaged));

    recall(path("damaged.bin"));
    EXPECT_EQ(t.s().ImageValid, 0);
    EXPECT_EQ(image(), damaged.mid(3));
    EXPECT_EQ(t.s().GlobalCells.MeterName.text, "ZAV METER ");
    EXPECT_EQ(cfg->lblModel->text(), "Model:     ARX4400LP");
    EXPECT_EQ(cfg->lblSN->text(), "Serial No. FT 4321");
    EXPECT_EQ(cfg->lblChecksum->text(), checksumLabel(damaged.mid(3)));
    EXPECT_TRUE(setupEnabled()) << "shown for inspection";
    EXPECT_TRUE(button("imgStore_1")->isVisible());
    EXPECT_FALSE(button("imgSendSite_1")->isVisible()) << "never offered for sending";
    t.s().Language = 0;
    cfg->SetLang(0);
    EXPECT_TRUE(button("imgStore_0")->isVisible());
    EXPECT_FALSE(button("imgSendSite_0")->isVisible()) << "not after a language switch either";
    t.s().Language = 1;
    cfg->SetLang(1);
    // Even called directly, send writes nothing (no port is even opened) and returns to start.
    cfg->imgSendSite_Click();
    EXPECT_EQ(t.port, nullptr);
    EXPECT_TRUE(t.start().isVisible());
    EXPECT_FALSE(cfg->isVisible());
    cfg->show();
    EXPECT_TRUE(t.dialogs->asked.isEmpty()) << "a damaged file is shown, not reported";

    // Short file of another model: decoded with zeros after it, the labels stay.
    QByteArray shortFile = factorySiteFile(2, 9).left(3 + 1000);
    ASSERT_TRUE(writeFile(path("short.bin"), shortFile));
    cfg->lblModel->setText("kept");
    recall(path("short.bin"));
    EXPECT_EQ(t.s().ImageValid, 0);
    EXPECT_EQ(t.s().ImageLength, 1452);
    EXPECT_EQ(t.s().MeterModel, 2);
    EXPECT_EQ(t.s().FirmwareVersion, 9);
    EXPECT_EQ(t.s().ChannelCells[1].XducerType.u, 0u) << "channel 2 lies beyond the short file";
    EXPECT_EQ(cfg->lblModel->text(), "kept");
    EXPECT_FALSE(button("imgSendSite_1")->isVisible());

    // A whole file brings send back.
    ASSERT_TRUE(writeFile(path("good.bin"), factorySiteFile(1, 3)));
    recall(path("good.bin"));
    EXPECT_EQ(t.s().ImageValid, 1);
    EXPECT_TRUE(button("imgSendSite_1")->isVisible());
    EXPECT_EQ(cfg->lblModel->text(), "Model:     ARX4400LP");
}

TEST_F(OfflineMenu, FileTooLongForTheImageIsRefusedAndChangesNothing)
{
    QByteArray tooLong(3 + 2002, '\x41');
    tooLong[0] = 7;
    ASSERT_TRUE(writeFile(path("big.bin"), tooLong));
    cfg->lblModel->setText("before");

    // From the locked menu: told, stays locked, the image untouched.
    recall(path("big.bin"));
    ASSERT_EQ(t.dialogs->asked.size(), 1);
    EXPECT_TRUE(t.dialogs->asked[0].text.contains("too long")) << t.dialogs->asked[0].text.toStdString();
    EXPECT_EQ(t.s().ImageValid, 0);
    EXPECT_TRUE(setupDisabled());
    EXPECT_FALSE(button("imgStore_1")->isVisible());
    EXPECT_FALSE(button("imgSendSite_1")->isVisible());
    EXPECT_EQ(t.s().MeterModel, 0);
    EXPECT_EQ(t.s().ImageLength, 0);
    EXPECT_EQ(image(2001), QByteArray(2001, '\0'));
    EXPECT_EQ(cfg->lblModel->text(), "before");

    // From an unlocked menu: the recalled image stays whole, valid and sendable.
    ASSERT_TRUE(writeFile(path("good.bin"), factorySiteFile(1, 3)));
    recall(path("good.bin"));
    ASSERT_EQ(t.s().ImageValid, 1);
    const QByteArray before = image(2001);
    recall(path("big.bin"));
    EXPECT_EQ(t.dialogs->asked.size(), 2);
    EXPECT_EQ(t.s().ImageValid, 1);
    EXPECT_EQ(image(2001), before);
    EXPECT_TRUE(button("imgSendSite_1")->isVisible());
    EXPECT_TRUE(button("imgStore_1")->isVisible());
    EXPECT_EQ(t.s().MeterModel, 1);
    EXPECT_EQ(t.s().GlobalCells.MeterName.text, "ZAV METER ");
    EXPECT_EQ(cfg->lblModel->text(), "Model:     ARX4400LP");

    // One byte less fits the image: read and shown, never sendable.
    QByteArray fits(3 + 2001, '\x42');
    ASSERT_TRUE(writeFile(path("fits.bin"), fits));
    recall(path("fits.bin"));
    EXPECT_EQ(t.dialogs->asked.size(), 2);
    EXPECT_EQ(t.s().ImageValid, 0);
    EXPECT_FALSE(button("imgSendSite_1")->isVisible());
    EXPECT_EQ(image(2000).right(1), QByteArray(1, '\x42'));
}

TEST_F(OfflineMenu, FilesThatCannotBeReadOrWrittenAreReported)
{
    const QByteArray site = factorySiteFile(1, 3);
    ASSERT_TRUE(writeFile(path("good.bin"), site));
    recall(path("good.bin"));
    ASSERT_EQ(t.s().ImageValid, 1);

    // Cancelled recall: nothing asked, nothing changed.
    click("imgRecall_1");
    EXPECT_EQ(t.s().ImageValid, 1);
    EXPECT_TRUE(t.dialogs->asked.isEmpty());

    // A file gone between choosing and reading, and a folder: told, nothing changed.
    for (const QString& bad : {path("gone.bin"), dir.path()}) {
        t.dialogs->asked.clear();
        recall(bad);
        ASSERT_EQ(t.dialogs->asked.size(), 1) << bad.toStdString();
        EXPECT_EQ(t.dialogs->asked[0].title, "Recall Site File");
        EXPECT_TRUE(t.dialogs->asked[0].text.startsWith("The site file could not be read:\n" + bad + "\n"))
            << t.dialogs->asked[0].text.toStdString();
        EXPECT_EQ(t.dialogs->asked[0].icon, DialogService::Icon::Exclamation);
        EXPECT_EQ(t.s().ImageValid, 1);
        EXPECT_EQ(image(), site.mid(3));
        EXPECT_TRUE(button("imgSendSite_1")->isVisible());
        EXPECT_FALSE(QFile::exists(path("gone.bin"))) << "recall never creates the file";
    }

    // A store that fails part way (file size limit, as a full disk): told, the old file whole.
    t.dialogs->asked.clear();
    const QByteArray previous = "an earlier site file";
    ASSERT_TRUE(writeFile(path("keep.bin"), previous));
    t.dialogs->files = {path("keep.bin")};
    {
        FileSizeLimit limit(100);
        click("imgStore_1");
    }
    ASSERT_EQ(t.dialogs->asked.size(), 1);
    EXPECT_EQ(t.dialogs->asked[0].title, "Store Site File");
    EXPECT_TRUE(t.dialogs->asked[0].text.startsWith("The site file was not saved:\n" + path("keep.bin") + "\n"));
    EXPECT_TRUE(t.dialogs->asked[0].text.endsWith("\nAn earlier file of that name is unchanged."));
    EXPECT_EQ(fileBytes(path("keep.bin")), previous);
    EXPECT_EQ(otherEntries(dir.path(), {"good.bin", "keep.bin"}), QStringList());


    // An audit sheet that cannot be written: told, the old file whole.
    t.dialogs->files = {path("keep.bin")};
    {
        FileSizeLimit limit(100);
        clickPrint();
    }
    ASSERT_EQ(t.dialogs->asked.size(), 2);
    EXPECT_EQ(t.dialogs->asked[1].title, "Print Site");
    EXPECT_TRUE(t.dialogs->asked[1].text.startsWith("The audit sheet was not saved:\n" + path("keep.bin") + "\n"));
    EXPECT_EQ(fileBytes(path("keep.bin")), previous);
}

TEST_F(OfflineMenu, PrintWritesTheSheetOfTheCells)
{
    // Before any image: the sheet of empty cells and empty labels, from the locked menu.
    t.dialogs->files = {path("empty")};
    clickPrint();
    ASSERT_EQ(t.dialogs->fileAsked.size(), 1);
    expectFileRequest(t.dialogs->fileAsked[0], true, "Print Site", kPrintFilter, "txt");
    QList<QByteArray> lines = sheetLines(fileBytes(path("empty.txt")));
    ASSERT_EQ(lines.size(), 91);
    EXPECT_EQ(lines[1], "MODEL");
    EXPECT_EQ(lines[4], " \tMeterName\t          ");
    EXPECT_EQ(lines[13], " \tOut MIN\t.00lpm");

    // The identified meter's serial number stays with the labels through a recall.
    t.s().SerialNumber = 12345;
    ASSERT_TRUE(writeFile(path("factory.bin"), factorySiteFile(1, 3)));
    recall(path("factory.bin"));
    t.dialogs->files = {path("sheet")};
    clickPrint();
    EXPECT_EQ(fileBytes(path("sheet.txt")), expectedFactorySheet());

    // Cancelled: nothing written. Printed again over the same name: replaced.
    clickPrint();
    EXPECT_EQ(otherEntries(dir.path(), {"empty.txt", "factory.bin", "sheet.txt"}), QStringList());
    // The sheet shows the cells as edited, without encoding them into the image.
    t.s().ChannelCells[0].ResponseTime.u = 7;
    t.dialogs->files = {path("sheet.txt")};
    clickPrint();
    lines = sheetLines(fileBytes(path("sheet.txt")));
    ASSERT_EQ(lines.size(), 91);
    EXPECT_EQ(lines[25 + 13], " \tAVERAGE\t 7BOXCAR");
    EXPECT_EQ(t.s().ParamImage[684 + 60], 99);
    EXPECT_EQ(t.dialogs->fileAsked.last().request.initialName, path("sheet.txt")) << "offered the last name";
    EXPECT_TRUE(t.dialogs->asked.isEmpty());
}
