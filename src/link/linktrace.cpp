#include "link/linktrace.h"

#include <QFile>
#include <QTime>

#include <map>
#include <memory>

Q_LOGGING_CATEGORY(lcLink, "zav.link", QtWarningMsg)

namespace linktrace {

namespace {
QFile* g_file = nullptr;
QtMessageHandler g_previous = nullptr;
bool g_installed = false;
std::map<int, Sink> g_sinks;
int g_nextSink = 1;

void toFile(QtMsgType type, const QMessageLogContext& context, const QString& text)
{
    if (context.category && qstrcmp(context.category, "zav.link") == 0 && (g_file || !g_sinks.empty())) {
        const QString line = QTime::currentTime().toString(QStringLiteral("hh:mm:ss.zzz ")) + text;
        if (g_file) {
            g_file->write((line + QLatin1Char('\n')).toUtf8());
            g_file->flush();
        }
        // A receiver may remove itself (or another) while it is told: tell a copy.
        const std::map<int, Sink> sinks = g_sinks;
        for (const auto& [id, sink] : sinks)
            if (g_sinks.count(id))
                sink(line);
        return;
    }
    if (g_previous)
        g_previous(type, context, text);
}

// The trace is on while a file or a receiver takes it.
void update()
{
    if (!g_installed) {
        g_previous = qInstallMessageHandler(toFile);
        g_installed = true;
    }
    QLoggingCategory::setFilterRules(g_file || !g_sinks.empty() ? QStringLiteral("zav.link.debug=true")
                                                                : QStringLiteral("zav.link.debug=false"));
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
    if (path.isEmpty()) {
        delete g_file;
        g_file = nullptr;
        update();
        return {};
    }
    auto file = std::make_unique<QFile>(path);
    if (!file->open(QIODevice::WriteOnly | QIODevice::Append | QIODevice::Unbuffered))
        return file->errorString();
    delete g_file;
    g_file = file.release();
    update();
    return {};
}

int AddSink(Sink sink)
{
    const int id = g_nextSink++;
    g_sinks.emplace(id, std::move(sink));
    update();
    return id;
}

void RemoveSink(int id)
{
    if (g_sinks.erase(id) > 0)
        update();
}

} // namespace linktrace
