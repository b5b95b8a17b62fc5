#pragma once
// The help command (F1): opens the help page "tovelhelp/index.html" from the
// program folder with the desktop's handler, or the read-me file
// "readme.txt" from the same folder when the page is not there.
//
// Both documents are opened by their full path in the program folder, so
// F1 works whatever the current directory of the process is (a program
// started from the desktop's menu runs in the home folder).

class Services;

// The help command. Shows no message of its own: a missing document or a
// missing desktop handler is left to the desktop.
void ShowHelp(Services &services);
