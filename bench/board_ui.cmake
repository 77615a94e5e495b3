# Board window painting: full repaint, a zoomed-in view and the rubber band, offscreen.
if(PELIMATOR_GUI)
  pelimator_bench(board_ui_bench SOURCES ${CMAKE_CURRENT_LIST_DIR}/board_ui_bench.cpp
    LINKS pelimator_board_ui)
endif()
# Opening the 1,000,000-arc drawing in the window: time to the first full picture, memory.
if(PELIMATOR_GUI AND TARGET pelimator_batch_core)
  pelimator_bench(board_open_bench SOURCES ${CMAKE_CURRENT_LIST_DIR}/board_open_bench.cpp
    LINKS pelimator_board_ui pelimator_batch_core)
endif()
