// Why the last socket call failed: recorded by the backends, read back through
// CAsyncSocket::GetLastError.
#pragma once

// Record `code` (SOCK_ERR_...) and return what a failed call returns: -1 for a count, false
// for a flag.
int FailCount(int code);
bool FailCall(int code);
