# The benchmarks (Google Benchmark): quorvel_bench, run by tools/bench.sh.
find_package(benchmark REQUIRED)
add_executable(quorvel_bench
  ${CMAKE_SOURCE_DIR}/bench/quorvel_bench.cpp
  ${CMAKE_SOURCE_DIR}/bench/listgen.cpp)
target_link_libraries(quorvel_bench PRIVATE quorvel_app benchmark::benchmark)
