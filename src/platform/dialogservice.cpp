#include "platform/dialogservice.h"

#include <QFileInfo>

QString DialogService::withDefaultExtension(const QString& fileName, const QString& defaultExt)
{
    if (fileName.isEmpty() || defaultExt.isEmpty())
        return fileName;
    if (!QFileInfo(fileName).suffix().isEmpty())
        return fileName;
    return fileName + QLatin1Char('.') + defaultExt;
}

QStringList DialogService::qtFilters(const QString& filter)
{
    const QStringList parts = filter.split(QLatin1Char('|'));
    QStringList out;
    for (int i = 0; i + 1 < parts.size(); i += 2) {
        QString patterns = parts[i + 1];
        patterns.replace(QLatin1Char(';'), QLatin1Char(' '));
        QString description = parts[i];
        if (!description.contains(QLatin1Char('(')))
            description += QStringLiteral(" (%1)").arg(patterns);
        out << description;
    }
    return out;
}

namespace {
DialogService::Answer lastButton(DialogService::Buttons b)
{
    switch (b) {
    case DialogService::Buttons::OK: return DialogService::Answer::OK;
    case DialogService::Buttons::OKCancel: return DialogService::Answer::Cancel;
    case DialogService::Buttons::YesNo: return DialogService::Answer::No;
    case DialogService::Buttons::YesNoCancel: return DialogService::Answer::Cancel;
    case DialogService::Buttons::AbortRetryIgnore: return DialogService::Answer::Ignore;
    case DialogService::Buttons::RetryCancel: return DialogService::Answer::Cancel;
    }
    return DialogService::Answer::OK;
}

} // namespace

DialogService::Answer ScriptedDialogService::message(const QString& text, const QString& title, Buttons buttons,
                                                     Icon icon)
{
    const Answer a = answers.isEmpty() ? lastButton(buttons) : answers.takeFirst();
    asked.append({text, title, buttons, icon, a, {}});
    return a;
}

DialogService::Answer ScriptedDialogService::detailedMessage(const QString& text, const QString& title,
                                                             Buttons buttons, Icon icon, const QString& detail)
{
    // Through the plain box, so that a test's own kind of service sees every box; the detail is
    // added to the record that box made.
    const qsizetype at = asked.size();
    const Answer a = message(text, title, buttons, icon);
    if (at < asked.size())
        asked[at].detail = detail;
    return a;
}

QString ScriptedDialogService::openFile(const FileRequest& request)
{
    const QString f = files.isEmpty() ? QString() : files.takeFirst();
    fileAsked.append({false, request, f});
    return f;
}

QString ScriptedDialogService::saveFile(const FileRequest& request)
{
    const QString f = files.isEmpty() ? QString() : withDefaultExtension(files.takeFirst(), request.defaultExt);
    fileAsked.append({true, request, f});
    return f;
}

QStringList ScriptedDialogService::transcript() const
{
    QStringList out;
    for (const Asked& a : asked)
        out << a.title + QStringLiteral(": ") + a.text;
    return out;
}

int ScriptedDialogService::count(const QString& text, const QString& title) const
{
    int n = 0;
    for (const Asked& a : asked)
        n += (a.text == text && a.title == title) ? 1 : 0;
    return n;
}
