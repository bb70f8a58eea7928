// The configuration menu's Compare... with no meter: a file that is no site file is told and
// nothing shows; a site file shows the differences of the menu's cells, edits included, grouped,
// and Save writes them as zav-cli diff tells them.

#include "configtext/frmCompare.h"
#include "meterdata/frmConfig.h"
#include "meterdata/sitetest.h"
#include "support/channelsession.h"

#include <QLabel>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTreeWidget>

using namespace sitetest;

TEST(CompareWindow, ShowsTheMenusDifferencesFromASiteFileAndSavesThem)
{
    ChannelSession c;
    c.s().MeterModel = 1;
    c.s().FirmwareVersion = 3;
    frmConfig& menu = c.win<frmConfig>();
    menu.show();
    QTemporaryDir dir;
    const QString site = dir.filePath("commissioned.bin"), shortFile = dir.filePath("short.bin");
    ASSERT_TRUE(writeFile(site, factorySiteFile()));
    ASSERT_TRUE(writeFile(shortFile, factorySiteFile().left(700)));
    ScriptedDialogService& said = *c.t.dialogs;

    said.files = {shortFile};
    ui::click(ui::ctl<QPushButton>(menu, "cmdCompare"));
    ASSERT_EQ(said.transcript(), QStringList{"Compare: Nothing was compared: " + shortFile + " is not a whole site file: it has 700 "
                                             "bytes, a site file has 1455 (a 3-byte head and 1452 image bytes).\nChoose a site "
                                             "file stored by this program or by zav-cli (1455 bytes)."});
    EXPECT_EQ(c.s().windows().find<frmCompare>(), nullptr);

    // An edit not yet sent nor stored is part of what the menu holds.
    c.chan(1).CalFactor.f = 1.25f;
    said.files = {site};
    ui::click(ui::ctl<QPushButton>(menu, "cmdCompare"));
    frmCompare& w = c.win<frmCompare>();
    ASSERT_TRUE(w.isVisible());
    EXPECT_EQ(said.fileAsked.last().request.title, "Compare With Site File");
    auto* list = ui::ctl<QTreeWidget>(w, "lstDiff");
    QStringList rows;
    for (int i = 0; i < list->topLevelItemCount(); ++i) {
        const QTreeWidgetItem* group = list->topLevelItem(i);
        rows << group->text(0);
        for (int j = 0; j < group->childCount(); ++j)
            rows << "  " + QStringList{group->child(j)->text(0), group->child(j)->text(1), group->child(j)->text(2)}.join(" | ");
    }
    sim::Image edited = sim::FactoryImage();
    const float k = 1.25f;
    std::memcpy(edited.data() + 1068 + 76, &k, 4);
    const auto hex = [](int b) { return "0x" + QString::number(b & 0xFF, 16).toUpper().rightJustified(2, '0'); };
    const QString checksums = hex(byteSum(edited)) + " | " + hex(byteSum(sim::FactoryImage()));
    EXPECT_EQ(rows, (QStringList{"Site file head", "  Checksum | " + checksums, "Channel B", "  K_FACTOR | 1.25 | 1"}));
    EXPECT_TRUE(ui::ctl<QLabel>(w, "lblSummary")->text().endsWith("2 differences: 1 in the head, 1 cell."));
    EXPECT_LE(w.frameGeometry().width(), 1366);
    EXPECT_LE(w.frameGeometry().height(), 768);

    const QString saved = dir.filePath("differences.txt");
    said.files = {saved};
    ui::click(ui::ctl<QPushButton>(w, "cmdSave"));
    const QByteArray text = fileBytes(saved);
    EXPECT_TRUE(text.startsWith("A: the configuration in the menu (model 1, version 3, checksum ")) << text.toStdString();
    EXPECT_TRUE(text.endsWith("\r\nChannel B:\r\n  K_FACTOR: 1.25 -> 1\r\n2 differences: 1 in the head, 1 cell.\r\n"))
        << text.toStdString();
    said.files = {dir.filePath("no/such/folder/differences.txt")};
    ui::click(ui::ctl<QPushButton>(w, "cmdSave"));
    EXPECT_TRUE(said.transcript().last().startsWith("Save Differences: The differences were not saved:"));
}
