// Help: HTML pages beside the program, one per help context number.
#pragma once

#include <string>

constexpr int kHelpContents = 0;

// The page of a context number: help\topic-N.html in the program's folder, or help\index.html
// for the contents (0).
std::string HelpPagePath(const std::string& programFolder, int topic);
// Opens the page of a context number in the user's browser.
void OpenHelpTopic(int topic);
