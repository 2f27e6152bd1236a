// The command line's forms that need no window: --add, --list, --help,
// --version and the refusal of anything else. They run with no display (a
// plain core application), write what they print to standard output and
// standard error, and return the exit code.
#pragma once

#include "ui/arguments.h"

int RunCommandLine(const Arguments &arguments);
