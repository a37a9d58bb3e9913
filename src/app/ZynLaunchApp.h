// The application object: starts the socket service, runs one launch window in the mode the
// command line chose, and turns the way the launch ended into the exit status.
#pragma once

#include "framework/App.h"

class CZynLaunchApp : public CWinApp {
  public:
    // Exit statuses.
    enum { kLaunchDone = 0, kLaunchFailed = 1, kLaunchDismissed = 2 };

    bool InitInstance() override;
};
