#include "core/help.h"

#include "core/datafolder.h"

#include <windows.h>
#include <shellapi.h>

std::string HelpPagePath(const std::string& programFolder, int topic) {
    std::string page = topic == kHelpContents ? "index.html" : "topic-" + std::to_string(topic) + ".html";
    std::string path = programFolder + "\\help\\" + page;
    // A topic without a page of its own falls back to the contents.
    if (topic != kHelpContents && ::GetFileAttributesA(path.c_str()) == INVALID_FILE_ATTRIBUTES)
        path = programFolder + "\\help\\index.html";
    return path;
}

void OpenHelpTopic(int topic) {
    std::string path = HelpPagePath(ProgramFolder(), topic);
    ::ShellExecuteA(nullptr, "open", path.c_str(), nullptr, nullptr, SW_SHOWNORMAL);
}
