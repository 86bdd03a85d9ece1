# The Windows release's documents: the manual page as HTML, and the
# README's "## Windows" section as text with CR LF line ends (Notepad).
#   cmake -DMANDOC=... -DPAGE=... -DREADME=... -DOUT=dir -P release-documents.cmake
execute_process(COMMAND ${MANDOC} -T html -O style=none ${PAGE}
  OUTPUT_FILE ${OUT}/zvk_avs_runner.html RESULT_VARIABLE status)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "mandoc failed on ${PAGE}: ${status}")
endif()

file(READ ${README} readme)
string(FIND "${readme}" "\n## Windows\n" start)
if(start EQUAL -1)
  message(FATAL_ERROR "${README} has no \"## Windows\" section")
endif()
math(EXPR start "${start} + 1")
string(SUBSTRING "${readme}" ${start} -1 section)
# Up to the next section of the same level.
string(FIND "${section}" "\n## " end)
if(NOT end EQUAL -1)
  math(EXPR end "${end} + 1")
  string(SUBSTRING "${section}" 0 ${end} section)
endif()
string(REPLACE "\n" "\r\n" section "${section}")
file(WRITE ${OUT}/README-Windows.txt "${section}")
