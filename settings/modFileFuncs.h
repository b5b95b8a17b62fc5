#pragma once
// The settings file "Tovelset.ini": reading and writing one key, and paths.
//
// The file is in the private-profile format ("[Section]" lines followed by
// "key=value" lines). Section and key names match without regard to letter
// case. A write changes only the lines of its keys and replaces the file
// whole, under a lock shared with other running copies of the program, so
// the file is never left half written (see ProfileStore).

#include "settings/ProfileStore.h"

#include <QString>

#include <vector>

// The value of key in section of the file at path, at most 511 bytes; the
// default when the file, the section or the key is missing.
QString ReadValue(const QString &path, const QString &section, const QString &key, const QString &defaultValue);

// Sets key in section to value, creating the file and the section as needed.
// Non-zero on success; 0 on failure, with the file unchanged.
int WriteValue(const QString &path, const QString &section, const QString &key, const QString &value);

// Sets every key of changes in one replacement of the file: a save of
// several keys is seen whole or not at all. Non-zero on success; 0 on
// failure, with the file unchanged.
int WriteValues(const QString &path, const std::vector<ProfileStore::Change> &changes);

// directory followed by name, with one "/" between them. Appends the missing
// "/" to the caller's directory, as the callers expect.
QString JoinPath(QString &directory, const QString &name);
