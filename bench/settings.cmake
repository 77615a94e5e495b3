# Settings-file reads and writes.
pelimator_bench(settings_bench SOURCES ${CMAKE_CURRENT_LIST_DIR}/settings_bench.cpp
  LINKS pelimator_settings)
