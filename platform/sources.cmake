list(APPEND QV_CORE_SOURCES
  platform/apperror.cpp
  platform/cp932.cpp
  platform/fileio.cpp
  platform/largepages.cpp
  platform/pagesurface.cpp
  platform/paths.cpp)
list(APPEND QV_APP_SOURCES
  platform/platform.cpp
  platform/desktop.cpp
  platform/windowchannel.cpp
  platform/printersurface.cpp)
