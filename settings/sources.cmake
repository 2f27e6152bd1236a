list(APPEND QV_CORE_SOURCES
  settings/inifile.cpp)
list(APPEND QV_APP_SOURCES
  settings/settings.cpp
  settings/recent.cpp)
