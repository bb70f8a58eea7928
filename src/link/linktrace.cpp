#include "link/linktrace.h"

#include <QFile>
#include <QTime>

#include <memory>

Q_LOGGING_CATEGORY(lcLink, "zav.link", QtWarningMsg)

namespace linktrace {

namespace {
QFile* g_file = nullptr;
QtMessageHandler g_previous = nullptr;

void toFile(QtMsgType type, const QMessageLogContext& context, const QString& text)
{
    if (g_file && context.category && qstrcmp(context.category, "zav.link") == 0) {
        const QByteArray line = (QTime::currentTime().toString(QStringLiteral("hh:mm:ss.zzz ")) + text + QLatin1Char('\n')).toUtf8();
        g_file->write(line);
        g_file->flush();
        return;
    }
    if (g_previous)
        g_previous(type, context, text);
}
} // namespace

QString Hex(const std::uint8_t* bytes, std::size_t n)
{
    QString text;
    text.reserve(static_cast<qsizetype>(3 * n));
    for (std::size_t i = 0; i < n; ++i) {
        if (i > 0)
            text += QLatin1Char(' ');
        text += QString::number(bytes[i], 16).rightJustified(2, QLatin1Char('0')).toUpper();
    }
    return text;
}

QString TraceToFile(const QString& path)
{
    auto file = std::make_unique<QFile>(path);
    if (!file->open(QIODevice::WriteOnly | QIODevice::Append | QIODevice::Unbuffered))
        return file->errorString();
    delete g_file;
    g_file = file.release();
    QLoggingCategory::setFilterRules(QStringLiteral("zav.link.debug=true"));
    if (!g_previous)
        g_previous = qInstallMessageHandler(toFile);
    return {};
}

} // namespace linktrace
