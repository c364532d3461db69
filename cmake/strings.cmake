# Compiles resources/strings/strings.txt into quillark_core, so that every text
# the program shows is part of the executable and a text number always finds
# its text without a file to go missing at run time.

set(QUILLARK_STRINGS_DATA ${PROJECT_SOURCE_DIR}/resources/strings/strings.txt)
set(QUILLARK_STRINGS_SCRIPT ${CMAKE_CURRENT_LIST_DIR}/strings_compile.cmake)
set(QUILLARK_STRINGS_SOURCE ${CMAKE_CURRENT_BINARY_DIR}/generated/strings.cpp)

# One translation file per offered language, "<language index>:<file>"; the
# index is the one the language dialog stores (its name is text 19900 + index).
set(QUILLARK_STRINGS_LANGUAGES
    "2:strings_nl.txt" "3:strings_fr.txt" "4:strings_de.txt" "6:strings_it.txt"
    "8:strings_pt.txt" "9:strings_es.txt" "11:strings_en_US.txt" "17:strings_ru.txt")
set(QUILLARK_STRINGS_TRANSLATIONS "")
set(QUILLARK_STRINGS_TRANSLATION_FILES "")
foreach(quillark_language IN LISTS QUILLARK_STRINGS_LANGUAGES)
  string(REPLACE ":" ";" quillark_parts "${quillark_language}")
  list(GET quillark_parts 0 quillark_index)
  list(GET quillark_parts 1 quillark_file)
  set(quillark_file ${PROJECT_SOURCE_DIR}/resources/strings/${quillark_file})
  list(APPEND QUILLARK_STRINGS_TRANSLATIONS "${quillark_index}:${quillark_file}")
  list(APPEND QUILLARK_STRINGS_TRANSLATION_FILES ${quillark_file})
endforeach()
string(JOIN "," QUILLARK_STRINGS_TRANSLATIONS ${QUILLARK_STRINGS_TRANSLATIONS})

add_custom_command(
  OUTPUT ${QUILLARK_STRINGS_SOURCE}
  COMMAND ${CMAKE_COMMAND} -DINPUT=${QUILLARK_STRINGS_DATA} -DOUTPUT=${QUILLARK_STRINGS_SOURCE}
          -DTRANSLATIONS=${QUILLARK_STRINGS_TRANSLATIONS} -P ${QUILLARK_STRINGS_SCRIPT}
  DEPENDS ${QUILLARK_STRINGS_DATA} ${QUILLARK_STRINGS_TRANSLATION_FILES} ${QUILLARK_STRINGS_SCRIPT}
  COMMENT "Compiling the string table"
  VERBATIM)
target_sources(quillark_core_access PRIVATE ${QUILLARK_STRINGS_SOURCE})

