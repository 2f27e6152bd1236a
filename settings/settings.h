// What the settings file says outside the window's own start-up.
#pragma once

#include <QString>

// The list file a window would open at start-up: the settings file's
// File / LastFileName, or the default list file when it holds none. Only
// reads the settings file.
QString CurrentListFileName();
