list(APPEND QV_CORE_SOURCES
  settings/inifile.cpp
  settings/recentslots.cpp)
list(APPEND QV_APP_SOURCES
  settings/settings.cpp
  settings/recent.cpp)
