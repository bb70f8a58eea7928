// One edit per group through a setup window's controls, sent to the meter simulator from the
// configuration menu; zav-cli diff between the site file the meter held before and the meter's
// image now lists exactly the cells that edit owns, all in that group, and no byte outside them.

#include "analogio/frmAnalogOUT.h"
#include "channel/frmPLC.h"
#include "channel/frmResponse.h"
#include "channel/frmXY.h"
#include "meterdata/frmGlobal.h"
#include "support/printers.h"
#include "support/simread.h"
#include "support/widgets.h"

#include <QCheckBox>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRadioButton>

#include <functional>

using namespace testbytes;

namespace {

struct GroupEdit {
    const char* group; // as diff heads it
    std::function<void(Session&, frmConfig&)> edit;
    QStringList cells;
};

void responseTime(Session& s, frmConfig& menu, const char* channel)
{
    ui::click(menu.ImgRespns);
    auto& r = s.windows().get<frmResponse>();
    ui::pick(r.cmbChann, channel);
    ui::click(ui::ctl<QRadioButton>(r, "optTime_3"));
    ui::click(r.imgAccept);
}

const GroupEdit kEdits[] = {
    {"Global",
     [](Session& s, frmConfig& menu) {
         ui::click(menu.imgGlobal[1]);
         auto& g = s.windows().get<frmGlobal>();
         ui::type(g.txtGval[0], "PLANT 3");
         ui::click(g.imgConfirm);
     },
     {"global.MeterName"}},
    {"Channel A", [](Session& s, frmConfig& menu) { responseTime(s, menu, "Chan A"); }, {"chanA.ResponseTime"}},
    {"Channel B", [](Session& s, frmConfig& menu) { responseTime(s, menu, "Chan B"); }, {"chanB.ResponseTime"}},
    {"Loops",
     [](Session& s, frmConfig& menu) {
         ui::click(menu.imgCurent);
         auto& a = s.windows().get<frmAnalogOUT>();
         ui::type(a.txtHifloat, "30");
         ui::click(a.imgBack);
     },
     {"loops.LoopCells[3].OutMax"}},
    {"Logic I/O",
     [](Session& s, frmConfig& menu) {
         ui::click(menu.imgLogic);
         auto& p = s.windows().get<frmPLC>();
         ui::click(p.optTOTAL);
         ui::type(p.txtData, "3");
         ui::click(p.imgBack);
     },
     {"logic.IoCells[0].LogicMode", "logic.IoCells[0].LogicValue[0]", "logic.IoCells[0].LogicValue[1]"}},
    {"Calibration tables",
     [](Session& s, frmConfig& menu) {
         ui::click(menu.imgCal);
         auto& xy = s.windows().get<frmXY>();
         ui::click(xy.chkMuiltPoint);
         ui::type(xy.txtXData, "10");
         ui::type(xy.txtYData, "2");
         ui::click(xy.imgAdd);
         ui::click(xy.imgOK);
     },
     {"cal.chanA.CalPoints", "cal.chanA.CalTableKind", "cal.chanA.Curve.x[0]", "cal.chanA.Curve.y[0]"}},
};

class GroupDiff : public testing::TestWithParam<int> {};

} // namespace

TEST_P(GroupDiff, AnEditSentToTheMeterDiffersFromTheSiteFileBeforeInItsOwnCellsOnly)
{
    const GroupEdit& e = kEdits[GetParam()];
    SimRead m;
    ASSERT_NO_FATAL_FAILURE(m.read());
    const QString before = m.dir.filePath("before.bin");
    const QByteArray beforeBytes = fileBytes(m.imageFile);
    ASSERT_TRUE(writeFile(before, beforeBytes));

    e.edit(m.t.s(), m.menu());
    ui::click(m.menu().imgSendSite[1]);
    ASSERT_TRUE(TestSession::waitFor([&] { return fileBytes(m.imageFile) != beforeBytes; }, 5000)) << m.meter->stop().toStdString();
    ASSERT_NO_FATAL_FAILURE(m.waitForQuietLine());
    m.t.link().MSComm1->close(); // the line is zav-cli's now

    QProcess cli;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), m.dir.path());
    cli.setProcessEnvironment(env);
    cli.start(QStringLiteral(ZAV_CLI_PATH),
              {"diff", before, "meter", "--json", "--device", m.meter->device(), "--settings", "115200,n,8,1"});
    ASSERT_TRUE(cli.waitForFinished(20000));
    const QByteArray err = cli.readAllStandardError();
    EXPECT_EQ(cli.exitCode(), 1) << err.toStdString();
    const QJsonObject d = QJsonDocument::fromJson(cli.readAllStandardOutput()).object();
    QStringList cells;
    for (const QJsonValue g : d["groups"].toArray()) {
        EXPECT_EQ(g.toObject()["group"].toString(), e.group);
        for (const QJsonValue c : g.toObject()["cells"].toArray())
            cells << c.toObject()["name"].toString();
    }
    EXPECT_EQ(cells, e.cells);
    EXPECT_TRUE(d["bytes"].toArray().isEmpty());
    EXPECT_EQ(d["b"].toObject()["model"].toInt(), 1);
}

INSTANTIATE_TEST_SUITE_P(EachGroup, GroupDiff, testing::Range(0, static_cast<int>(std::size(kEdits))),
                         [](const testing::TestParamInfo<int>& i) {
                             std::string name = kEdits[i.param].group;
                             name.erase(std::remove_if(name.begin(), name.end(), [](char c) { return !std::isalnum(c); }), name.end());
                             return name;
                         });
