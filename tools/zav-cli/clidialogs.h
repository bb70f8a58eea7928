#pragma once
// The dialog service of zav-cli: no box is ever shown and nothing waits for a user. The link runs
// without asking (its failures reach the job through its signals); any other box is kept as a
// one-line text for the command to report.

#include "platform/dialogservice.h"

namespace zavcli {

class CliDialogs : public DialogService {
public:
    Answer message(const QString& text, const QString& title, Buttons buttons, Icon icon) override;
    // The command line names every file: a file dialog is never needed, so it counts as cancelled.
    QString openFile(const FileRequest&) override { return {}; }
    QString saveFile(const FileRequest&) override { return {}; }
    void beep() override {}

    // The boxes asked so far, each as one line.
    QStringList messages;

    // A box's text on one line: the lines joined by "; ", or by a space after a line that ends
    // with a colon or a full stop.
    static QString oneLine(const QString& text);
};

} // namespace zavcli
