// The configuration menu's store, recall and print through its controls, with scripted file
// dialogs and no meter: the dialogs asked, the files written, the image, cells, labels and buttons
// after each recall, the failures the user is told about, and the marks of offline work.

#include "meterdata/frmConfig.h"
#include "sitetest.h"
#include "support/fakesession.h"
#include "support/widgets.h"

#include <QDir>
#include <QLabel>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

using namespace sitetest;

namespace {

const QString kSiteFilter = "All Files (*.*)|*.*|Data Files (*.bin *.dna)|*.bin;*.dna";
const QString kPrintFilter = "All Files (*.*)|*.*|Text Files(*.txt)|*.txt|Batch Files (*.bat)|*.bat";
const QString kModel = "Model:     ARX4400LP";

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
    PictureButton* button(const QString& name) { return ui::ctl<PictureButton>(*cfg, name); }
    void click(const QString& name) { ui::click(button(name)); }
    void clickPrint() { ui::click(ui::ctl<QPushButton>(*cfg, "cmdPrint")); }
    QString path(const QString& name) const { return dir.filePath(name); }
    // Recalls the file through the recall picture of the current language.
    void recall(const QString& file)
    {
        t.dialogs->files = {file};
        click(QStringLiteral("imgRecall_%1").arg(t.s().Language));
    }
    // Store and send shown or not; the setup pictures enabled exactly when store is shown.
    void expectButtons(bool store, bool send)
    {
        EXPECT_EQ(button("imgStore_1")->isVisible(), store);
        EXPECT_EQ(button("imgSendSite_1")->isVisible(), send);
        for (const char* name : {"imgChannel_1", "imgGlobal_1", "imgCurent", "imgLogic", "imgZero", "imgCal", "ImgRespns"})
            EXPECT_EQ(button(name)->isEnabled(), store) << name;
    }
    QByteArray image(int n) const { return QByteArray(reinterpret_cast<const char*>(t.session->ParamImage.data()), n); }
    void expectFileRequest(bool save, const QString& title, const QString& filter, const QString& ext)
    {
        ASSERT_FALSE(t.dialogs->fileAsked.isEmpty());
        const ScriptedDialogService::FileAsked& a = t.dialogs->fileAsked.last();
        EXPECT_EQ(std::tie(a.save, a.request.title, a.request.filter, a.request.filterIndex, a.request.defaultExt),
                  std::tuple(save, title, filter, 2, ext));
    }
};

} // namespace

