# The board model's benchmarks: snapping in a large drawing, curve flattening, large edit steps.
pelimator_bench(board_bench SOURCES ${CMAKE_CURRENT_LIST_DIR}/board_bench.cpp
  LINKS pelimator_board_model)
