// The treemap verb: checks the arguments and hands the drawing to
// norvessa-treemap.

#include "app/cli/DriveAccess.h"
#include "app/cli/ProgramsBeside.h"
#include "app/cli/Verbs.h"

#include <cstdio>
#include <string>

namespace nrvs::cli {

// The treemap picture of a folder from the drive's cache, as the window
// draws it, with the legend along the bottom. Drawing needs Qt, which the
// rest of this tool does without: the picture is made by norvessa-treemap
// beside this program, given the checked arguments.
int RunTreemap(const CommandLine& commandLine) {
    const std::string& target = commandLine.arguments[0];
    std::string sizeText = "1600x1000", out, colourText = "kind", highlight = "-";
    for (const GivenOption& o : commandLine.options) {
        if (o.name == "--size")
            sizeText = o.values[0];
        else if (o.name == "--out")
            out = o.values[0];
        else if (o.name == "--colours")
            colourText = o.values[0];
        else if (o.name == "--highlight") {
            std::string ext = o.values[0];
            if (!ext.empty() && ext[0] == '.') ext.erase(0, 1);
            for (char& c : ext)
                if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
            highlight = "=" + ext;
        }
    }
    if (out.empty()) return commandLine.UsageError("give --out FILE.png");
    int width = 0, height = 0;
    char tail = 0;
    if (std::sscanf(sizeText.c_str(), "%dx%d%c", &width, &height, &tail) != 2) {
        std::fprintf(stderr, "norvessa-cli: --size wants WIDTHxHEIGHT in pixels, not %s\n",
                     sizeText.c_str());
        return 1;
    }
    if (colourText != "kind" && colourText != "depth") {
        std::fprintf(stderr, "norvessa-cli: --colours is kind or depth, not %s\n",
                     colourText.c_str());
        return 1;
    }
    std::string path;
    if (!ImportedFolder(target, path) && !ResolveFolder(target, path)) return 1;
    return RunBeside(
        "norvessa-treemap",
        {path, out, std::to_string(width), std::to_string(height), colourText, highlight},
        "treemap", "the picture is drawn");
}

} // namespace nrvs::cli