TEST_F(OfflineMenu, RecallUnlocksWithTheFileThenStoreAndPrintGiveItBack)
{
    // Before any image: the sheet of empty cells and empty labels, from the locked menu.
    t.dialogs->files = {path("empty")};
    clickPrint();
    expectFileRequest(true, "Print Site", kPrintFilter, "txt");
    QList<QByteArray> lines = sheetLines(fileBytes(path("empty.txt")));
    ASSERT_EQ(lines.size(), 91);
    EXPECT_EQ(lines[1], "MODEL");
    EXPECT_EQ(lines[4], " \tMeterName\t          ");
    EXPECT_EQ(lines[13], " \tOut MIN\t.00lpm");

    // The identified meter's serial number stays with the labels through a recall.
    t.s().SerialNumber = 12345;
    const QByteArray site = factorySiteFile(1, 3);
    ASSERT_TRUE(writeFile(path("factory.dna"), site));
    recall(path("factory.dna"));
    expectFileRequest(false, "Recall Site File", kSiteFilter, "bin");
    EXPECT_EQ(t.s().ImageValid, 1);
    expectButtons(true, true);
    // Still offline, and no port was ever opened.
    EXPECT_EQ(t.s().OfflineMode, Session::kOffline);
    EXPECT_EQ(t.port, nullptr);
    EXPECT_TRUE(t.dialogs->asked.isEmpty());

    // Print: the hand-written sheet of the factory image, with the labels the recall left (the
    // cells were decoded).
    t.dialogs->files = {path("sheet")};
    clickPrint();
    EXPECT_EQ(fileBytes(path("sheet.txt")), expectedFactorySheet());

    // Store under a name typed without extension: ".bin" is added, the bytes are the file's.
    t.dialogs->files = {path("copy")};
    click("imgStore_1");
    expectFileRequest(true, "Store Site File", kSiteFilter, "bin");
    EXPECT_EQ(fileBytes(path("copy.bin")), site);

    // Cancelled store and print write nothing and encode nothing.
    t.s().GlobalCells.MeterName.text = "EDITED";
    t.s().ChannelCells[0].ResponseTime.u = 7;
    click("imgStore_1");
    clickPrint();
    EXPECT_EQ(filesIn(dir.path()), (QStringList{"copy.bin", "empty.txt", "factory.dna", "sheet.txt"}));

    // Printed again over the same name: replaced, with the cells as edited, still not encoded.
    t.dialogs->files = {path("sheet.txt")};
    clickPrint();
    EXPECT_EQ(t.dialogs->fileAsked.last().request.initialName, path("sheet.txt")) << "offered the last name";
    lines = sheetLines(fileBytes(path("sheet.txt")));
    ASSERT_EQ(lines.size(), 91);
    EXPECT_EQ(lines[4], " \tMeterName\tEDITED    ");
    EXPECT_EQ(lines[25 + 13], " \tAVERAGE\t 7BOXCAR");
    EXPECT_EQ(image(10), "ZAV METER ");

    // A store takes the edited cells, with the checksum of the new bytes.
    t.dialogs->files = {path("copy.bin")};
    click("imgStore_1");
    QByteArray edited = site;
    edited.replace(3, 10, "EDITED    ");
    edited[3 + 684 + 60] = 7;
    edited[2] = static_cast<char>(byteSum(edited.mid(3)));
    EXPECT_EQ(fileBytes(path("copy.bin")), edited);
    EXPECT_TRUE(t.dialogs->asked.isEmpty()) << t.dialogs->transcript().join('\n').toStdString();

    // A store or print that fails part way (file size limit, as a full disk): told, the old file whole.
    ASSERT_TRUE(writeFile(path("keep.bin"), "an earlier file"));
    {
        FileSizeLimit limit(100);
        t.dialogs->files = {path("keep.bin")};
        click("imgStore_1");
        t.dialogs->files = {path("keep.bin")};
        clickPrint();
    }
    ASSERT_EQ(t.dialogs->asked.size(), 2);
    EXPECT_EQ(t.dialogs->asked[0].title, "Store Site File");
    EXPECT_TRUE(t.dialogs->asked[0].text.startsWith("The site file was not saved:\n" + path("keep.bin") + "\n"));
    EXPECT_TRUE(t.dialogs->asked[0].text.endsWith("\nAn earlier file of that name is unchanged."));
    EXPECT_EQ(t.dialogs->asked[1].title, "Print Site");
    EXPECT_TRUE(t.dialogs->asked[1].text.startsWith("The audit sheet was not saved:\n" + path("keep.bin") + "\n"));
    EXPECT_EQ(fileBytes(path("keep.bin")), "an earlier file");
    EXPECT_EQ(filesIn(dir.path()), (QStringList{"copy.bin", "empty.txt", "factory.dna", "keep.bin", "sheet.txt"}));
}

