#pragma once
// The settings file "Tovelset.ini": reading and writing one key, and paths.
//
// The file is in the private-profile format ("[Section]" lines followed by
// "key=value" lines). Section and key names match without regard to letter
// case. A write changes only the one line of its key and goes through a
// temporary file that is renamed over the settings file, so the file is never
// left half written.

#include <QString>

// The value of key in section of the file at path, at most 511 bytes; the
// default when the file, the section or the key is missing.
QString ReadValue(const QString &path, const QString &section, const QString &key,
                  const QString &defaultValue);

// Sets key in section to value, creating the file and the section as needed.
// Non-zero on success; 0 on failure, with the file unchanged.
int WriteValue(const QString &path, const QString &section, const QString &key,
               const QString &value);

// directory followed by name, with one "/" between them. Appends the missing
// "/" to the caller's directory, as the callers expect.
QString JoinPath(QString &directory, const QString &name);
