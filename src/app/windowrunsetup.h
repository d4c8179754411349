#pragma once

#include "runs/runsetup.h"

class EngineCatalogue;
class ProjectSession;
struct StartupFlags;

// What a run started from the window reads: the open project's settings value,
// files and directory from the session, the engines on offer, and the start-up
// flags' debug and test modes (the test server comes from the application ini).
RunSetup WindowRunSetup(const ProjectSession &session, const EngineCatalogue &engines, const StartupFlags &flags);
