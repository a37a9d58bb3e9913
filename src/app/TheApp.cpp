// The program's one application object, of the version the program is built as; the platform's
// entry runs it.
#include "app/ZynLaunchApp.h"

CZynLaunchApp theApp(ZYN_BUILD_VERSION);
