#pragma once
// The data log window recording against the meter simulator: the simulator with its options, a
// scratch folder and the tool on a real port, and the log started from the start window into a
// file. The test target defines ZAV_METER_SIM_PATH.

#include "monitor/frmLog.h"
#include "startup/frmStart.h"
#include "support/fakesession.h"
#include "support/simprocess.h"
#include "support/widgets.h"

#include <QPushButton>
#include <QTemporaryDir>

#include <functional>

// The meter simulator started with `options`, a scratch folder, and the tool on a real port (ended
// before the meter).
struct OnMeter {
    explicit OnMeter(const QStringList& options) : sim(options) {}
    bool ok() const { return sim.ok() && dir.isValid(); }
    SimProcess sim;
    QTemporaryDir dir;
    TestSession t{TestSession::Port::Real};
};

// The window opened from the start window on the simulator's line, starting a log into `file`.
inline frmLog& startLogOn(TestSession& t, const SimProcess& sim, const QString& file,
                          const std::function<void(frmLog&)>& before)
{
    t.s().settings().setValue("Ports", "Com1", sim.device());
    t.start().show();
    ui::click(t.start().imgLogdata[1]);
    frmLog& w = t.s().windows().get<frmLog>();
    before(w);
    t.dialogs->answers = {DialogService::Answer::Yes};
    t.dialogs->files = {file};
    ui::click(w.cmdStart);
    return w;
}
