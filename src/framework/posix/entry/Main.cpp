// The program entry of the Linux program: hands the command line to the framework and runs
// the one global application object.
#include "App.h"
#include "posix/ProgramArguments.h"

int main(int argc, char** argv) {
    SetProgramArguments(argc, argv);
    CWinApp* app = AfxGetApp();
    if (!app)
        return 1;
    app->InitInstance();
    return app->GetExitCode();
}
