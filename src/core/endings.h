// Ending lists: the stored form of the unneeded-file and duplicate endings, one text of
// comma-separated pieces, each an ending followed by its flag ("E" in force, "D" kept but not
// used). An empty text stands for the built-in defaults.
#pragma once

#include <string>
#include <vector>

struct Ending {
    std::string ending;
    std::string flag;
    bool operator==(const Ending& o) const { return ending == o.ending && flag == o.flag; }
};

// The defaults, all in force.
std::vector<Ending> EndingsInForce(const char* const* endings, size_t count);
// Cuts the stored text at each ","; an empty text gives `defaults`. A piece without an ending
// is dropped: an empty ending would match every file.
std::vector<Ending> ParseEndingList(const std::string& text, const std::vector<Ending>& defaults);
// The stored form of a list.
std::string EndingListText(const std::vector<Ending>& endings);

// The endings in force ("E", without regard to case) of a list, prepared once for the many
// names of a walk.
class CEndingsInForce {
public:
    explicit CEndingsInForce(const std::vector<Ending>& endings = {});
    // Whether `path` ends in one of them, without regard to case (multibyte-aware).
    bool Matches(const std::string& path) const;

private:
    struct Piece {
        std::string text;
        unsigned char last;  // the last byte, lower case when ASCII
        bool lastAscii;
    };
    std::vector<Piece> inForce_;
};
