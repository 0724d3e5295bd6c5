#include "duplicates/dupendings.h"

#include "framework/settings.h"
#include "framework/strings.h"

#include <mbstring.h>

namespace {
const char* const kDefaultEndings[] = {".exe", ".mp3", ".zip", ".mpg", ".wav", ".bmp",
                                       ".jpg", ".avi", ".wma", ".wmv", ".doc"};
}  // namespace

std::vector<DuplicateEnding> DefaultDuplicateEndings() {
    std::vector<DuplicateEnding> endings;
    for (const char* e : kDefaultEndings) endings.push_back({e, "E"});
    return endings;
}

std::vector<DuplicateEnding> ParseDuplicateEndings(const std::string& text) {
    if (text.empty()) return DefaultDuplicateEndings();
    std::vector<DuplicateEnding> endings;
    size_t start = 0;
    for (;;) {
        size_t comma = text.find(',', start);
        std::string piece = text.substr(start, comma == std::string::npos ? std::string::npos : comma - start);
        if (piece.size() >= 2) endings.push_back({piece.substr(0, piece.size() - 1), piece.substr(piece.size() - 1)});
        if (comma == std::string::npos) break;
        start = comma + 1;
    }
    return endings;
}

std::string DuplicateEndingsText(const std::vector<DuplicateEnding>& endings) {
    std::string text;
    for (const DuplicateEnding& e : endings) {
        if (!text.empty()) text += ',';
        text += e.ending + e.flag;
    }
    return text;
}

std::vector<DuplicateEnding> LoadDuplicateEndings(FileToolSettings& settings) {
    settings.duplicateEndings = ReadSettingString("Settings", "DupExt", "");
    return ParseDuplicateEndings(settings.duplicateEndings);
}

bool MatchesDuplicateEnding(const std::string& fullPath, const std::vector<DuplicateEnding>& endings) {
    for (const DuplicateEnding& e : endings) {
        if (!SameText(e.flag, "E") || e.ending.empty() || fullPath.size() < e.ending.size()) continue;
        std::string tail = fullPath.substr(fullPath.size() - e.ending.size());
        if (::_mbsicmp(reinterpret_cast<const unsigned char*>(tail.c_str()),
                       reinterpret_cast<const unsigned char*>(e.ending.c_str())) == 0)
            return true;
    }
    return false;
}
