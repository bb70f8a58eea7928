#include "linemonitor/frmLineMonitor.h"

#include "engine/session.h"
#include "link/linktrace.h"
#include "meterdata/sitefile.h"
#include "platform/dialogservice.h"
#include "platform/keyboard.h"

#include <QFontDatabase>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QVBoxLayout>

frmLineMonitor::frmLineMonitor(Session& session, QWidget* parent) : QWidget(parent), m_session(session)
{
    setObjectName(QStringLiteral("frmLineMonitor"));
    setWindowTitle(QStringLiteral("Line Monitor"));
    resize(900, 520);

    txtLines = new QPlainTextEdit(this);
    txtLines->setObjectName(QStringLiteral("txtLines"));
    txtLines->setReadOnly(true);
    txtLines->setLineWrapMode(QPlainTextEdit::NoWrap);
    txtLines->setMaximumBlockCount(kMaxLines);
    txtLines->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));

    auto button = [this](QPushButton*& b, const char* name, const QString& text) {
        b = new QPushButton(text, this);
        b->setObjectName(QString::fromLatin1(name));
    };
    button(cmdPause, "cmdPause", QStringLiteral("Pause"));
    button(cmdClear, "cmdClear", QStringLiteral("Clear"));
    button(cmdSave, "cmdSave", QStringLiteral("Save..."));
    button(cmdClose, "cmdClose", QStringLiteral("Close"));
    txtFilter = new QLineEdit(this);
    txtFilter->setObjectName(QStringLiteral("txtFilter"));
    txtFilter->setPlaceholderText(QStringLiteral("all codes"));
    txtFilter->setToolTip(QStringLiteral("Show only these function codes, e.g. 32 33"));
    lblCount = new QLabel(this);
    lblCount->setObjectName(QStringLiteral("lblCount"));

    auto* bar = new QHBoxLayout;
    bar->addWidget(cmdPause);
    bar->addWidget(cmdClear);
    bar->addWidget(new QLabel(QStringLiteral("Function codes:"), this));
    bar->addWidget(txtFilter);
    bar->addWidget(lblCount, 1);
    bar->addWidget(cmdSave);
    bar->addWidget(cmdClose);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(txtLines, 1);
    layout->addLayout(bar);

    connect(cmdPause, &QPushButton::clicked, this, &frmLineMonitor::cmdPause_Click);
    connect(cmdClear, &QPushButton::clicked, this, &frmLineMonitor::cmdClear_Click);
    connect(cmdSave, &QPushButton::clicked, this, &frmLineMonitor::cmdSave_Click);
    connect(cmdClose, &QPushButton::clicked, this, &QWidget::close);
    keyboard::Install(*this, nullptr, [this] { close(); });
    connect(txtFilter, &QLineEdit::textChanged, this, &frmLineMonitor::txtFilter_Change);
    showCount();
}

frmLineMonitor::~frmLineMonitor()
{
    if (m_sink)
        linktrace::RemoveSink(m_sink);
}

void frmLineMonitor::showEvent(QShowEvent* event)
{
    if (!m_sink)
        m_sink = linktrace::AddSink([this](const QString& line) { take(line); });
    QWidget::showEvent(event);
}

void frmLineMonitor::hideEvent(QHideEvent* event)
{
    // Closed, the trace is not made for it.
    if (m_sink) {
        linktrace::RemoveSink(m_sink);
        m_sink = 0;
    }
    QWidget::hideEvent(event);
}

int frmLineMonitor::LineCode(const QString& line)
{
    // "hh:mm:ss.zzz <event words> NN CC ..." : the frame is the first run of hexadecimal pairs.
    static const QRegularExpression frame(QStringLiteral("^\\S+ [a-z -]+? ([0-9A-F]{2}) ([0-9A-F]{2})(?: |$)"));
    const QRegularExpressionMatch m = frame.match(line);
    return m.hasMatch() ? m.captured(2).toInt(nullptr, 16) : -1;
}

bool frmLineMonitor::passes(const QString& line) const
{
    return m_codes.isEmpty() || m_codes.contains(LineCode(line));
}

void frmLineMonitor::take(const QString& line)
{
    if (m_paused)
        return;
    m_lines.push_back(line);
    if (static_cast<int>(m_lines.size()) > kMaxLines)
        m_lines.pop_front();
    if (passes(line))
        txtLines->appendPlainText(line);
    showCount();
}

QStringList frmLineMonitor::ShownLines() const
{
    QStringList out;
    for (const QString& l : m_lines)
        if (passes(l))
            out << l;
    return out;
}

void frmLineMonitor::showCount()
{
    lblCount->setText(QStringLiteral("%1 lines%2").arg(m_lines.size()).arg(m_paused ? QStringLiteral(", paused")
                                                                                     : QString()));
}

void frmLineMonitor::redraw()
{
    txtLines->setPlainText(ShownLines().join(QLatin1Char('\n')));
    txtLines->moveCursor(QTextCursor::End);
}

void frmLineMonitor::cmdPause_Click()
{
    m_paused = !m_paused;
    cmdPause->setText(m_paused ? QStringLiteral("Resume") : QStringLiteral("Pause"));
    showCount();
}

void frmLineMonitor::cmdClear_Click()
{
    m_lines.clear();
    txtLines->clear();
    showCount();
}

void frmLineMonitor::txtFilter_Change()
{
    m_codes.clear();
    for (const QString& part : txtFilter->text().split(QRegularExpression(QStringLiteral("[\\s,;]+")), Qt::SkipEmptyParts)) {
        bool ok = false;
        const int code = part.toInt(&ok);
        if (ok && code >= 0 && code <= 255)
            m_codes << code;
    }
    redraw();
}

void frmLineMonitor::cmdSave_Click()
{
    const QString name = m_session.dialogs().saveFile({QStringLiteral("Save Line Monitor"),
                                                       QStringLiteral("Text Files (*.txt)|*.txt|All Files (*.*)|*.*|"), 1,
                                                       QStringLiteral("txt"), m_saveName});
    if (name.isEmpty())
        return;
    m_saveName = name;
    QByteArray text;
    for (const QString& l : ShownLines())
        text += (l + QLatin1Char('\n')).toUtf8();
    const QString error = sitefile::SaveFileBytes(name, text);
    if (!error.isEmpty())
        m_session.dialogs().inform(QStringLiteral("The lines were not saved:\n%1\n%2").arg(name, error),
                                   QStringLiteral("Line Monitor"));
}
