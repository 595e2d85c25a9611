#pragma once

#include "common/Registry.h"

#include <QDateTime>
#include <QHash>
#include <QString>

#include <chrono>

namespace zelk {

// A registry hive kept in one file of Qt's INI format. Key paths become nested groups
// ("SOFTWARE\Kestrova\x\ZELK" is the group SOFTWARE/Kestrova/x/ZELK). The whole file is held
// in memory: a read is two hash look-ups, and the file is looked at again (not parsed) at most
// once per recheck interval to pick up changes made by another program.
class IniRegistryHive final : public RegistryHive
{
public:
    explicit IniRegistryHive(QString fileName,
                             std::chrono::milliseconds recheckInterval = std::chrono::seconds(1));

    std::optional<QString> readString(const QString &path, const QString &name) override;
    bool writeString(const QString &path, const QString &name, const QString &value,
                     QString *error) override;

    QString fileName() const { return m_fileName; }
    // Parses the file again now.
    void reload();
    // How often the file has been parsed.
    int parseCount() const { return m_parseCount; }

private:
    struct FileStamp
    {
        bool exists = false;
        qint64 size = 0;
        QDateTime modified;
        bool operator==(const FileStamp &) const = default;
    };
    FileStamp currentStamp() const;
    void reloadIfChanged();

    QString m_fileName;
    std::chrono::milliseconds m_recheckInterval;
    std::chrono::steady_clock::time_point m_nextCheck{};
    bool m_loaded = false;
    int m_parseCount = 0;
    FileStamp m_stamp;
    QHash<QString, QHash<QString, QString>> m_keys; // key path -> value name -> value
};

} // namespace zelk
