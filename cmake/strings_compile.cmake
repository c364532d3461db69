# Turns the string table data files into C++ source.
#
#   cmake -DINPUT=strings.txt -DOUTPUT=strings.cpp
#         [-DTRANSLATIONS=<language>:<file>,<language>:<file>...] -P strings_compile.cmake
#
# Every line of a data file is "<number><TAB><text>", a comment starting with
# '#', or empty. The text keeps C escapes (\n \t \\ \"), which are copied into
# the generated string literals as they stand. Anything else stops the build
# with the file name and line number: a text that silently went missing would
# only show up as an empty message box in front of an operator.
#
# INPUT holds the English texts. A line "#english-only <first>-<last>" in it
# marks texts that are always read in English (names, account names): no
# translation may give them another wording.
#
# Each translation file holds the texts of one language under the English
# numbers; the table keeps them under number + language. A translation must
# translate a text the English file has, keep its printf placeholders in the
# same order, and must not land on a number English already uses. A number
# the translation lacks falls back to English at run time; the build prints
# how many each language lacks.

cmake_policy(VERSION 3.25)

if(NOT DEFINED INPUT OR NOT DEFINED OUTPUT)
  message(FATAL_ERROR "strings_compile.cmake needs -DINPUT=<data file> -DOUTPUT=<source file>")
endif()

# The most characters a text may have once its escapes are decoded; longer
# texts could never be shown whole (the translator hands out at most 511).
set(maxlength 511)

# Control characters other than the line feed that separates lines: a raw tab
# inside a text would otherwise slip into it unseen.
string(ASCII 1 2 3 4 5 6 7 8 9 11 12 13 14 15 16 17 18 19 20 21 22 23 24 25 26 27 28 29 30 31 127
       controls)

# printf conversions as the program's formatting uses them; "%%" is a literal.
set(placeholder "%[-+ #0]*[0-9*]*(\\.[0-9*]+)?(hh|h|ll|l|z|j|t|L)?[diouxXeEfFgGcspn%]")

# Zero-padded keys sort as text in the order of their numbers.
function(table_key number outvar)
  string(LENGTH "${number}" length)
  math(EXPR pad "10 - ${length}")
  string(REPEAT "0" ${pad} zeros)
  set(${outvar} "${zeros}${number}" PARENT_SCOPE)
endfunction()

function(placeholders text outvar)
  string(REPLACE "%%" "" text "${text}")
  string(REGEX MATCHALL "${placeholder}" found "${text}")
  string(JOIN " " found ${found})
  set(${outvar} "${found}" PARENT_SCOPE)
endfunction()

# Reads one data file. language 0 is English. Sets in the caller's scope
# text_<key> for every text, appends the keys to `keys`, and for English
# records the numbers (english_<number>) and the English-only ranges.
macro(read_strings path language)
  file(READ "${path}" content)
  get_filename_component(inputname "${path}" NAME)
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

    if(line MATCHES "^#english-only")
      if(NOT ${language} EQUAL 0)
        message(FATAL_ERROR "${where}: only the English file says which texts stay English")
      endif()
      if(NOT line MATCHES "^#english-only ([0-9]+)-([0-9]+)\r?$")
        message(FATAL_ERROR "${where}: expected \"#english-only <first>-<last>\"")
      endif()
      list(APPEND englishonly "${CMAKE_MATCH_1}-${CMAKE_MATCH_2}")
      continue()
    endif()
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

    if(${language} EQUAL 0)
      set(number ${id})
      set(english_${id} "${text}")
      list(APPEND englishids ${id})
    else()
      if(NOT DEFINED english_${id})
        message(FATAL_ERROR "${where}: text ${id} is not in the English file")
      endif()
      foreach(range IN LISTS englishonly)
        string(REPLACE "-" ";" bounds "${range}")
        list(GET bounds 0 first)
        list(GET bounds 1 last)
        if(NOT id LESS first AND NOT id GREATER last)
          message(FATAL_ERROR "${where}: text ${id} is always read in English")
        endif()
      endforeach()
      placeholders("${english_${id}}" wanted)
      placeholders("${text}" got)
      if(NOT wanted STREQUAL got)
        message(FATAL_ERROR
                "${where}: text ${id} has the placeholders \"${got}\" where English has \"${wanted}\"")
      endif()
      math(EXPR number "${id} + ${language}")
      if(DEFINED english_${number})
        message(FATAL_ERROR
                "${where}: text ${id} in language ${language} would take English text ${number}")
      endif()
      list(APPEND translated_${language} ${id})
    endif()
    table_key(${number} key)
    if(DEFINED text_${key})
      message(FATAL_ERROR "${where}: text number ${number} is given twice")
    endif()
    set(text_${key} "${text}")
    list(APPEND keys ${key})
    math(EXPR count "${count} + 1")
  endwhile()

  if(count EQUAL 0)
    message(FATAL_ERROR "${inputname}: holds no texts")
  endif()
