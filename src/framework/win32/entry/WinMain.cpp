// Program entry of the Windows program: the application object, built during static
// initialisation, runs everything from InitInstance; its exit code is the program's.
#include "framework/App.h"

#include "framework/win32/WinApi.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    CWinApp* app = AfxGetApp();
    if (!app)
        return 1;
    app->InitInstance();
    return app->GetExitCode();
}
