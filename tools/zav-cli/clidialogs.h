#pragma once
// The dialog service of zav-cli: no box is ever shown and nothing waits for a user. The link's
// failure questions become failures reported to whoever drives the link; every other box is kept
// as a one-line text for the command to report.

#include "platform/dialogservice.h"

#include <functional>

namespace zavcli {

class CliDialogs : public DialogService {
public:
    enum class LinkFailure {
        NoPort,    // the port could not be opened or written ("No Com Port Found")
        TimeOut,   // no valid answer within the response time ("Communication Failed")
        LineError, // the port reported an error or went away while open
    };

    // Told of each link failure as the link asks about it.
    std::function<void(LinkFailure, const QString& text)> onLinkFailure;

    Answer message(const QString& text, const QString& title, Buttons buttons, Icon icon) override;
    // The command line names every file: a file dialog is never needed, so it counts as cancelled.
    QString openFile(const FileRequest&) override { return {}; }
    QString saveFile(const FileRequest&) override { return {}; }
    void beep() override {}

    // The other boxes asked so far, each as one line.
    QStringList messages;

    // A box's text on one line: the lines joined by "; ", or by a space after a line that ends
    // with a colon or a full stop.
    static QString oneLine(const QString& text);
};

} // namespace zavcli
