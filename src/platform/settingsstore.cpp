#include "platform/settingsstore.h"

#include <QSettings>

SettingsStore::SettingsStore()
    : m_settings(std::make_unique<QSettings>(QSettings::IniFormat, QSettings::UserScope,
                                             QString::fromLatin1(kOrganisation), QString::fromLatin1(kAppTitle)))
{
}

SettingsStore::~SettingsStore() = default;

QString SettingsStore::value(const QString& section, const QString& key) const
{
    return m_settings->value(section + QLatin1Char('/') + key).toString();
}

void SettingsStore::setValue(const QString& section, const QString& key, const QString& value)
{
    m_settings->setValue(section + QLatin1Char('/') + key, value);
}

void SettingsStore::sync()
{
    m_settings->sync();
}

void SettingsStore::clear()
{
    m_settings->clear();
    m_settings->sync();
}

QString SettingsStore::fileName() const
{
    return m_settings->fileName();
}
