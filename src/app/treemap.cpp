// norvessa-treemap: draws the treemap picture for norvessa-cli treemap, which
// has checked the arguments; the only part of the command-line tools that
// needs Qt. Arguments: program-form folder path, output file, width, height,
// "kind" or "depth", and "-" or "=" followed by the extension to highlight.
#include "core/cache/Cache.h"
#include "core/offline/Snapshot.h"
#include "core/treemap/Treemap.h"
#include "core/views/Rows.h"
#include "core/GlobalState.h"
#include "platform/Drives.h"
#include "platform/ProgramLocation.h"
#include "platform/Paths.h"
#include "ui/treemap/TreemapPainter.h"

#include <cstdio>
#include <cstdlib>
#include <string>

using namespace nrvs;

int main(int argc, char** argv) {
    if (argc != 7 || (argv[6][0] != '-' && argv[6][0] != '=')) {
        std::fprintf(stderr, "norvessa-treemap is run by norvessa-cli treemap\n");
        return 2;
    }
    // The program files are named after the window's executable beside it,
    // as norvessa-cli names them.
    std::string exe = platform::ExecutablePath();
    exe = exe.substr(0, exe.rfind('/') + 1) + "norvessa";
    platform::SetExecutablePath(exe);
    const std::string path = argv[1], out = argv[2];
    const int width = std::atoi(argv[3]), height = std::atoi(argv[4]);
    const int colours = std::string(argv[5]) == "depth" ? COLOUR_BY_DEPTH : COLOUR_BY_KIND;
    TreemapHighlight highlight;
    if (argv[6][0] == '=') {
        highlight.On = true;
        highlight.Extension = argv[6] + 1;
    }
    LoadParameters({});
    GlobalState& g = Global();
    const int letter = platform::LetterOf(path);
    g.Drives.DetectTypes();
    DriveRecord* drive = letter < 0 ? nullptr : g.Drives.ByLetter(letter);
    // Not here, but measured (an unplugged disk, an imported scan): drawn
    // from its last measurement.
    if (drive && drive->DriveType == 0 && HasSnapshot(static_cast<char>('A' + letter)))
        drive->Offline = 1;
    if (!drive || !g.Drives.ReadVolume(*drive)) {
        std::fprintf(stderr, "norvessa-cli: drive %c: is not ready\n",
                     path.empty() ? '?' : path[0]);
        return 1;
    }
    LoadCache(g.Folders, *drive);
    if (g.Folders.Count() == 0)
        std::fprintf(
            stderr,
            "norvessa-cli: %c: has not been measured; its folders are drawn as not measured\n",
            path[0]);
    const double used =
        path.size() == 3 && drive->TotalBytes > 0 ? FiguresOfRoot(*drive, -1).Used : -1;
    auto source = std::make_shared<const TreemapSource>(
        MakeSource(g.Folders, path, static_cast<int32_t>(drive->ClusterSize), used));
    if (g.Folders.Count() > 0 && !source->Files)
        std::fprintf(
            stderr,
            "norvessa-cli: %c: has no file index of its last measurement; measure it again to see "
            "single files\n",
            path[0]);
    std::string why;
    if (!WriteTreemapPicture(source, width, height, colours, g.SizeUnit, out, why, highlight)) {
        std::fprintf(stderr, "norvessa-cli: %s: %s\n", out.c_str(), why.c_str());
        return 1;
    }
    return 0;
}
