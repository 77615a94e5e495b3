# The main window's status sink during a long line: painted every change, throttled, or none.
if(PELIMATOR_GUI)
  pelimator_bench(tool_bench SOURCES ${CMAKE_CURRENT_LIST_DIR}/tool_bench.cpp
    LINKS pelimator_tool pelimator_board_model)
endif()
