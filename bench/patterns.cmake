# Benchmarks of the wave and zigzag generators through the board, against a bare geometry loop.
pelimator_bench(patterns_bench
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/patterns_bench.cpp
  LINKS pelimator_patterns pelimator_board_model)
