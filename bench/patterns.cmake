# Benchmarks of the wave and zigzag generators through a host, against a bare geometry loop.
if(TARGET pelimator_test_support)
  pelimator_bench(patterns_bench
    SOURCES ${CMAKE_CURRENT_LIST_DIR}/patterns_bench.cpp
    LINKS pelimator_patterns pelimator_test_support)
endif()
