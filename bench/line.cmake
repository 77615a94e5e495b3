# The line while it is picked: one mouse move with and without the preview, through the board.
pelimator_bench(line_bench SOURCES ${CMAKE_CURRENT_LIST_DIR}/line_bench.cpp
  LINKS pelimator_line pelimator_board_model)
