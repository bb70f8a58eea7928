#pragma once
// A fresh session of the window tool for the tests: scripted dialogs, and a serial port that is
// either the in-memory fake or the real QSerialPort layer. Modal dialogs do not block: the test's
// `modal` works the dialog while it is up.

#include "app/windowtool.h"
#include "engine/session.h"
#include "link/commands.h"
#include "link/frmCDR.h"
#include "platform/dialogservice.h"
#include "platform/fakeserialdevice.h"
#include "platform/qtserialdevice.h"
#include "platform/settingsstore.h"
#include "platform/shape.h"
#include "support/printers.h"
#include "startup/frmStart.h"

#include <QCoreApplication>
#include <QDialog>
#include <QElapsedTimer>
#include <functional>
#include <memory>

struct TestSession {
    enum class Port { Fake, Real };

    // `d` answers the boxes: the scripted service, or a test's own kind of it. `freshSettings`
    // false keeps what an earlier session stored (the next run).
    explicit TestSession(Port kind = Port::Fake,
                         std::unique_ptr<ScriptedDialogService> d = std::make_unique<ScriptedDialogService>(),
                         bool freshSettings = true)
    {
        dialogs = d.get();
        Session::SerialFactory factory;
        if (kind == Port::Fake) {
            factory = [this](const SettingsStore&) -> std::unique_ptr<SerialDevice> {
                auto p = std::make_unique<FakeSerialDevice>();
                port = p.get();
                return p;
            };
        }
        session = std::make_unique<Session>(std::move(d), factory);
        if (freshSettings)
            session->settings().clear();
        session->endProgram = [this] { ++ended; };
        session->runModal = [this](QDialog& dialog) {
            ++modals;
            dialog.show();
            if (modal)
                modal(dialog);
        };
        InstallWindowTool(*session);
    }

    Session& s() { return *session; }
    frmStart& start() { return session->windows().get<frmStart>(); }
    frmCDR& link() { return session->link(); }

    // Processes events for the given time.
    static void pump(int ms)
    {
        QElapsedTimer clock;
        clock.start();
        while (clock.elapsed() < ms)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    }
    // Processes events until the condition holds or the time is up; returns the condition.
    template <typename F>
    static bool waitFor(F condition, int ms)
    {
        QElapsedTimer clock;
        clock.start();
        while (!condition() && clock.elapsed() < ms)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        return condition();
    }

    ScriptedDialogService* dialogs = nullptr;
    FakeSerialDevice* port = nullptr;
    int ended = 0;
    std::function<void(QDialog&)> modal;
    int modals = 0;
    std::unique_ptr<Session> session;
};
