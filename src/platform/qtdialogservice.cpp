#include "platform/dialogservice.h"

#include <QApplication>
#include <QFileDialog>
#include <QMessageBox>

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
