#pragma once
// Where the settings file lives: beside the program, or, when the program
// folder is not the user's to write (a system-wide install), in the user's
// configuration folder. Decided by ownership and by what exists: the user's
// own settings beside the program stay there, and once a user copy exists
// while the file beside the program is not the user's own, the copy stays
// the settings. When neither folder can be written, the file beside the
// program is still read, and saves write nothing. An installed program
// folder (the package's, or a "sudo cmake --install" prefix) never gets a
// file, not from root either: root's settings live in root's configuration
// folder as everyone's do, and a settings file an administrator put beside
// the program is read as the starting point.

#include <QString>

// The settings file's name, "Tovelset.ini".
QString SettingsFileName();

// The settings file to use. A query: it makes no folder and copies nothing.
QString SettingsFilePath(const QString &programDirectory, const QString &userConfigDirectory);

// SettingsFilePath, with the user's configuration folder made ready when the
// settings go there: the folder is made, and a settings file installed
// beside the program becomes the starting point of the user's own copy.
QString PrepareSettingsFile(const QString &programDirectory, const QString &userConfigDirectory);

// The settings file a program that only reads them (the command-line
// converter) reads: what the window program would read at its next start.
// Decided from what exists alone: it makes, probes and copies nothing.
QString SettingsFileToRead(const QString &programDirectory, const QString &userConfigDirectory);
