#include "platform/dialogservice.h"

#include <QApplication>
#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>

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
QMessageBox::StandardButtons standardButtons(DialogService::Buttons b)
{
    switch (b) {
    case DialogService::Buttons::OK: return QMessageBox::Ok;
    case DialogService::Buttons::OKCancel: return QMessageBox::Ok | QMessageBox::Cancel;
    case DialogService::Buttons::YesNo: return QMessageBox::Yes | QMessageBox::No;
    case DialogService::Buttons::YesNoCancel: return QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel;
    case DialogService::Buttons::AbortRetryIgnore: return QMessageBox::Abort | QMessageBox::Retry | QMessageBox::Ignore;
    case DialogService::Buttons::RetryCancel: return QMessageBox::Retry | QMessageBox::Cancel;
    }
    return QMessageBox::Ok;
}

QMessageBox::Icon standardIcon(DialogService::Icon i)
{
    switch (i) {
    case DialogService::Icon::Question: return QMessageBox::Question;
    case DialogService::Icon::Exclamation: return QMessageBox::Warning;
    case DialogService::Icon::Information: return QMessageBox::Information;
    case DialogService::Icon::Critical: return QMessageBox::Critical;
    case DialogService::Icon::None: break;
    }
    return QMessageBox::NoIcon;
}

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

QString chosenFilter(const DialogService::FileRequest& r, const QStringList& filters)
{
    const int i = r.filterIndex - 1;
    return (i >= 0 && i < filters.size()) ? filters[i] : QString();
}
} // namespace

DialogService::Answer QtDialogService::message(const QString& text, const QString& title, Buttons buttons, Icon icon)
{
    QMessageBox box(standardIcon(icon), title.isEmpty() ? QApplication::applicationDisplayName() : title, text,
                    standardButtons(buttons), m_parent);
    switch (box.exec()) {
    case QMessageBox::Ok: return Answer::OK;
    case QMessageBox::Yes: return Answer::Yes;
    case QMessageBox::No: return Answer::No;
    case QMessageBox::Abort: return Answer::Abort;
    case QMessageBox::Retry: return Answer::Retry;
    case QMessageBox::Ignore: return Answer::Ignore;
    default: return Answer::Cancel;
    }
}

QString QtDialogService::openFile(const FileRequest& request)
{
    const QStringList filters = qtFilters(request.filter);
    QString selected = chosenFilter(request, filters);
    return QFileDialog::getOpenFileName(m_parent, request.title, request.initialName, filters.join(QStringLiteral(";;")),
                                        &selected);
}

QString QtDialogService::saveFile(const FileRequest& request)
{
    QFileDialog dialog(m_parent, request.title, request.initialName);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    const QStringList filters = qtFilters(request.filter);
    dialog.setNameFilters(filters);
    const QString selected = chosenFilter(request, filters);
    if (!selected.isEmpty())
        dialog.selectNameFilter(selected);
    dialog.setDefaultSuffix(request.defaultExt);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return {};
    return withDefaultExtension(dialog.selectedFiles().constFirst(), request.defaultExt);
}

void QtDialogService::beep()
{
    QApplication::beep();
}

DialogService::Answer ScriptedDialogService::message(const QString& text, const QString& title, Buttons buttons,
                                                     Icon icon)
{
    const Answer a = answers.isEmpty() ? lastButton(buttons) : answers.takeFirst();
    asked.append({text, title, buttons, icon, a});
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
