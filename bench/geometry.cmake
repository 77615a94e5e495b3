# Benchmarks of the geometry routines and the path resampling.
pelimator_bench(geometry_bench
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/geometry_bench.cpp
  LINKS pelimator_geometry)
