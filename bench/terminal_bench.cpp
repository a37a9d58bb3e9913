// terminalBench: the processor time that the terminal window's drawing takes, per draw: the
// picture made from its bitmap (after a resize or a swap), the whole panel written again (the
// same), and a progress step (the rows below the picture). Writes go to a scratch file, so the
// terminal's own work is not counted, only the bytes it would be given.
#include "formats/BmpReader.h"
#include "framework/DialogTemplate.h"
#include "framework/terminal/PanelText.h"
#include "framework/terminal/PictureCells.h"
#include "framework/terminal/TerminalPanel.h"
#include "res/resource.h"

#include <cstdio>
#include <ctime>
#include <functional>
#include <unistd.h>

namespace {
double CpuMicroseconds() {
    timespec ts{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
    return ts.tv_sec * 1e6 + ts.tv_nsec / 1e3;
}

// Microseconds of processor time per run of `work`.
double Measure(int runs, const std::function<void(int)>& work) {
    double start = CpuMicroseconds();
    for (int i = 0; i < runs; ++i)
        work(i);
    return (CpuMicroseconds() - start) / runs;
}

// Bytes written to standard output per run of `work`.
double BytesPer(int runs, const std::function<void(int)>& work) {
    off_t start = lseek(STDOUT_FILENO, 0, SEEK_CUR);
    for (int i = 0; i < runs; ++i)
        work(i);
    return static_cast<double>(lseek(STDOUT_FILENO, 0, SEEK_CUR) - start) / runs;
}
} // namespace

int main() {
    FILE* report = fdopen(dup(STDOUT_FILENO), "w");
    FILE* sink = tmpfile();
    if (!report || !sink || dup2(fileno(sink), STDOUT_FILENO) < 0)
        return 1;

    formats::Bitmap start, found;
    formats::ReadBmp(FindBitmapResource(IDB_PICTURE_START)->bytes, start);
    formats::ReadBmp(FindBitmapResource(IDB_PICTURE_FOUND)->bytes, found);
    std::fprintf(report, "picture %dx%d, drawn into the cells of an 80 x 24 terminal (68 x 14)\n",
                 start.width, start.height);

    for (CellColours colours : {CellColours::TrueColour, CellColours::Palette256}) {
        const char* name = colours == CellColours::TrueColour ? "24-bit" : "256-colour";
        std::vector<std::string> picture;
        double make = Measure(200, [&](int i) {
            formats::Bitmap bitmap;
            formats::ReadBmp(
                FindBitmapResource(i % 2 ? IDB_PICTURE_FOUND : IDB_PICTURE_START)->bytes, bitmap);
            picture = PictureLines(bitmap, 78, 14, colours);
        });
        std::vector<std::string> lines{" Tarvo Zyn Vantor VII"};
        for (const std::string& line : picture)
            lines.push_back(" " + line);
        lines.push_back(ProgressLine(40, 80));
        lines.push_back(" processing system directives..");

        TerminalPanel panel;
        // A changed first line: the whole panel again.
        auto whole = [&](int i) {
            lines[0] = i % 2 ? " Tarvo Zyn Vantor VII" : " Tarvo Zyn Vantor VII ";
            panel.Draw(lines);
        };
        auto step = [&](int i) {
            lines[lines.size() - 2] = ProgressLine(i % 101, 80);
            panel.Draw(lines);
        };
        // One after the other: the steps start from a panel already drawn.
        double wholeUs = Measure(500, whole), wholeBytes = BytesPer(1, whole);
        double stepUs = Measure(5000, step), stepBytes = BytesPer(100, step);
        std::fprintf(report,
                     "%s: picture made from the bitmap %.0f us; whole panel written %.1f us "
                     "(%.0f bytes); progress step %.1f us (%.0f bytes)\n",
                     name, make, wholeUs, wholeBytes, stepUs, stepBytes);
        if (ftruncate(STDOUT_FILENO, 0) != 0 || lseek(STDOUT_FILENO, 0, SEEK_SET) != 0)
            return 1;
    }
    return 0;
}
