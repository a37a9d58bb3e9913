// The application object: one global, constructed before the program entry calls InitInstance.
#pragma once

#include <string>

class CWinApp {
  public:
    CWinApp();
    virtual ~CWinApp();
    CWinApp(const CWinApp&) = delete;
    CWinApp& operator=(const CWinApp&) = delete;

    // Runs the program; returning leaves the program (there is no message loop of our own).
    virtual bool InitInstance() { return false; }

    // The program's exit status, set by InitInstance.
    int GetExitCode() const { return m_nExitCode; }

  protected:
    void SetExitCode(int code) { m_nExitCode = code; }
    // Hosting of controls and their 3-D drawing (common controls on Windows).
    void EnableControlContainer();

  private:
    int m_nExitCode = 0;
};

CWinApp* AfxGetApp();
// The program file's name without its extension: the caption of every message box.
std::string AfxGetAppName();
// Starts the socket service (Windows Sockets 1.1); false when it is not granted.
bool AfxSocketInit();
// The first command-line argument as the C runtime splits it (quotes grouped and removed);
// empty without one.
std::string AfxGetFirstArgument();
// Shows `text` in a message box outside any dialog (OK, exclamation mark, program caption).
void AfxMessageBox(const std::string& text);
// Text of string resource `id`.
std::string AfxLoadString(int id);
