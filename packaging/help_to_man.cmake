# Writes the manual page of a command from its --help text, gzipped for the man pages folder.
# cmake -DPROGRAM=<command> -DNAME=<name> -DSUMMARY=<one line> -DVERSION=<version>
#       -DOUTPUT=<file.1.gz> -P help_to_man.cmake
foreach(variable PROGRAM NAME SUMMARY VERSION OUTPUT)
  if(NOT DEFINED ${variable})
    message(FATAL_ERROR "help_to_man: ${variable} is not set")
  endif()
endforeach()

execute_process(COMMAND "${PROGRAM}" --help OUTPUT_VARIABLE help RESULT_VARIABLE result
                ERROR_VARIABLE errors)
if(NOT result EQUAL 0 OR help STREQUAL "")
  message(FATAL_ERROR "help_to_man: ${PROGRAM} --help failed (${result}): ${errors}")
endif()

# roff: a backslash is written \e, a minus \- (so options copy as typed), and a line starting
# with a period or an apostrophe would be a request, so \& goes before it.
string(REPLACE "\\" "\\e" help "${help}")
string(REPLACE "-" "\\-" help "${help}")
string(REGEX REPLACE "(^|\n)([.'])" "\\1\\\\&\\2" help "${help}")
string(REGEX REPLACE "\n+$" "" help "${help}")

# The usage lines (up to the first blank line) are the synopsis; the rest is the description.
string(FIND "${help}" "\n\n" split)
if(split LESS 0)
  set(synopsis "${help}")
  set(description "")
else()
  string(SUBSTRING "${help}" 0 ${split} synopsis)
  math(EXPR rest "${split} + 2")
  string(SUBSTRING "${help}" ${rest} -1 description)
endif()

string(TOUPPER "${NAME}" title)
string(TIMESTAMP date "%Y-%m-%d" UTC)  # SOURCE_DATE_EPOCH, when set, makes it reproducible
string(REPLACE "-" "\\-" name_roff "${NAME}")
set(page ".TH ${title} 1 \"${date}\" \"Pelimator ${VERSION}\" \"User Commands\"
.SH NAME
${name_roff} \\- ${SUMMARY}
.SH SYNOPSIS
.nf
${synopsis}
.fi
.SH DESCRIPTION
.nf
${description}
.fi
")

get_filename_component(directory "${OUTPUT}" DIRECTORY)
string(REGEX REPLACE "\\.gz$" "" plain "${OUTPUT}")
file(WRITE "${plain}" "${page}")
file(ARCHIVE_CREATE OUTPUT "${OUTPUT}" PATHS "${plain}" FORMAT raw COMPRESSION GZip)
