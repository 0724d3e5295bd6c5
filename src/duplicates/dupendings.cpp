#include "duplicates/dupendings.h"

#include "framework/settings.h"
#include "framework/strings.h"

#include <mbstring.h>

namespace {
const char* const kDefaultEndings[] = {".exe", ".mp3", ".zip", ".mpg", ".wav", ".bmp",
                                       ".jpg", ".avi", ".wma", ".wmv", ".doc"};
}  // namespace

std::vector<DuplicateEnding> DefaultDuplicateEndings() {
    return EndingsInForce(kDefaultEndings, sizeof kDefaultEndings / sizeof kDefaultEndings[0]);
}

std::vector<DuplicateEnding> ParseDuplicateEndings(const std::string& text) {
    return ParseEndingList(text, DefaultDuplicateEndings());
}

std::string DuplicateEndingsText(const std::vector<DuplicateEnding>& endings) { return EndingListText(endings); }

std::vector<DuplicateEnding> LoadDuplicateEndings(FileToolSettings& settings) {
    settings.duplicateEndings = ReadSettingString("Settings", "DupExt", "");
    return ParseDuplicateEndings(settings.duplicateEndings);
}

bool MatchesDuplicateEnding(const std::string& fullPath, const std::vector<DuplicateEnding>& endings) {
    return CEndingsInForce(endings).Matches(fullPath);
}
