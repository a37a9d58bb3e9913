// The program entry of the Linux program: hands the command line to the framework and runs
// the one global application object.
#include "framework/App.h"
#include "framework/DialogHost.h"
#include "framework/posix/ProgramArguments.h"

int main(int argc, char** argv) {
    SetProgramArguments(argc, argv);
    // The window's host catches the close signals from here on, so that one sent while the
    // program starts is not lost: it closes the window as soon as it opens.
    PlatformDialogHost();
    CWinApp* app = AfxGetApp();
    if (!app)
        return 1;
    app->InitInstance();
    return app->GetExitCode();
}
