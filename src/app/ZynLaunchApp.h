// The application object: starts the socket service, runs one launch window in the mode the
// command line chose, and turns the way the launch ended into the exit status.
#pragma once

#include "framework/App.h"

#include <string>
#include <utility>

class CZynLaunchApp : public CWinApp {
  public:
    // `version`: the program's own, as it was built.
    explicit CZynLaunchApp(std::string version) : m_strVersion(std::move(version)) {}

    // Exit statuses.
    enum { kLaunchDone = 0, kLaunchFailed = 1, kLaunchDismissed = 2 };

    bool InitInstance() override;

  private:
    std::string m_strVersion;
};
