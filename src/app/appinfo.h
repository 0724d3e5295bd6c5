// What the main window and the About box show of the program: its title and where the window
// opens the first time.
#pragma once

#include <windows.h>

#include <string>

// The part of string 128 before the first line break: the program's title.
std::string AppTitle();
// The main window's first-run rectangle: five sixths of the screen, centred.
RECT DefaultWindowRect(int screenWidth, int screenHeight);
