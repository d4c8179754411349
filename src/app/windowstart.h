#pragma once

// The desktop half of the program's start: present only in the build with a
// window. The unattended job starts from main() in either build.

// True when a window can show here: a display is named, or Qt is told to use a
// platform that draws somewhere. Offscreen and minimal platforms count as none.
bool WindowCanShow();

// Opens the main window for the command line and runs until it closes.
// Returns the program's exit status; 1 when the URL table cannot be opened.
int RunWindow(int argc, char *argv[]);
