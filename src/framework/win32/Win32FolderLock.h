// The folder lock's part in the Windows dialog host: the window of the run that holds the lock
// carries a mark by which a second launcher in the folder finds it.
#pragma once

#include "framework/win32/WinApi.h"

void MarkFolderLockWindow(HWND window);
void UnmarkFolderLockWindow(HWND window);
