list(APPEND QV_CORE_SOURCES
  ui/arguments.cpp)
list(APPEND QV_APP_SOURCES
  ui/Quorvelmain.cpp
  ui/widgets.cpp
  ui/placement.cpp
  ui/fonts.cpp
  ui/program.cpp
  ui/finddialog.cpp
  ui/quickcapture.cpp
  ui/commandline.cpp)
# "quorvel --version" says the project's version.
set_property(SOURCE ${CMAKE_SOURCE_DIR}/ui/arguments.cpp APPEND PROPERTY
  COMPILE_DEFINITIONS QV_VERSION="${PROJECT_VERSION}")
