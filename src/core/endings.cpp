#include "core/endings.h"

std::vector<Ending> EndingsInForce(const char* const* endings, size_t count) {
    std::vector<Ending> list;
    for (size_t i = 0; i < count; ++i) list.push_back({endings[i], "E"});
    return list;
}

std::vector<Ending> ParseEndingList(const std::string& text, const std::vector<Ending>& defaults) {
    if (text.empty()) return defaults;
    std::vector<Ending> endings;
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

std::string EndingListText(const std::vector<Ending>& endings) {
    std::string text;
    for (const Ending& e : endings) {
        if (!text.empty()) text += ',';
        text += e.ending + e.flag;
    }
    return text;
}
