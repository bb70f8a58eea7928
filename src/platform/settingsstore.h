#pragma once
// The per-user settings store, addressed by section and key under the application title.

#include <QString>
#include <memory>

class QSettings;

class SettingsStore {
public:
    static constexpr const char* kOrganisation = "ZAV";
    // The application title under which the preferences are kept.
    static constexpr const char* kAppTitle = "Instrument Interface";

    SettingsStore();
    ~SettingsStore();
    SettingsStore(const SettingsStore&) = delete;
    SettingsStore& operator=(const SettingsStore&) = delete;

    // Empty text when the key is missing.
    QString value(const QString& section, const QString& key) const;
    void setValue(const QString& section, const QString& key, const QString& value);
    void sync();
    // Forgets every stored value (a fresh store).
    void clear();
    QString fileName() const;

private:
    std::unique_ptr<QSettings> m_settings;
};
