// The small interfaces the scan and removal engines work against, so that they run the same
// with the real window (the result list, the cancel dialog, the message bar) or in a test.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

// The rows of the result list: one text per column and one 32-bit item data value each.
class IResultList {
public:
    virtual ~IResultList() = default;
    // Appends a row; image -1 asks for the icon on demand. Returns the row's index.
    virtual int AddRow(const std::vector<std::string>& texts, int image, DWORD data) = 0;
    virtual int Count() const = 0;
    virtual std::string Text(int row, int column) const = 0;
    virtual void SetText(int row, int column, const std::string& text) = 0;
    virtual DWORD Data(int row) const = 0;
    virtual bool IsSelected(int row) const = 0;
    virtual bool IsChecked(int row) const = 0;
    virtual void SetChecked(int row, bool checked) = 0;
    virtual void DeleteRow(int row) = 0;
    virtual void DeleteAll() = 0;
};

// Polled by long work between units; true once the user asked to stop.
class ICancelPoll {
public:
    virtual ~ICancelPoll() = default;
    virtual bool checkCancelled() = 0;
};

// Where progress and summaries go: target 0 the message bar (bold, under the toolbar), 1 the
// status bar at the bottom; and the taskbar notifier popup (shown only while the user has
// taskbar messages on).
class IStatusSink {
public:
    virtual ~IStatusSink() = default;
    virtual void SetStatusText(const std::string& text, int target) = 0;
    virtual void ShowNotifierText(const std::string& text) = 0;
};
