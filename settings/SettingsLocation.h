#pragma once
// Where the settings file lives: beside the program, or, when the program
// folder cannot be written (a system-wide install), in the user's
// configuration folder. When neither can be written, the file beside the
// program is still read, and saves write nothing.

#include <QString>

// The settings file's name, "Tovelset.ini".
QString SettingsFileName();

// The settings file to use. A query: it makes no folder and copies nothing.
QString SettingsFilePath(const QString &programDirectory, const QString &userConfigDirectory);

// SettingsFilePath, with the user's configuration folder made ready when the
// settings go there: the folder is made, and a settings file installed
// beside the program becomes the starting point of the user's own copy.
QString PrepareSettingsFile(const QString &programDirectory, const QString &userConfigDirectory);
