list(APPEND QV_CORE_SOURCES
  print/print_unit.cpp)
list(APPEND QV_APP_SOURCES
  print/printsetting.cpp)
