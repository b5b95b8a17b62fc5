#include "settings/modFileFuncs.h"

#include "settings/ProfileStore.h"

QString ReadValue(const QString &path, const QString &section, const QString &key, const QString &defaultValue)
{
    return ProfileStore::ReadValue(path, section, key).value_or(defaultValue);
}

int WriteValue(const QString &path, const QString &section, const QString &key, const QString &value)
{
    return WriteValues(path, {{section, key, value}});
}

int WriteValues(const QString &path, const std::vector<ProfileStore::Change> &changes)
{
    return ProfileStore::Save(path, changes) ? 1 : 0;
}

QString JoinPath(QString &directory, const QString &name)
{
    if (!directory.endsWith(QLatin1Char('/')))
        directory += QLatin1Char('/');
    return directory + name;
}
