#pragma once
// Writing a file the one safe way, for every file the program writes
// (settings, caches), and opening a file of the user's own for reading.
//
// A write never goes through a link or into a file that is not the running
// user's own, root included: a symbolic link at the path is followed only
// when the link and the file it names both belong to the user, and every
// folder on the way belongs to the user or to root (a folder of another
// user, or one reached through a link of another user, is refused). The new
// contents are written to a temporary file in the same folder (unnamed with
// O_TMPFILE where the file system has it, else a hidden name) and renamed
// over the file, so a reader sees the old file or the new one, whole.

#include <QByteArray>
#include <QString>

#include <chrono>

namespace SafeFile {

// Writes all of bytes to fd, going on after interruptions; false when a
// write fails.
bool WriteAll(int fd, const QByteArray &bytes);

enum class Outcome {
    Written,  // done (for MakePrivateFolder: the folder is there and ours)
    Refused,  // not ours to write: a link, file or folder of someone else, a file marked read-only, not a regular file
    Failed,   // ours, but the write failed (full disk, read-only file system, permissions)
};

struct Options {
    // Permissions of a file made new (the umask applies). A replaced file
    // keeps its own owner, group and mode.
    int newFileMode = 0644;
    // Refuse to replace a file whose owner write bit is off, as a file
    // marked read-only (root included, whom the system lets write anything).
    bool keepReadOnly = true;
};

// Replaces the file at path with bytes, or makes it. The replaced file keeps
// its owner and mode; its group too, or, when that is a group the user may
// not give (a file of the user's own in a group the user is not in), the
// group the user's new files get. The folder must exist.
Outcome Replace(const QString &path, const QByteArray &bytes, const Options &options = {});

// The file a write at path reaches: path itself, or the file that a link of
// the user's own names when that file is the user's own as well. Empty when
// the write would be refused for the link.
QString WriteTarget(const QString &path);

// True when the folder exists and it and every folder and link on the way
// to it belong to the user or to root: a folder a write may go into.
bool IsTrustedFolder(const QString &folder);

// Makes the folder and any missing folder above it, each with mode 0700.
// Refused when a folder on the way is a link or folder of another user
// (root's are trusted), or the folder itself is not the user's own.
Outcome MakePrivateFolder(const QString &path);

// Opens the user's own regular file for reading, never through a link
// (O_NOFOLLOW) and never blocking on a pipe or device. Returns a descriptor
// the caller closes, or -1 when the path is missing, a link, not a regular
// file, or not the user's own.
int OpenOwnFile(const QString &path);

enum class Read { Read, Missing, Refused };

// The whole contents of the user's own regular file at path, at most
// maxBytes (Refused beyond).
Read ReadOwnFile(const QString &path, qint64 maxBytes, QByteArray *bytes);

// Removes, beside path, temporary files that writes of path killed mid-way
// left behind (".<file name>.tovel-save-" and six letters or digits, regular
// files of the user) once they are older than age. Returns the number removed.
int RemoveStaleTemporaries(const QString &path, std::chrono::seconds age);

}  // namespace SafeFile
