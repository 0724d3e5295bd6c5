// A hyperlink label: a static control drawn bold and underlined, blue, red while the mouse is
// over it, that opens its target when clicked.
#pragma once

#include "framework/window.h"

#include <string>

class CHotStatic : public CWindowImpl {
public:
    CHotStatic();
    ~CHotStatic() override;

    // Takes over an existing static control of a dialog.
    bool Attach(HWND staticControl);
    // The target opened on a click; the window text when empty.
    std::string link;
    bool hovering() const { return hover_; }

    std::string Target() const { return link.empty() ? Text() : link; }
    // Opens the target: the shell's "open" verb, or the browser registered for .htm files.
    static bool Open(const std::string& target);
    // The browser command for a target from the command registered for .htm files.
    static std::string BrowserCommand(const std::string& openCommand, const std::string& target);

private:
    LRESULT OnPaint();
    HFONT font_ = nullptr;
    HCURSOR cursor_ = nullptr;
    bool hover_ = false;
};
