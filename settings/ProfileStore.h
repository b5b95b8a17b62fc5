#pragma once
// The settings file on disk: what is read from it, and how a save replaces
// it.
//
// Reading opens only a regular file of at most MaxFileBytes (a pipe, a
// device or a larger file is not a settings file: it reads as missing and
// is never written). A file that starts with a UTF-16 byte order mark is
// read as UTF-16 and written back in UTF-16 with the same mark; any other
// file is read as code page 932 bytes.
//
// A save applies all its changes to one reading of the file and replaces
// the file once, atomically: a new file is written beside it and renamed
// over it. Saves from several running programs take turns through a lock
// file "<settings file>.lock" beside the file, there only while a save runs
// (an advisory lock that the system drops when its holder ends, so a killed
// program blocks no one), and each save works on the file as the previous
// save left it. The holder of the lock writes "tovel-save <pid>" into the
// lock file: a save waits for such a holder, but gives up at once, without
// a word, on a lock that some other program sits on. A save also removes
// temporary files that an earlier save, killed mid-way, left behind; they
// have hidden names no person would choose (".<file name>.tovel-save-"
// plus six letters or digits), and nothing else is removed.
//
// A save writes only what is the user's own. A symbolic link at the path is
// followed only when the link and the file it names both belong to the
// effective user (root included), and a file of another owner is read but
// never replaced. A replaced file keeps its owner, group and mode; a group
// the user may not give (the user's own file in a group the user is not
// in) becomes the group of the user's new files. The writing itself is
// SafeFile's (files/SafeFile.h).

#include <QByteArray>
#include <QString>

#include <chrono>
#include <optional>
#include <utility>
#include <vector>

namespace ProfileStore {

// Largest settings file read or written: far beyond what the program
// writes, small enough to read at once.
constexpr qint64 MaxFileBytes = 1024 * 1024;

// How long a save waits for another program's save before giving up.
constexpr std::chrono::milliseconds LockWait{5000};

// How long a save waits on a lock held by something that is not saving
// (the holder has not written its mark by then): no hang a user would see.
constexpr std::chrono::milliseconds ForeignLockWait{250};

// Temporary files of killed saves are removed once they are this old.
constexpr std::chrono::seconds StaleAge{60};

enum class Load {
    Read,     // a regular file of sane size, read whole
    Missing,  // nothing at the path (or a folder of it missing)
    Refused,  // not a regular file, too large, unreadable, or changed while read
};

// The bytes of the file at path, as they are. Never blocks on a pipe or
// device; reads at most MaxFileBytes + 1 bytes.
Load LoadBytes(const QString &path, QByteArray *bytes);

// The value of key in section, decoded from the file's encoding; nothing
// when the file, the section or the key is missing or the file is refused.
std::optional<QString> ReadValue(const QString &path, const QString &section, const QString &key);

// The values of several keys, given as section and key, the file read once:
// the value of keys[i] in values[i], nothing where ReadValue has nothing.
std::vector<std::optional<QString>> ReadValues(const QString &path,
                                               const std::vector<std::pair<QString, QString>> &keys);

// Every key and value of the first section named section, decoded, in file
// order; empty when the file, the section or its keys are missing, or the
// file is refused. One reading of the file, however many keys.
std::vector<std::pair<QString, QString>> ReadSection(const QString &path, const QString &section);
// The same from the bytes of a file already read.
std::vector<std::pair<QString, QString>> SectionOf(const QByteArray &raw, const QString &section);

struct Change {
    QString section;
    QString key;
    QString value;
};

// Sets every key of changes in one replacement of the file, creating the
// file and its sections as needed. False, with the file unchanged, when
// anything fails: a name or value that cannot be written in the file's
// encoding, a file that was refused or marked read-only, a link or a file
// that is not the user's own, a UTF-16 file that would not read back as it
// was, the lock not obtained, an owner, group or mode that cannot be kept,
// or any write or rename failing.
bool Save(const QString &path, const std::vector<Change> &changes);

// Removes, beside the settings file at path, the temporary files of saves
// (".<file name>.tovel-save-XXXXXX" with six letters or digits, regular
// files of this user) older than age. Returns the number removed.
int RemoveStaleTemporaries(const QString &path, std::chrono::seconds age);

}  // namespace ProfileStore
