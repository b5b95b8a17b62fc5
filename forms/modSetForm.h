#pragma once
// Window operations shared by all windows: keeping a window above all others,
// and taking the Close command away from a secondary window.

class QWidget;

// flag 1: keep the window above all others; 0: an ordinary window again.
// Returns non-zero on success, 0 when flag is neither 0 nor 1.
int SetTopMost(QWidget *form, int flag);

// Takes the close button and the window manager's close request away from
// window; it then closes only from code, through QDialog::done (a secondary
// window's own buttons, by SecondaryWindow::unload). Returns non-zero.
int DisableCloseMenu(QWidget *window);

// Whether DisableCloseMenu was applied to window.
bool IsCloseMenuDisabled(const QWidget *window);
