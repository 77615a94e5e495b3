# Benchmarks of autosave: the window's share (the copy) and the worker's (the write) for the
# batch's 1,000,000-arc drawing.
if(TARGET pelimator_batch_core)
  pelimator_bench(board_recovery_bench
    SOURCES ${CMAKE_CURRENT_LIST_DIR}/board_recovery_bench.cpp
    LINKS pelimator_batch_core pelimator_board_recovery pelimator_board_files)
endif()
