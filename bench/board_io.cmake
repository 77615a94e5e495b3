# Benchmarks of drawing files: DXF save and open of 1,000,000 lines and arcs, against ezdxf.
pelimator_bench(board_io_bench
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/board_io_bench.cpp
  LINKS pelimator_board_io)
