# cmake -DCXX=compiler -DINCLUDES=dir|dir... -DVISIBLE=header -DHIDDEN=header -DWORK=folder
#       -P CheckLayer.cmake
# Preprocesses one include of each header with only those include directories: VISIBLE must
# be found (with everything it includes), HIDDEN must not be.
string(REPLACE "|" ";" dirs "${INCLUDES}")
set(flags -std=c++20 -E -DUNICODE -D_UNICODE -DNOMINMAX -D_WIN32_WINNT=0x0601)
foreach(dir IN LISTS dirs)
    list(APPEND flags -I${dir})
endforeach()
file(MAKE_DIRECTORY ${WORK})

function(preprocess header result output)
    file(WRITE ${WORK}/probe.cpp "#include \"${header}\"\n")
    execute_process(COMMAND ${CXX} ${flags} ${WORK}/probe.cpp -o ${WORK}/probe.i
                    RESULT_VARIABLE rc ERROR_VARIABLE err)
    set(${result} ${rc} PARENT_SCOPE)
    set(${output} "${err}" PARENT_SCOPE)
endfunction()

preprocess(${VISIBLE} rc err)
if(NOT rc EQUAL 0)
    message(FATAL_ERROR "${VISIBLE} should be visible here:\n${err}")
endif()
preprocess(${HIDDEN} rc err)
if(rc EQUAL 0)
    message(FATAL_ERROR "${HIDDEN} is visible from a lower layer")
endif()
string(FIND "${err}" "${HIDDEN}" at)
if(at EQUAL -1)
    message(FATAL_ERROR "${HIDDEN} failed for another reason:\n${err}")
endif()