endmacro()

set(keys "")
set(englishids "")
set(englishonly "")
read_strings("${INPUT}" 0)
get_filename_component(englishname "${INPUT}" NAME)
set(sources "${englishname}")

# The English texts every translation should cover.
set(translatable "")
foreach(id IN LISTS englishids)
  set(kept OFF)
  foreach(range IN LISTS englishonly)
    string(REPLACE "-" ";" bounds "${range}")
    list(GET bounds 0 first)
    list(GET bounds 1 last)
    if(NOT id LESS first AND NOT id GREATER last)
      set(kept ON)
    endif()
  endforeach()
  if(NOT kept)
    list(APPEND translatable ${id})
  endif()
endforeach()
list(LENGTH translatable translatablecount)

set(languages "")
if(DEFINED TRANSLATIONS AND NOT TRANSLATIONS STREQUAL "")
  string(REPLACE "," ";" translations "${TRANSLATIONS}")
  foreach(translation IN LISTS translations)
    if(NOT translation MATCHES "^([0-9]+):(.+)$")
      message(FATAL_ERROR "TRANSLATIONS: expected <language>:<file>, got \"${translation}\"")
    endif()
    set(language "${CMAKE_MATCH_1}")
    set(path "${CMAKE_MATCH_2}")
    if(language LESS 1 OR language GREATER 17)
      message(FATAL_ERROR "TRANSLATIONS: language ${language} is not a translated language")
    endif()
    if(language IN_LIST languages)
      message(FATAL_ERROR "TRANSLATIONS: language ${language} is given twice")
    endif()
    list(APPEND languages ${language})
    set(translated_${language} "")
    read_strings("${path}" ${language})
    get_filename_component(name "${path}" NAME)
    list(APPEND sources "${name}")

    set(missing 0)
    foreach(id IN LISTS translatable)
      if(NOT id IN_LIST translated_${language})
        math(EXPR missing "${missing} + 1")
      endif()
    endforeach()
    message(STATUS "Strings: ${name} (language ${language}) lacks ${missing} of "
                   "${translatablecount} English texts")
  endforeach()
endif()

list(SORT keys)
set(entries "")
list(LENGTH keys count)
foreach(key IN LISTS keys)
  math(EXPR id "${key} + 0")
  string(APPEND entries "    {${id}, \"${text_${key}}\"},\n")
endforeach()

set(translatableentries "")
foreach(id IN LISTS translatable)
  string(APPEND translatableentries "    ${id},\n")
endforeach()
if(translatablecount EQUAL 0)
  set(translatableentries "    0,\n")
endif()

string(JOIN ", " sourcenames ${sources})
file(WRITE "${OUTPUT}"
     "// Generated from ${sourcenames} by strings_compile.cmake: edit the data files, not this.\n"
     "#include \"core/access/stringtable.h\"\n\n"
     "namespace quillark::stringtable {\n\n"
     "const StringEntry entries[] = {\n"
     "${entries}"
     "};\n"
     "const std::size_t count = ${count};\n\n"
     "const int translatable[] = {\n"
     "${translatableentries}"
     "};\n"
     "const std::size_t translatableCount = ${translatablecount};\n\n"
     "}  // namespace quillark::stringtable\n")
