// ReadSetting is called several times per frame of the drum; a key in the user hive must cost
// well under 5 µs and never parse a hive file again.
#include "common/Registry.h"
#include "common/Settings.h"

#include <QCoreApplication>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

using namespace Qt::StringLiterals;

namespace {

struct Registry
{
    QTemporaryDir dir;
    Registry()
    {
        qputenv("ZELK_REGISTRY_DIR", QFile::encodeName(dir.path()));
        zelk::resetRegistryHives();
        zelk::RegistryFolderKey = u"_opt_zelk_client\\"_s;
        zelk::MainSocket = nullptr;
        // A realistic hive: the whole catalogue plus the values of a few other folders.
        for (int folder = 0; folder < 5; ++folder) {
            const QString path = u"SOFTWARE\\Kestrova\\_site%1\\ZELK"_s.arg(folder);
            for (int i = 0; i < 20; ++i)
                zelk::RegWriteString(zelk::RegistryRoot::CurrentUser, path, u"Key%1"_s.arg(i), u"v"_s);
        }
        zelk::WriteSetting(zelk::keys::SelectMode, u"1"_s);
        zelk::WriteSetting(zelk::keys::FrameRate, u"5"_s);
        zelk::WriteSetting(zelk::keys::SayCallingName, u"-1"_s);
    }
    ~Registry() { zelk::resetRegistryHives(); }
};

void BM_ReadSettingUserHive(benchmark::State &state)
{
    Registry registry;
    const QString section = u"ZELK"_s;
    const QString key = u"SelectMode"_s;
    for (auto _ : state) {
        QString value = zelk::ReadSetting(section, key);
        benchmark::DoNotOptimize(value);
    }
}
BENCHMARK(BM_ReadSettingUserHive);

void BM_ReadSettingCatalogueKey(benchmark::State &state)
{
    Registry registry;
    for (auto _ : state) {
        int value = zelk::readIntSetting(zelk::keys::SelectMode, zelk::defaults::SelectMode);
        benchmark::DoNotOptimize(value);
    }
}
BENCHMARK(BM_ReadSettingCatalogueKey);

void BM_ReadSettingMissingClosed(benchmark::State &state)
{
    Registry registry;
    const QString section = u"ZELK"_s;
    const QString key = u"NotStoredAnywhere"_s;
    for (auto _ : state) {
        QString value = zelk::ReadSetting(section, key);
        benchmark::DoNotOptimize(value);
    }
}
BENCHMARK(BM_ReadSettingMissingClosed);

} // namespace
