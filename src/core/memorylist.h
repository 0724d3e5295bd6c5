// Rows kept in memory: for work that needs a tool's findings without showing them (whether a
// kept startup entry is still anywhere), and for running engines with no window.
#pragma once

#include "core/services.h"

#include <string>
#include <vector>

class CMemoryList : public IResultList {
public:
    struct Row {
        std::vector<std::string> texts;
        int image = 0;
        DWORD data = 0;
        bool selected = false;
        bool checked = false;
    };
    std::vector<Row> rows;

    int AddRow(const std::vector<std::string>& texts, int image, DWORD data) override {
        rows.push_back({texts, image, data});
        return static_cast<int>(rows.size()) - 1;
    }
    int Count() const override { return static_cast<int>(rows.size()); }
    std::string Text(int row, int column) const override {
        const std::vector<std::string>& t = rows.at(row).texts;
        return column >= 0 && column < static_cast<int>(t.size()) ? t[column] : std::string();
    }
    void SetText(int row, int column, const std::string& text) override {
        std::vector<std::string>& t = rows.at(row).texts;
        if (column >= static_cast<int>(t.size())) t.resize(column + 1);
        t[column] = text;
    }
    DWORD Data(int row) const override { return rows.at(row).data; }
    bool IsSelected(int row) const override { return rows.at(row).selected; }
    bool IsChecked(int row) const override { return rows.at(row).checked; }
    void SetChecked(int row, bool checked) override { rows.at(row).checked = checked; }
    void DeleteRow(int row) override { rows.erase(rows.begin() + row); }
    void DeleteAll() override { rows.clear(); }
};
