#include "app/app.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    CWrenlyApp app;
    if (!app.InitApplication()) return 0;
    if (!app.InitInstance()) return 1;
    return app.Run();
}
