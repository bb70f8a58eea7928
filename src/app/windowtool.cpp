#include "app/windowtool.h"

#include "analogio/frmTrim.h"
#include "channel/frmXY.h"
#include "channel/frmZero.h"
#include "engine/engineroutes.h"
#include "engine/imagetransfer.h"
#include "engine/session.h"
#include "meterdata/frmConfig.h"
#include "monitor/frmLog.h"
#include "monitor/frmLogdiag.h"
#include "monitor/frmplt.h"
#include "recordings/frmRecording.h"
#include "startup/frmStart.h"

void InstallWindowTool(Session& session)
{
    using namespace modComFun;
    WindowRegistry& w = session.windows();
    AnswerRoutes& r = session.routes();

    // Every routed answer code and its owner; each window is created on first use. The engine's
    // routes come first: 32 the image reader, 33 the image writer, 37, 86 and 93 the end of an
    // image transfer (34 is taken over below). Any code not listed that answers the request
    // outstanding is accepted (time-out stopped, indicator green) and goes no further.
    // Diagnostics (31) and the raw signal (35, 99) are routed here by their windows' lines.
    InstallEngineRoutes(session);
    r.route(LiveData, QStringLiteral("frmLog.Setform"), [&w] { w.get<frmLog>().Setform(); });
    r.route(DiagData, QStringLiteral("frmLogdiag.Setformdiag"), [&w] { w.get<frmLogdiag>().Setformdiag(); });
    r.route(PlotPoll, QStringLiteral("frmplt.PlotData"), [&w] { w.get<frmplt>().PlotData(); });
    r.route(PlotMark, QStringLiteral("frmplt.PlotMark"), [&w] {
        if (auto* plot = w.find<frmplt>())
            plot->PlotMark();
    });
    r.route(Identify, QStringLiteral("frmStart.RcvID"), [&w] { w.get<frmStart>().RcvID(); });
    r.route(ZeroCal, QStringLiteral("frmZero.Handle_Delta"), [&w] { w.get<frmZero>().Handle_Delta(); });
    r.route(TrimAck, QStringLiteral("frmTrim.RcvAck"), [&w] { w.get<frmTrim>().RcvAck(); });
    r.route(TrimOutput, QStringLiteral("frmTrim.RcvAck"), [&w] { w.get<frmTrim>().RcvAck(); });

    // A complete image read unlocks the configuration menu when it is shown (the menu's own
    // handler, which takes the image into the cells); with the menu hidden, the cells take the
    // image here and the calibration window opens on them.
    QObject::connect(&session, &Session::imageComplete, &session, [&w, &session] {
        const frmConfig* menu = w.find<frmConfig>();
        if (menu && menu->isVisible())
            return;
        modBinaryRW::TakeImage(session);
        w.get<frmXY>().Setform();
    });

    w.setHome([&w]() -> QObject& { return w.get<frmStart>(); });

    // "Work Offline?": Yes shows the configuration menu (the session turns offline), No returns
    // to the start window; after "No Com Port Found" the port settings dialog follows there, so
    // that the user can choose another port.
    session.onLink(&session, [&w](frmCDR& link) {
        QObject::connect(&link, &frmCDR::offlineChoice, &link, [&w](frmCDR::Failure why, bool workOffline) {
            if (workOffline) {
                w.get<frmConfig>().show();
                return;
            }
            if (auto* config = w.find<frmConfig>())
                config->hide();
            frmStart& start = w.get<frmStart>();
            start.show();
            if (why == frmCDR::Failure::NoPort)
                start.OpenPortSettings();
        });
    });
}

void ShowFirstWindow(Session& session, const QString& recording)
{
    if (recording.isEmpty()) {
        session.windows().get<frmStart>().show();
        return;
    }
    auto& chart = session.windows().get<frmRecording>();
    chart.show();
    if (!chart.OpenFile(recording))
        chart.close();
}
