# The scenario script parser: no widgets, shared by the runner and its unit tests.
add_library(quorvel_qvs STATIC ${CMAKE_SOURCE_DIR}/tests/runner/qvs_parser.cpp)
target_link_libraries(quorvel_qvs PUBLIC quorvel_core)

# Unit tests: every tests/unit/*.cpp goes into one GoogleTest binary.
file(GLOB QV_UNIT_TESTS CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/tests/unit/*.cpp)
add_executable(quorvel_tests ${QV_UNIT_TESTS})
target_link_libraries(quorvel_tests PRIVATE quorvel_app quorvel_qvs Qt6::Test GTest::gtest)
# Some tests run the built program as a process of its own.
add_dependencies(quorvel_tests quorvel)
target_compile_definitions(quorvel_tests PRIVATE QV_QUORVEL_EXE="$<TARGET_FILE:quorvel>"
  QV_VERSION="${PROJECT_VERSION}")
include(GoogleTest)
gtest_discover_tests(quorvel_tests
  PROPERTIES ENVIRONMENT "QT_QPA_PLATFORM=offscreen"
  DISCOVERY_TIMEOUT 60)

# The scenario runner: drives the real window from *.qvs scripts.
file(GLOB QV_RUNNER_SOURCES CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/tests/runner/*.cpp)
list(FILTER QV_RUNNER_SOURCES EXCLUDE REGEX "/qvs_parser\\.cpp$")
if(QV_RUNNER_SOURCES)
  add_executable(quorvel-scenario ${QV_RUNNER_SOURCES})
  target_link_libraries(quorvel-scenario PRIVATE quorvel_app quorvel_qvs Qt6::Test)
  file(GLOB QV_SCENARIOS CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/tests/scenarios/*.qvs)
  foreach(script ${QV_SCENARIOS})
    get_filename_component(name ${script} NAME_WE)
    add_test(NAME scenario.${name} COMMAND quorvel-scenario ${script})
    set_tests_properties(scenario.${name} PROPERTIES ENVIRONMENT "QT_QPA_PLATFORM=offscreen")
  endforeach()
  # Scripts that must fail: a runner that passes everything is caught here.
  file(GLOB QV_FAILING_SCENARIOS CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/tests/scenarios/must-fail/*.qvs)
  foreach(script ${QV_FAILING_SCENARIOS})
    get_filename_component(name ${script} NAME_WE)
    add_test(NAME scenario-must-fail.${name} COMMAND quorvel-scenario ${script})
    set_tests_properties(scenario-must-fail.${name} PROPERTIES
      ENVIRONMENT "QT_QPA_PLATFORM=offscreen" WILL_FAIL TRUE)
  endforeach()
endif()

# What an install and the Debian package give, made into temporary folders.
if(NOT QV_SANITIZE)
  add_test(NAME install.package
    COMMAND ${CMAKE_SOURCE_DIR}/tools/check-install.sh ${CMAKE_BINARY_DIR} ${QV_DOC_FROM_BIN})
endif()

# A process that changes a list through the program's own write path, for
# the test of several at once.
add_executable(quorvel-listwriter ${CMAKE_SOURCE_DIR}/tests/tools/listwriter.cpp)
target_link_libraries(quorvel-listwriter PRIVATE quorvel_core)
add_dependencies(quorvel_tests quorvel-listwriter)
target_compile_definitions(quorvel_tests PRIVATE
  QV_LISTWRITER="$<TARGET_FILE:quorvel-listwriter>")
