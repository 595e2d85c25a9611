#include "common/RegistryIni.h"

#include <QFile>
#include <QFileInfo>
#include <QSettings>
#include <QStringList>

#include <filesystem>
#include <system_error>

using namespace Qt::StringLiterals;

namespace zelk {

namespace {

// QSettings cannot hold an empty key name; the key's default value goes under this one.
constexpr QStringView kDefaultValueName = u"(Default)";

QString settingsKey(const QString &path, const QString &name)
{
    QString key = path;
    key.replace(u'\\', u'/');
    return key + u'/' + (name.isEmpty() ? kDefaultValueName.toString() : name);
}

QString valueText(const QVariant &value)
{
    // An unquoted value with commas, typed into the file by hand, comes back as a list.
    if (value.typeId() == QMetaType::QStringList)
        return value.toStringList().join(u", "_s);
    return value.toString();
}

} // namespace

IniRegistryHive::IniRegistryHive(QString fileName, std::chrono::milliseconds recheckInterval)
    : m_fileName(std::move(fileName))
    , m_recheckInterval(recheckInterval)
{
}

IniRegistryHive::FileStamp IniRegistryHive::currentStamp() const
{
    const QFileInfo info(m_fileName);
    if (!info.exists())
        return {};
    return {true, info.size(), info.lastModified()};
}

void IniRegistryHive::reload()
{
    m_keys.clear();
    m_stamp = currentStamp();
    m_nextCheck = std::chrono::steady_clock::now() + m_recheckInterval;
    m_loaded = true;
    ++m_parseCount;
    if (!m_stamp.exists)
        return;
    QSettings file(m_fileName, QSettings::IniFormat);
    const QStringList allKeys = file.allKeys();
    for (const QString &key : allKeys) {
        const qsizetype slash = key.lastIndexOf(u'/');
        QString path = slash < 0 ? QString() : key.left(slash);
        path.replace(u'/', u'\\');
        QString name = key.mid(slash + 1);
        if (name == kDefaultValueName)
            name.clear();
        m_keys[path].insert(name, valueText(file.value(key)));
    }
}

void IniRegistryHive::reloadIfChanged()
{
    if (!m_loaded) {
        reload();
        return;
    }
    const auto now = std::chrono::steady_clock::now();
    if (now < m_nextCheck)
        return;
    m_nextCheck = now + m_recheckInterval;
    if (currentStamp() != m_stamp)
        reload();
}

std::optional<QString> IniRegistryHive::readString(const QString &path, const QString &name)
{
    reloadIfChanged();
    const auto key = m_keys.constFind(path);
    if (key == m_keys.constEnd())
        return std::nullopt;
    const auto value = key->constFind(name);
    if (value == key->constEnd())
        return std::nullopt;
    return *value;
}

bool IniRegistryHive::writeString(const QString &path, const QString &name, const QString &value,
                                  QString *error)
{
    // Find out first whether the file system lets us write here, with its own words for why
    // not: QSettings only reports "access error", and a machine hive that the user may not
    // change must fail as a registry write without rights does.
    const QFileInfo info(m_fileName);
    std::error_code ec;
    std::filesystem::create_directories(info.absolutePath().toStdString(), ec);
    if (ec) {
        if (error)
            *error = QString::fromStdString(ec.message());
        return false;
    }
    {
        QFile probe(m_fileName);
        if (!probe.open(QIODevice::WriteOnly | QIODevice::Append)) {
            if (error)
                *error = probe.errorString();
            return false;
        }
    }

    bool stored = false;
    {
        QSettings file(m_fileName, QSettings::IniFormat);
        // A writable file in a folder the user may not create files in is still writable.
        file.setAtomicSyncRequired(false);
        file.setValue(settingsKey(path, name), value);
        file.sync();
        stored = file.status() == QSettings::NoError;
    }
    // Parse again rather than patch the cache: QSettings merged in whatever another program
    // wrote to the file meanwhile.
    reload();
    if (!stored && error)
        *error = u"The settings file %1 could not be written."_s.arg(m_fileName);
    return stored;
}

} // namespace zelk
