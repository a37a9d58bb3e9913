// The two file tests used on configuration files and components.
#include "config/FileTests.h"

#include "framework/System.h"

namespace zyn {

bool FileExists(const std::string& name) {
    return sys::CanOpenForReading(name);
}

bool IsFileComplete(const std::string& name) {
    uint64_t size = 0;
    return sys::GetOpenableFileSize(name, size) && size >= kCompleteFileSize;
}

} // namespace zyn
