#include "clidialogs.h"

namespace zavcli {

namespace {
// The link's questions, by their titles.
const QString kNoPort = QStringLiteral("No Com Port Found");
const QString kTimeOut = QStringLiteral("Communication Failed");
const QString kLineError = QStringLiteral("Click Cancel to quit, OK to ignore.");

// The button a box falls back to when nobody is there to choose: never one that starts a
// further question or window.
DialogService::Answer quietAnswer(DialogService::Buttons buttons)
{
    switch (buttons) {
    case DialogService::Buttons::OK: return DialogService::Answer::OK;
    case DialogService::Buttons::YesNo: return DialogService::Answer::No;
    case DialogService::Buttons::AbortRetryIgnore: return DialogService::Answer::Ignore;
    case DialogService::Buttons::OKCancel:
    case DialogService::Buttons::YesNoCancel:
    case DialogService::Buttons::RetryCancel: break;
    }
    return DialogService::Answer::Cancel;
}
} // namespace

QString CliDialogs::oneLine(const QString& text)
{
    QString line;
    for (const QString& part : text.split(QLatin1Char('\n'), Qt::SkipEmptyParts)) {
        const QString piece = part.trimmed();
        if (piece.isEmpty())
            continue;
        if (!line.isEmpty())
            line += line.endsWith(QLatin1Char(':')) || line.endsWith(QLatin1Char('.')) ? QStringLiteral(" ") : QStringLiteral("; ");
        line += piece;
    }
    return line;
}

DialogService::Answer CliDialogs::message(const QString& text, const QString& title, Buttons buttons, Icon)
{
    // "Work Offline?" is answered Yes: the offline path only shows the configuration menu (never
    // on screen here), while No would open the port settings dialog and wait for a user.
    if (title == kNoPort || title == kTimeOut) {
        if (onLinkFailure)
            onLinkFailure(title == kNoPort ? LinkFailure::NoPort : LinkFailure::TimeOut, text);
        return Answer::Yes;
    }
    // A port error is ignored like OK in the window: a damaged answer fails its CRC and the
    // time-out follows; a port that went away is already closed.
    if (title == kLineError) {
        if (onLinkFailure)
            onLinkFailure(LinkFailure::LineError, oneLine(text));
        return Answer::OK;
    }
    messages << (title.isEmpty() ? oneLine(text) : title + QStringLiteral(": ") + oneLine(text));
    return quietAnswer(buttons);
}

} // namespace zavcli
