#include "app/appinfo.h"

#include "framework/strings.h"
#include "resource.h"

std::string AppTitle() {
    std::string s = LoadStr(IDR_MAINFRAME);
    size_t nl = s.find('\n');
    if (nl != std::string::npos) s.resize(nl);
    return s;
}

RECT DefaultWindowRect(int cx, int cy) {
    RECT rc;
    rc.left = cx / 2 - (5 * cx) / 12;
    rc.top = cy / 2 - (5 * cy) / 12;
    rc.right = rc.left + (5 * cx) / 6;
    rc.bottom = rc.top + (5 * cy) / 6;
    return rc;
}
