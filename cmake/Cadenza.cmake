# Shared build helpers.

# Adds a folder only once it has its own CMakeLists.txt, so that a subsystem
# that is not there yet simply does not take part in the build.
function(cadenza_optional_subdirectory dir)
  if(EXISTS ${CMAKE_CURRENT_SOURCE_DIR}/${dir}/CMakeLists.txt)
    add_subdirectory(${dir})
  endif()
endfunction()

# Warnings for our own code.
# GCC 12 reports -Wrestrict inside std::string's own inlined copy when a
# literal is assigned (a known false positive of that compiler); it says
# nothing about our code, so it is switched off there.
function(cadenza_warnings target)
  target_compile_options(${target} PRIVATE -Wall -Wextra)
  if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU" AND CMAKE_CXX_COMPILER_VERSION VERSION_LESS 13)
    target_compile_options(${target} PRIVATE $<$<COMPILE_LANGUAGE:CXX>:-Wno-restrict>)
  endif()
endfunction()

# Engine code must give reproducible sample values: no contraction of
# a*b+c into fused multiply-adds, and never fast-math.
function(cadenza_engine_flags target)
  target_compile_options(${target} PRIVATE -ffp-contract=off -fno-fast-math)
endfunction()

# A static library made of every .cpp in the current folder (one file per unit).
function(cadenza_library target)
  file(GLOB _src CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp ${CMAKE_CURRENT_SOURCE_DIR}/*.c)
  # A unit folder may still be empty; the placeholder-free empty source keeps
  # the target valid so that its dependants can link it.
  add_library(${target} STATIC ${_src} ${PROJECT_SOURCE_DIR}/cmake/empty.cpp)
  target_include_directories(${target} PUBLIC ${PROJECT_SOURCE_DIR})
  cadenza_warnings(${target})
endfunction()

# One GoogleTest executable and CTest entry per *_test.cpp in the current
# folder, linked against the given libraries and the shared test support.
function(cadenza_test_folder)
  cmake_parse_arguments(ARG "" "" "LIBS" ${ARGN})
  file(GLOB _tests CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*_test.cpp)
  file(RELATIVE_PATH _rel ${PROJECT_SOURCE_DIR}/tests ${CMAKE_CURRENT_SOURCE_DIR})
  string(REPLACE "/" "_" _prefix "${_rel}")
  foreach(_t ${_tests})
    get_filename_component(_name ${_t} NAME_WE)
    set(_exe ${_prefix}_${_name})
    add_executable(${_exe} ${_t})
    target_link_libraries(${_exe} PRIVATE ${ARG_LIBS} cadenza_test_support GTest::gtest GTest::gmock GTest::gtest_main)
    cadenza_warnings(${_exe})
    add_test(NAME ${_rel}/${_name} COMMAND ${_exe})
    cadenza_test_environment(${_rel}/${_name})
  endforeach()
endfunction()

# The environment and time limit of every test: offscreen, the build and
# source folders, and with the sanitizers their options.
function(cadenza_test_environment test)
  set_tests_properties(${test} PROPERTIES
    ENVIRONMENT "QT_QPA_PLATFORM=offscreen;CADENZA_BUILD_DIR=${CMAKE_BINARY_DIR};CADENZA_SOURCE_DIR=${PROJECT_SOURCE_DIR}"
    TIMEOUT 600)
  if(CADENZA_SANITIZE)
    # Halt on the first report; leaks inside system libraries that keep
    # their caches to the end of the process are listed in tests/lsan.supp.
    set_property(TEST ${test} APPEND PROPERTY ENVIRONMENT
      "ASAN_OPTIONS=halt_on_error=1:abort_on_error=0:detect_leaks=1"
      "UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1"
      "LSAN_OPTIONS=suppressions=${PROJECT_SOURCE_DIR}/tests/lsan.supp:print_suppressions=0")
  endif()
endfunction()

# A plug-in shared library placed in build/Plugins (or another folder). The
# program's own plug-ins (those of build/Plugins) are installed into the
# install's plug-in folder.
function(cadenza_plugin target)
  cmake_parse_arguments(ARG "" "OUTPUT_DIR" "SOURCES" ${ARGN})
  add_library(${target} MODULE ${ARG_SOURCES})
  if(NOT ARG_OUTPUT_DIR)
    set(ARG_OUTPUT_DIR ${CADENZA_PLUGIN_DIR})
    install(TARGETS ${target} LIBRARY DESTINATION ${CADENZA_INSTALL_PLUGINDIR})
    cadenza_program_part(${target})
  endif()
  set_target_properties(${target} PROPERTIES
    PREFIX ""
    LIBRARY_OUTPUT_DIRECTORY ${ARG_OUTPUT_DIR}
    C_VISIBILITY_PRESET hidden
    CXX_VISIBILITY_PRESET hidden
    VISIBILITY_INLINES_HIDDEN ON)
  target_include_directories(${target} PRIVATE ${PROJECT_SOURCE_DIR}/plugins/include)
  cadenza_warnings(${target})
  cadenza_engine_flags(${target})
endfunction()

# The parts of the program proper: the program, its plug-ins, the tools and
# the manual pages. The target cadenza_program builds them and nothing else
# (no test, no benchmark): `make run`, `make install` and `make package`.
function(cadenza_program_part target)
  set_property(GLOBAL APPEND PROPERTY CADENZA_PROGRAM_PARTS ${target})
endfunction()

# An installed executable: bin/<target>, and its manual page
# man1/<target>.1.gz written from its --help (cmake/manpage.py) with the
# one-line summary; SEE_ALSO names the related pages.
function(cadenza_install_program target summary)
  cmake_parse_arguments(ARG "" "" "SEE_ALSO" ${ARGN})
  install(TARGETS ${target} RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
  set(_page ${CMAKE_BINARY_DIR}/man/${target}.1.gz)
  string(REPLACE ";" "," _see "${ARG_SEE_ALSO}")
  add_custom_command(OUTPUT ${_page}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/man
    COMMAND Python3::Interpreter ${PROJECT_SOURCE_DIR}/cmake/manpage.py $<TARGET_FILE:${target}> ${target}
            "${summary}" ${CADENZA_RELEASE_DATE} ${PROJECT_VERSION} ${_page} "${_see}"
    DEPENDS ${target} ${PROJECT_SOURCE_DIR}/cmake/manpage.py
    COMMENT "Manual page ${target}.1"
    VERBATIM)
  add_custom_target(${target}_manpage ALL DEPENDS ${_page})
  install(FILES ${_page} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
  cadenza_program_part(${target})
  cadenza_program_part(${target}_manpage)
endfunction()
