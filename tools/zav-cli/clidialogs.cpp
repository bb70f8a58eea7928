#include "clidialogs.h"

namespace zavcli {

namespace {
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
    messages << (title.isEmpty() ? oneLine(text) : title + QStringLiteral(": ") + oneLine(text));
    return quietAnswer(buttons);
}

} // namespace zavcli
