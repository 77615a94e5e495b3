# The batch command's benchmark: a whole run (reading points, drawing, writing the DXF).
if(TARGET pelimator_batch_core)
  pelimator_bench(batch_bench
    SOURCES ${CMAKE_CURRENT_LIST_DIR}/batch_bench.cpp
    LINKS pelimator_batch_core)
endif()
