// The run function of each verb, named in the verb table; each file of the
// verbs holds one verb or a few close ones.
#pragma once

#include "app/cli/CommandLine.h"

namespace nrvs::cli {

// Drives: DriveVerbs.cpp
int RunDrives(const CommandLine& commandLine);
int RunInfo(const CommandLine& commandLine);
int RunMonitor(const CommandLine& commandLine);
int RunPaths(const CommandLine& commandLine);

// Folders: FolderVerbs.cpp
int RunList(const CommandLine& commandLine);
int RunTree(const CommandLine& commandLine);
int RunMeasure(const CommandLine& commandLine);

// Files and folders changed on disk: FileOperationVerbs.cpp
int RunCopy(const CommandLine& commandLine);
int RunMove(const CommandLine& commandLine);
int RunDelete(const CommandLine& commandLine);

int RunRank(const CommandLine& commandLine);    // RankVerb.cpp
int RunSim(const CommandLine& commandLine);     // SimulationVerb.cpp
int RunTreemap(const CommandLine& commandLine); // TreemapVerb.cpp

// The file index: FileIndexVerbs.cpp
int RunFiles(const CommandLine& commandLine);
int RunTypes(const CommandLine& commandLine);

int RunChanges(const CommandLine& commandLine); // ChangesVerb.cpp

// Documents in and out: ExchangeVerbs.cpp
int RunExport(const CommandLine& commandLine);
int RunImport(const CommandLine& commandLine);

int RunHelp(const CommandLine& commandLine); // HelpText.cpp

} // namespace nrvs::cli
