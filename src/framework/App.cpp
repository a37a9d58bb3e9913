// What the application object's services share on every platform: the one application object
// and message boxes outside a dialog, which go through the window host like any other.
#include "framework/App.h"

#include "framework/DialogHost.h"

namespace {
CWinApp* g_app = nullptr;
}

CWinApp::CWinApp() {
    g_app = this;
}

CWinApp::~CWinApp() {
    if (g_app == this)
        g_app = nullptr;
}

CWinApp* AfxGetApp() {
    return g_app;
}

void AfxMessageBox(const std::string& text) {
    DialogHost::Current().MessageBox(text, AfxGetAppName());
}
