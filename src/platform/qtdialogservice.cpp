#include "platform/dialogservice.h"

#include <QApplication>
#include <QFileDialog>
#include <QFontDatabase>
#include <QFontMetrics>
#include <QGridLayout>
#include <QMessageBox>
#include <QScreen>
#include <QSpacerItem>

#include <algorithm>

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
    return detailedMessage(text, title, buttons, icon, QString());
}

DialogService::Answer QtDialogService::detailedMessage(const QString& text, const QString& title, Buttons buttons,
                                                       Icon icon, const QString& detail)
{
    QMessageBox box(standardIcon(icon), title.isEmpty() ? QApplication::applicationDisplayName() : title, text,
                    standardButtons(buttons), m_parent);
    // Shown under the question, not behind a button: the reason is what the user needs to answer.
    if (!detail.isEmpty())
        box.setInformativeText(detail);
    fitTitle(box);
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

void QtDialogService::fitTitle(QMessageBox& box)
{
    // The title bar shows "title — program" in the desktop's title font, often bold, next to the
    // window's own buttons.
    QString shown = box.windowTitle();
    const QString program = QGuiApplication::applicationDisplayName();
    if (!program.isEmpty() && !shown.endsWith(program))
        shown += (shown.isEmpty() ? QString() : QStringLiteral(" \u2014 ")) + program;
    QFont font = QFontDatabase::systemFont(QFontDatabase::TitleFont);
    font.setBold(true);
    constexpr int kTitleBarButtons = 140;
    int width = QFontMetrics(font).horizontalAdvance(shown) + kTitleBarButtons;
    if (const QScreen* screen = box.screen())
        width = std::min(width, screen->availableGeometry().width() - 40);
    // QMessageBox sizes itself from its layout when shown: an empty item of that width holds it
    // open.
    if (auto* grid = qobject_cast<QGridLayout*>(box.layout()))
        grid->addItem(new QSpacerItem(width, 0, QSizePolicy::Fixed, QSizePolicy::Minimum), grid->rowCount(), 0, 1,
                      grid->columnCount());
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
    QString ext = request.defaultExt;
    if (request.suffixByFilter) {
        const auto follow = [&dialog, &ext, &request](const QString& filter) {
            const qsizetype at = filter.lastIndexOf(QStringLiteral("(*."));
            const QString pattern = at < 0 ? QString() : filter.mid(at + 3).chopped(1);
            ext = pattern.isEmpty() || pattern.contains(QLatin1Char('*')) || pattern.contains(QLatin1Char(' '))
                      ? request.defaultExt
                      : pattern;
            dialog.setDefaultSuffix(ext);
        };
        QObject::connect(&dialog, &QFileDialog::filterSelected, &dialog, follow);
        follow(dialog.selectedNameFilter());
    }
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return {};
    return withDefaultExtension(dialog.selectedFiles().constFirst(), ext);
}

void QtDialogService::beep()
{
    QApplication::beep();
}
