// The program's one application object; the platform's entry runs it.
#include "app/ZynLaunchApp.h"

CZynLaunchApp theApp;
