#include "settings/SettingsLocation.h"

#include "settings/modFileFuncs.h"

QString SettingsFilePath(const QString &programDirectory, const QString &userConfigDirectory)
{
    Q_UNUSED(userConfigDirectory);
    QString dir = programDirectory;
    return JoinPath(dir, QStringLiteral("Tovelset.ini"));
}
