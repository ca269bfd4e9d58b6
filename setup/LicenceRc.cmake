# Writes the string-table entry of the licence agreement from an RTF file:
#   cmake -DLICENCE=<file.rtf> -DOUTPUT=<licence.rc> -P LicenceRc.cmake
# The RTF is taken byte for byte in code page 1251 (an RTF with \'xx escapes is plain ASCII),
# line ends included: backslashes and quotes are doubled, CR and LF written as escapes, and
# each line becomes one literal. The file is read as hex because file(READ) drops CRs.
file(SIZE "${LICENCE}" size)
# A longer string resource would be cut without a word: refuse it instead.
if(size GREATER 65535)
    message(FATAL_ERROR "${LICENCE}: ${size} characters; a string resource holds 65,535")
endif()

foreach(code RANGE 32 255)
    math(EXPR hex "${code}" OUTPUT_FORMAT HEXADECIMAL)
    string(SUBSTRING "${hex}" 2 -1 hex)
    string(TOLOWER "${hex}" hex)
    string(ASCII ${code} char)
    set(char_${hex} "${char}")
endforeach()
set(char_5c "\\\\")
set(char_22 "\"\"")
set(char_09 "\\t")
set(char_0d "\\r")
set(char_0a "\\n\"\n    \"")

file(READ "${LICENCE}" hex HEX)
string(TOLOWER "${hex}" hex)
string(REGEX REPLACE "(..)" "\\1;" bytes "${hex}")
set(text "")
foreach(byte IN LISTS bytes)
    if(byte STREQUAL "")
        continue()
    endif()
    if(NOT DEFINED char_${byte})
        message(FATAL_ERROR "${LICENCE}: control character 0x${byte} in the licence text")
    endif()
    string(APPEND text "${char_${byte}}")
endforeach()

file(WRITE "${OUTPUT}.tmp" "// Generated from ${LICENCE}: do not edit.\n"
     "#pragma code_page(1251)\n"
     "LANGUAGE 0x19, 0x01\n"
     "STRINGTABLE\nBEGIN\n    150 \"${text}\"\nEND\n")
execute_process(COMMAND ${CMAKE_COMMAND} -E copy_if_different "${OUTPUT}.tmp" "${OUTPUT}")
file(REMOVE "${OUTPUT}.tmp")
