// koltrep-replay --help: the usage, what each option does, and the key names a script may use.
#pragma once

#include <string>

std::string ReplayHelp();
