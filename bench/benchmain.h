#pragma once
// What the bench programs share: their start (offscreen windows unless a platform is named, the
// tool's stored settings in a folder of the run, never the user's) and their options.

#include <QDir>
#include <QStringList>
#include <QTemporaryDir>

inline void prepareRun(const QTemporaryDir& dir)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    qputenv("XDG_CONFIG_HOME", QDir(dir.path()).filePath(QStringLiteral("config")).toLocal8Bit());
}

// The value after `name` on the command line, or `fallback`.
inline QString option(const QStringList& args, const QString& name, const QString& fallback)
{
    const int i = args.indexOf(name);
    return i >= 0 && i + 1 < args.size() ? args[i + 1] : fallback;
}
