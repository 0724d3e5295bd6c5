#include "core/endings.h"

#include <windows.h>

#include <cctype>
#include <mbstring.h>

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

CEndingsInForce::CEndingsInForce(const std::vector<Ending>& endings) {
    for (const Ending& e : endings) {
        if (::lstrcmpiA(e.flag.c_str(), "E") != 0 || e.ending.empty()) continue;
        unsigned char last = static_cast<unsigned char>(e.ending.back());
        bool ascii = last < 0x80;
        inForce_.push_back({e.ending, static_cast<unsigned char>(ascii ? std::tolower(last) : last), ascii});
    }
}

bool CEndingsInForce::Matches(const std::string& path) const {
    const unsigned char last = path.empty() ? 0 : static_cast<unsigned char>(path.back());
    const bool ascii = last < 0x80;
    const unsigned char folded = static_cast<unsigned char>(ascii ? std::tolower(last) : last);
    for (const Piece& e : inForce_) {
        size_t n = e.text.size();
        if (path.size() < n) continue;
        // Most names end otherwise than every ending: when both last characters are plain
        // ASCII, they tell without the full comparison.
        if (ascii && e.lastAscii && folded != e.last) continue;
        if (::_mbsicmp(reinterpret_cast<const unsigned char*>(path.c_str() + path.size() - n),
                       reinterpret_cast<const unsigned char*>(e.text.c_str())) == 0)
            return true;
    }
    return false;
}
