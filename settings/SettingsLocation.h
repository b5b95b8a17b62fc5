#pragma once
// Where the settings file "Tovelset.ini" lives: beside the program, or, when
// the program folder cannot be written (a system-wide install), in the
// user's configuration folder.

#include <QString>

QString SettingsFilePath(const QString &programDirectory, const QString &userConfigDirectory);
