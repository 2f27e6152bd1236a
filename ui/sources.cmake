list(APPEND QV_APP_SOURCES
  ui/Quorvelmain.cpp
  ui/widgets.cpp
  ui/placement.cpp
  ui/fonts.cpp
  ui/program.cpp
  ui/finddialog.cpp)
