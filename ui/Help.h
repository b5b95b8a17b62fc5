#pragma once
// The help command (F1): opens the help page "tovelhelp/index.html" from the
// program folder with the desktop's handler, or the read-me file
// "readme.txt" from the same folder when the page is not there.
//
// Both documents are opened by their full path in the program folder, so
// F1 works whatever the current directory of the process is (a program
// started from the desktop's menu runs in the home folder).

#include <QString>

class Services;

// Whether "index.html" is an ordinary, visible file of the folder
// programDirectory/tovelhelp, under exactly that name (a page stored as
// "Index.html" does not count, even on a file system that ignores case).
bool HelpPagePresent(const QString &programDirectory);

// The full path that the help command opens: the help page when present,
// the read-me file otherwise (whether or not that one exists).
QString HelpDocumentPath(const QString &programDirectory);

// The help command. Shows no message of its own: a missing document or a
// missing desktop handler is left to the desktop.
void ShowHelp(Services &services);
