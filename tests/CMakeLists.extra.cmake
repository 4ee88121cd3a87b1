# Programs built with an independent Fortran compiler that write files for
# the unformatted layer to read and read the files it writes. They are
# plain custom commands, so the project's own flags (sanitizers included)
# never reach them. Without the compiler the interoperability tests skip.
# A cross build needs the peers built for its target too, by a Fortran
# cross compiler of the same triple; without one those tests skip.
if(CMAKE_CROSSCOMPILING)
  find_program(UNF_PEER_FC NAMES ${CMAKE_LIBRARY_ARCHITECTURE}-gfortran
               ${CMAKE_CXX_COMPILER_TARGET}-gfortran)
else()
  find_program(UNF_PEER_FC NAMES gfortran)
endif()
set(UNF_PEER_DIR ${CMAKE_CURRENT_BINARY_DIR}/fortran)
if(UNF_PEER_FC)
  set(unf_peers)
  foreach(peer unf_peer_write unf_peer_read check_conversion)
    set(src ${CMAKE_CURRENT_SOURCE_DIR}/fortran/${peer}.f90)
    set(bin ${UNF_PEER_DIR}/${peer})
    add_custom_command(OUTPUT ${bin}
      COMMAND ${CMAKE_COMMAND} -E make_directory ${UNF_PEER_DIR}
      COMMAND ${UNF_PEER_FC} -O1 -o ${bin} ${src}
      DEPENDS ${src}
      COMMENT "Building Fortran peer ${peer}"
      VERBATIM)
    list(APPEND unf_peers ${bin})
  endforeach()
  add_custom_target(unf_fortran_peers ALL DEPENDS ${unf_peers})
  add_dependencies(test_unf_interop unf_fortran_peers)
  add_dependencies(test_convert_peer unf_fortran_peers)
else()
  message(STATUS "gfortran not found: unformatted interoperability tests "
                 "will be skipped")
endif()
foreach(t test_unf_interop test_convert_peer)
  target_compile_definitions(${t} PRIVATE UNF_PEER_DIR="${UNF_PEER_DIR}")
endforeach()

include(${CMAKE_CURRENT_SOURCE_DIR}/user_tools.cmake)

# The digit table that the number-text tests read must be what its model
# writes today: a model changed without its table, or the reverse, fails.
find_program(DIGIT_MODEL_PYTHON NAMES python3)
if(DIGIT_MODEL_PYTHON)
  add_test(NAME DigitTable.MatchesItsModel
    COMMAND sh -c "\"$0\" make_digit_table.py | cmp - digit_table.txt"
            ${DIGIT_MODEL_PYTHON}
    WORKING_DIRECTORY ${CMAKE_CURRENT_SOURCE_DIR}/digit_model)
endif()
