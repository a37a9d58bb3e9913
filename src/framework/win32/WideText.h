// The launcher's 8-bit strings (in the ANSI code page) met with the system's wide-character
// calls: a folder whose name that code page cannot write is reached only through those.
#pragma once

#include <string>

std::wstring WidenAnsi(const std::string& text);
// Characters the code page cannot write come out as the system's default character.
std::string NarrowAnsi(const std::wstring& text);
// The full wide path of `name`, taken relative to the current directory; the name itself,
// widened, when the system makes no path of it.
std::wstring FullWidePath(const std::string& name);
