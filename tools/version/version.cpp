// zynVersion FILE...: one line per file, "FILE<TAB>=TEXT" with the version text that the
// launcher reads (its buffer of 128 characters included), or "FILE<TAB>none".
#include "framework/System.h"

#include <cstdio>

int main(int argc, char** argv) {
    for (int i = 1; i < argc; ++i) {
        char buffer[128];
        if (sys::ReadFileVersion(argv[i], buffer, sizeof buffer))
            std::printf("%s\t=%s\n", argv[i], buffer);
        else
            std::printf("%s\tnone\n", argv[i]);
    }
    return 0;
}
