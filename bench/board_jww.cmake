# Benchmarks of Jw_cad drawings: opening and saving a JWW of 1,000,000 lines and arcs.
pelimator_bench(board_jww_bench
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/board_jww_bench.cpp
  LINKS pelimator_board_files pelimator_board_jww)