# The compiler of the table must refuse a damaged data file rather than drop
# texts: feed it one small bad file per kind of damage and expect the reason.
if(BUILD_TESTING)
  set(QUILLARK_STRINGS_CHECK ${CMAKE_CURRENT_BINARY_DIR}/strings_check)
  string(REPEAT "a" 512 quillark_long)
  set(QUILLARK_STRINGS_CASES
      "NoTab|1000 No tab here\n|expected a text number, a tab and the text"
      "NotANumber|x1000\tText\n|expected a text number, a tab and the text"
      "Repeated|1000\tOne\n1000\tTwo\n|repeats or is out of order"
      "Descending|2000\tOne\n1000\tTwo\n|repeats or is out of order"
      "Empty|1000\t\n|text 1000 is empty"
      "RawTab|1000\tOne\tTwo\n|control character"
      "StrayCR|1000\tOne\rTwo\n|control character CR"
      "UnknownEscape|1000\tC:\\temp\\x\n|unknown escape"
      "BareQuote|1000\tSay \"hi\n|double quote"
      "TooLong|1000\t${quillark_long}\n|more than 511"
      "NoTexts|# nothing\n\n|holds no texts")
  foreach(quillark_case IN LISTS QUILLARK_STRINGS_CASES)
    string(REPLACE "|" ";" quillark_parts "${quillark_case}")
    list(GET quillark_parts 0 quillark_name)
    list(GET quillark_parts 1 quillark_bytes)
    list(GET quillark_parts 2 quillark_reason)
    set(quillark_file ${QUILLARK_STRINGS_CHECK}/bad/${quillark_name})
    file(WRITE ${quillark_file}.txt "${quillark_bytes}")
    add_test(NAME Strings.Rejects${quillark_name}
             COMMAND ${CMAKE_COMMAND} -DINPUT=${quillark_file}.txt -DOUTPUT=${quillark_file}.cpp
                     -P ${QUILLARK_STRINGS_SCRIPT})
    set_tests_properties(Strings.Rejects${quillark_name}
                         PROPERTIES PASS_REGULAR_EXPRESSION "${quillark_reason}")
  endforeach()

  # A translation file is checked against an English one: it may only
  # translate texts English has, keeps their placeholders, leaves the
  # English-only texts alone and never lands on an English number.
  set(quillark_english "1000\tText %d of %s\n1050\tNext\n#english-only 2000-2001\n2000\tName\n2001\tOther\n3000\tA\n3003\tB\n")
  file(WRITE ${QUILLARK_STRINGS_CHECK}/translation/english.txt "${quillark_english}")
  set(QUILLARK_TRANSLATION_CASES
      "NotInEnglish|1000\tTexte %d de %s\n1100\tNouveau\n|text 1100 is not in the English file"
      "LostPlaceholder|1000\tTexte %s\n|placeholders \"%s\" where English has"
      "SwappedPlaceholders|1000\tTexte %s de %d\n|placeholders \"%s %d\" where English has"
      "EnglishOnly|2000\tNom\n|text 2000 is always read in English"
      "Malformed|1000 Texte %d de %s\n|translation.txt:1: expected a text number, a tab")
  foreach(quillark_case IN LISTS QUILLARK_TRANSLATION_CASES)
    string(REPLACE "|" ";" quillark_parts "${quillark_case}")
    list(GET quillark_parts 0 quillark_name)
    list(GET quillark_parts 1 quillark_bytes)
    list(GET quillark_parts 2 quillark_reason)
    set(quillark_dir ${QUILLARK_STRINGS_CHECK}/translation/${quillark_name})
    file(WRITE ${quillark_dir}/translation.txt "${quillark_bytes}")
    add_test(NAME Strings.TranslationRejects${quillark_name}
             COMMAND ${CMAKE_COMMAND} -DINPUT=${QUILLARK_STRINGS_CHECK}/translation/english.txt
                     -DOUTPUT=${quillark_dir}/out.cpp
                     -DTRANSLATIONS=3:${quillark_dir}/translation.txt -P ${QUILLARK_STRINGS_SCRIPT})
    set_tests_properties(Strings.TranslationRejects${quillark_name}
                         PROPERTIES PASS_REGULAR_EXPRESSION "${quillark_reason}")
  endforeach()
  # In French (3) text 3000 would take the number of the English 3003, and a
  # language past the table would land anywhere.
  foreach(quillark_collision "Collides|3|3000\tA fr\n|language 3 would take English text 3003"
                             "OutsideTheTable|50|1000\tTexte %d de %s\n|language 50 is not a translated")
    string(REPLACE "|" ";" quillark_parts "${quillark_collision}")
    list(GET quillark_parts 0 quillark_name)
    list(GET quillark_parts 1 quillark_index)
    list(GET quillark_parts 2 quillark_bytes)
    list(GET quillark_parts 3 quillark_reason)
    set(quillark_dir ${QUILLARK_STRINGS_CHECK}/translation/${quillark_name})
    file(WRITE ${quillark_dir}/translation.txt "${quillark_bytes}")
    add_test(NAME Strings.TranslationRejects${quillark_name}
             COMMAND ${CMAKE_COMMAND} -DINPUT=${QUILLARK_STRINGS_CHECK}/translation/english.txt
                     -DOUTPUT=${quillark_dir}/out.cpp
                     -DTRANSLATIONS=${quillark_index}:${quillark_dir}/translation.txt
                     -P ${QUILLARK_STRINGS_SCRIPT})
    set_tests_properties(Strings.TranslationRejects${quillark_name}
                         PROPERTIES PASS_REGULAR_EXPRESSION "${quillark_reason}")
  endforeach()

  # The real files: the count of English texts each language lacks is
  # printed (they fall back to English), and any bad line fails.
  add_test(NAME Strings.TranslationCoverage
           COMMAND ${CMAKE_COMMAND} -DINPUT=${QUILLARK_STRINGS_DATA}
                   -DOUTPUT=${QUILLARK_STRINGS_CHECK}/coverage.cpp
                   -DTRANSLATIONS=${QUILLARK_STRINGS_TRANSLATIONS} -P ${QUILLARK_STRINGS_SCRIPT})
  set_tests_properties(Strings.TranslationCoverage PROPERTIES PASS_REGULAR_EXPRESSION
                       "strings_de.txt \\(language 4\\) lacks [0-9]+ of")

  # A file saved with CR LF line ends compiles to exactly what LF gives, and
  # every escape passes through.
  set(quillark_good "# comment\n\n1000\tLine\\none\\ttab \\\\ \\\"quoted\\\"\n2000\t  blanks  \n")
  string(REPLACE "\n" "\r\n" quillark_goodcrlf "${quillark_good}")
  foreach(quillark_form lf crlf)
    if(quillark_form STREQUAL "lf")
      file(WRITE ${QUILLARK_STRINGS_CHECK}/lf/good.txt "${quillark_good}")
    else()
      file(WRITE ${QUILLARK_STRINGS_CHECK}/crlf/good.txt "${quillark_goodcrlf}")
    endif()
    add_test(NAME Strings.Compiles_${quillark_form}
             COMMAND ${CMAKE_COMMAND} -DINPUT=${QUILLARK_STRINGS_CHECK}/${quillark_form}/good.txt
                     -DOUTPUT=${QUILLARK_STRINGS_CHECK}/${quillark_form}/good.cpp
                     -P ${QUILLARK_STRINGS_SCRIPT})
    set_tests_properties(Strings.Compiles_${quillark_form} PROPERTIES FIXTURES_SETUP StringsGood)
  endforeach()
  add_test(NAME Strings.CrLfCompilesLikeLf
           COMMAND ${CMAKE_COMMAND} -E compare_files ${QUILLARK_STRINGS_CHECK}/lf/good.cpp
                   ${QUILLARK_STRINGS_CHECK}/crlf/good.cpp)
  set_tests_properties(Strings.CrLfCompilesLikeLf PROPERTIES FIXTURES_REQUIRED StringsGood)
endif()
