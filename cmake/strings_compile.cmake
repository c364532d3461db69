# Turns the string table data file into C++ source.
#
#   cmake -DINPUT=strings.txt -DOUTPUT=strings.cpp -P strings_compile.cmake
#
# Every line of INPUT is "<number><TAB><text>", a comment starting with '#',
# or empty. The text keeps C escapes (\n \t \\ \"), which are copied into the
# generated string literals as they stand. Anything else stops the build with
# the file name and line number: a text that silently went missing would only
# show up as an empty message box in front of an operator.

if(NOT DEFINED INPUT OR NOT DEFINED OUTPUT)
  message(FATAL_ERROR "strings_compile.cmake needs -DINPUT=<data file> -DOUTPUT=<source file>")
endif()

# The most characters a text may have once its escapes are decoded; longer
# texts could never be shown whole (the translator hands out at most 511).
set(maxlength 511)

file(READ "${INPUT}" content)
get_filename_component(inputname "${INPUT}" NAME)

# Control characters other than the line feed that separates lines: a raw tab
# inside a text would otherwise slip into it unseen.
string(ASCII 1 2 3 4 5 6 7 8 9 11 12 13 14 15 16 17 18 19 20 21 22 23 24 25 26 27 28 29 30 31 127
       controls)

set(entries "")
set(count 0)
set(previous -1)
set(lineno 0)
while(NOT content STREQUAL "")
  string(FIND "${content}" "\n" newline)
  if(newline EQUAL -1)
    set(line "${content}")
    set(content "")
  else()
    string(SUBSTRING "${content}" 0 ${newline} line)
    math(EXPR rest "${newline} + 1")
    string(SUBSTRING "${content}" ${rest} -1 content)
  endif()
  math(EXPR lineno "${lineno} + 1")
  set(where "${inputname}:${lineno}")

  if(line STREQUAL "" OR line MATCHES "^#")
    continue()
  endif()
  # file(READ) has already turned CR LF line ends into LF, so a CR left over
  # is a stray one inside the line.
  string(FIND "${line}" "\r" cr)
  if(NOT cr EQUAL -1)
    message(FATAL_ERROR "${where}: stray control character CR inside the line")
  endif()
  if(NOT line MATCHES "^([0-9]+)\t(.*)$")
    message(FATAL_ERROR "${where}: expected a text number, a tab and the text")
  endif()
  set(id "${CMAKE_MATCH_1}")
  set(text "${CMAKE_MATCH_2}")

  string(LENGTH "${id}" idlength)
  if(idlength GREATER 9)
    message(FATAL_ERROR "${where}: text number ${id} is too large")
  endif()
  # Drop leading zeros so that the number reads as decimal in C++, not octal.
  math(EXPR id "${id} + 0")
  if(NOT id GREATER previous)
    message(FATAL_ERROR
            "${where}: text number ${id} repeats or is out of order (after ${previous})")
  endif()
  set(previous ${id})

  if(text STREQUAL "")
    message(FATAL_ERROR "${where}: text ${id} is empty")
  endif()
  if(text MATCHES "[${controls}]")
    message(FATAL_ERROR
            "${where}: text ${id} holds a control character (a raw tab?)")
  endif()
  string(REGEX REPLACE "\\\\(n|t|\\\\|\")" "" plain "${text}")
  string(FIND "${plain}" "\\" backslash)
  if(NOT backslash EQUAL -1)
    message(FATAL_ERROR "${where}: text ${id} holds an unknown escape (only \\n \\t \\\\ \\\")")
  endif()
  string(FIND "${plain}" "\"" quote)
  if(NOT quote EQUAL -1)
    message(FATAL_ERROR "${where}: text ${id} holds a double quote that is not written as \\\"")
  endif()
  string(REGEX REPLACE "\\\\(n|t|\\\\|\")" "x" decoded "${text}")
  string(LENGTH "${decoded}" textlength)
  if(textlength GREATER maxlength)
    message(FATAL_ERROR
            "${where}: text ${id} has ${textlength} characters, more than ${maxlength}")
  endif()

  string(APPEND entries "    {${id}, \"${text}\"},\n")
  math(EXPR count "${count} + 1")
endwhile()

if(count EQUAL 0)
  message(FATAL_ERROR "${inputname}: holds no texts")
endif()

file(WRITE "${OUTPUT}"
     "// Generated from ${inputname} by strings_compile.cmake: edit the data file, not this.\n"
     "#include \"core/access/stringtable.h\"\n\n"
     "namespace quillark::stringtable {\n\n"
     "const StringEntry entries[] = {\n"
     "${entries}"
     "};\n"
     "const std::size_t count = ${count};\n\n"
     "}  // namespace quillark::stringtable\n")
