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

    // Hands a whole answer frame to the link's checks and routing at once, as the end of the
    // line's silence does. The meter answers only requests: when no request that this answer
    // fits is outstanding, the request it answers is put on the line first.
    static void deliver(frmCDR& link, const std::vector<std::uint8_t>& frame)
    {
        if (frame.size() >= 2 && !link.outstanding().open) {
            const std::uint8_t code = frame[1];
            std::uint8_t request = code;
            std::vector<std::uint8_t> payload{0, 0};
            switch (code) {
            case modComFun::PlotMark: request = modComFun::PlotPoll; break;
            case modComFun::TrimAck: request = modComFun::TrimOutput; break;
            case modComFun::TransferDone: request = modComFun::ReadImage; break;
            case modComFun::WriteRefused: request = modComFun::WriteImage; break;
            default: break;
            }
            if (request == modComFun::WriteImage)
                payload = {0, 1, 0, 0};
            modComFun::SendFrame(link, modComFun::RequestFrame(link.vars().NodeAddress, request, payload));
        }
        std::copy(frame.begin(), frame.end(), link.RxBuffer.begin());
        link.RxCount = static_cast<std::uint16_t>(frame.size());
        modComFun::HandleResponse(link);
        link.RxCount = 0;
    }

    ScriptedDialogService* dialogs = nullptr;
    FakeSerialDevice* port = nullptr;
    int ended = 0;
    std::function<void(QDialog&)> modal;
    int modals = 0;
    std::unique_ptr<Session> session;
};
