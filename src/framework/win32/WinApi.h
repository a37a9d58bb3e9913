// The Windows headers as the backend wants them: sockets before windows.h, and the A/W
// macros that would rename the framework's own operations (MessageBox, DeleteFile ...) removed.
#pragma once

// The framework's shapes first, so that windows.h's IDOK/IDCANCEL macros meet an enum that
// already exists rather than rewriting its declaration.
#include "framework/Dialog.h"

#include <winsock2.h>
#include <ws2tcpip.h>

#include <commctrl.h>
#include <windows.h>

#undef MessageBox
#undef DeleteFile
#undef CopyFile
#undef SetWindowText
