# Benchmarks of drawing files: DXF open and save of the batch's 1,000,000-arc drawing, against
# ezdxf.
if(TARGET pelimator_batch_core)
  pelimator_bench(board_dxf_bench
    SOURCES ${CMAKE_CURRENT_LIST_DIR}/board_dxf_bench.cpp
    LINKS pelimator_batch_core pelimator_board_files pelimator_board_dxf)
endif()
