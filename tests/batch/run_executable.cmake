# Runs the built pelimator-batch in a fresh folder: --help, one drawing from picked points, and a
# refused input that must leave no file. Called by CTest with -DBATCH=<exe> -DWORK=<folder>.
string(RANDOM LENGTH 8 suffix)
set(dir "${WORK}-${suffix}")
file(REMOVE_RECURSE "${dir}")
file(MAKE_DIRECTORY "${dir}")

function(fail message)
  file(REMOVE_RECURSE "${dir}")
  message(FATAL_ERROR "${message}")
endfunction()

execute_process(COMMAND "${BATCH}" --help RESULT_VARIABLE code OUTPUT_VARIABLE help)
string(FIND "${help}" "--points" found)
if(NOT (code EQUAL 0 AND found GREATER -1))
  fail("--help failed (${code}): ${help}")
endif()

file(WRITE "${dir}/points.txt" "0 0\n20 0\n\n0,10\n20,10\n")
file(WRITE "${dir}/settings.ini" "[Zigzag]\nWidth=5\nHeight=3\n")
execute_process(COMMAND "${BATCH}" --points points.txt --path 0 --line zigzag
                        --settings settings.ini -o out.dxf
                WORKING_DIRECTORY "${dir}" RESULT_VARIABLE code ERROR_VARIABLE err)
if(NOT (code EQUAL 0))
  fail("drawing failed (${code}): ${err}")
endif()
if(NOT (EXISTS "${dir}/out.dxf"))
  fail("no output file: ${err}")
endif()
file(READ "${dir}/out.dxf" dxf)
string(REGEX MATCHALL "\nLINE\r?\n" legs "${dxf}")
list(LENGTH legs legCount)
if(NOT (legCount EQUAL 8))
  fail("expected 8 legs, found ${legCount}")
endif()

file(WRITE "${dir}/bad.txt" "0 0\n1 zwei\n")
execute_process(COMMAND "${BATCH}" --points bad.txt -o bad.dxf
                WORKING_DIRECTORY "${dir}" RESULT_VARIABLE code ERROR_VARIABLE err)
string(FIND "${err}" "2 行目" found)
if(NOT (code EQUAL 1 AND found GREATER -1))
  fail("bad input not refused (${code}): ${err}")
endif()
if(NOT (NOT EXISTS "${dir}/bad.dxf"))
  fail("output written for bad input")
endif()

file(REMOVE_RECURSE "${dir}")