// Each recall in turn: the image bytes, validity, buttons, labels and cells it leaves, and what the
// user is told. Only a whole file is offered for sending; refused files change nothing.
TEST_F(OfflineMenu, RecallOutcomes)
{
    cfg->lblModel->setText("before");
    QByteArray damaged = factorySiteFile(1, 3);
    damaged[2] = static_cast<char>(damaged[2] + 1);
    const QString tooLong = "The file is too long to be a site file:\n", unreadable = "The site file could not be read:\n";
    const struct {
        QString path;
        QByteArray bytes; // written first unless null
        bool taken;
        QString told;     // the start of the message, without the path
        int valid;
        bool store, send;
        QString model;
    } rows[] = {
        {path("big.bin"), QByteArray(3 + 2002, 'A'), false, tooLong, 0, false, false, "before"}, // stays locked
        {path("short.bin"), factorySiteFile(2, 9).left(3 + 1000), true, {}, 0, true, false, "before"}, // labels kept
        {path("damaged.bin"), damaged, true, {}, 0, true, false, kModel},
        {path("fits.bin"), QByteArray(3 + 2001, 'B'), true, {}, 0, true, false, kModel},
        {path("good.bin"), factorySiteFile(1, 3), true, {}, 1, true, true, kModel},
        {path("big.bin"), {}, false, tooLong, 1, true, true, kModel}, // the valid image stays
        {path("gone.bin"), {}, false, unreadable, 1, true, true, kModel},
        {dir.path(), {}, false, unreadable, 1, true, true, kModel},
        {"", {}, false, {}, 1, true, true, kModel}, // cancelled
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.path.toStdString());
        ASSERT_TRUE(r.bytes.isNull() || writeFile(r.path, r.bytes));
        const QByteArray before = image(2000);
        const int model = t.s().MeterModel, length = t.s().ImageLength;
        t.dialogs->asked.clear();
        recall(r.path);
        EXPECT_EQ(image(2000), r.taken ? r.bytes.mid(3, 2000).leftJustified(2000, '\0') : before);
        EXPECT_EQ(t.s().ImageValid, r.valid);
        expectButtons(r.store, r.send);
        EXPECT_EQ(cfg->lblModel->text(), r.model);
        EXPECT_EQ(t.s().ImageLength, r.taken ? 1452 : length);
        EXPECT_EQ(t.s().MeterModel, r.taken ? static_cast<std::uint8_t>(r.bytes[0]) : model);
        if (r.taken) { // the cells decoded from the new image
            EXPECT_EQ(t.s().FirmwareVersion, static_cast<std::uint8_t>(r.bytes[1]));
            EXPECT_EQ(QByteArray::fromStdString(t.s().GlobalCells.MeterName.text), image(10));
            const QByteArray im = image(1072);
            EXPECT_EQ(t.s().ChannelCells[1].XducerType.u, std::uint8_t(im[1070]) + 256u * std::uint8_t(im[1071]));
        }
        ASSERT_EQ(t.dialogs->asked.size(), r.told.isEmpty() ? 0 : 1);
        if (!r.told.isEmpty()) {
            EXPECT_EQ(t.dialogs->asked[0].title, "Recall Site File");
            EXPECT_EQ(t.dialogs->asked[0].icon, DialogService::Icon::Exclamation);
            EXPECT_TRUE(t.dialogs->asked[0].text.startsWith(r.told + r.path + "\n"))
                << t.dialogs->asked[0].text.toStdString();
        }
    }
    EXPECT_FALSE(QFile::exists(path("gone.bin"))) << "recall never creates the file";

    // A damaged file is not offered for sending after a language switch either; even called
    // directly, send opens no port and returns to the start window.
    recall(path("damaged.bin"));
    t.s().Language = 0;
    cfg->SetLang(0);
    EXPECT_TRUE(button("imgStore_0")->isVisible());
    EXPECT_FALSE(button("imgSendSite_0")->isVisible());
    cfg->imgSendSite_Click();
    EXPECT_EQ(t.port, nullptr);
    EXPECT_TRUE(t.start().isVisible());
    EXPECT_FALSE(cfg->isVisible());
    EXPECT_EQ(ui::ctl<QLabel>(t.start(), "lblSendState")->text(),
              "Nothing was sent: the recalled site file is short or damaged, and such a file is never sent.");
}

// Offline, the menu says so and names the site file it works from; the recall dialog's preselected
// entry lists the ".bin" files Store writes. Send without an image says why nothing was sent.
TEST_F(OfflineMenu, OfflineWorkIsMarkedAndRecallListsStoredSiteFiles)
{
    QLabel* work = ui::ctl<QLabel>(*cfg, "lblWorkState");
    EXPECT_EQ(work->text(), "OFFLINE");
    cfg->imgSendSite_Click();
    EXPECT_EQ(ui::ctl<QLabel>(t.start(), "lblSendState")->text(),
              "Nothing was sent: there is no complete configuration (read it from the meter or recall a whole site file).");
    EXPECT_EQ(t.port, nullptr);

    cfg->show();
    ASSERT_TRUE(writeFile(path("factory.dna"), factorySiteFile()));
    ASSERT_TRUE(writeFile(path("notes.txt"), "not a site file"));
    recall(path("factory.dna"));
    EXPECT_EQ(work->text(), "OFFLINE - Site file factory.dna");
    t.dialogs->files = {path("site")};
    click("imgStore_1");
    recall(path("site.bin"));
    EXPECT_EQ(work->text(), "OFFLINE - Site file site.bin");
    EXPECT_EQ(t.s().ImageValid, 1);

    const DialogService::FileRequest& asked = t.dialogs->fileAsked.last().request;
    const QString entry = DialogService::qtFilters(asked.filter).value(asked.filterIndex - 1);
    const QStringList patterns = entry.section('(', 1).section(')', 0, 0).split(' ');
    EXPECT_EQ(QDir(dir.path()).entryList(patterns, QDir::Files, QDir::Name), (QStringList{"factory.dna", "site.bin"}))
        << entry.toStdString();
}
