# Board window painting: full repaint, a zoomed-in view and the rubber band, offscreen.
if(PELIMATOR_GUI)
  pelimator_bench(board_ui_bench SOURCES ${CMAKE_CURRENT_LIST_DIR}/board_ui_bench.cpp
    LINKS pelimator_board_ui)
endif()
