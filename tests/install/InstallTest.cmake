# Driven by ctest: see CMakeLists.txt beside this file.
function(run)
  execute_process(COMMAND ${ARGN} RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE err)
  if(NOT rc EQUAL 0)
    message(FATAL_ERROR "failed (${rc}): ${ARGN}\n${out}\n${err}")
  endif()
  set(RUN_OUTPUT "${out}" PARENT_SCOPE)
endfunction()

function(expect_equal actual expected what)
  if(NOT actual STREQUAL expected)
    message(FATAL_ERROR "${what}: expected '${expected}', got '${actual}'")
  endif()
endfunction()

file(REMOVE_RECURSE ${WORK_DIR})
set(STAGE ${WORK_DIR}/stage)
set(PREFIX ${WORK_DIR}/moved)
run(${CMAKE_COMMAND} --install ${BUILD_DIR} --prefix ${STAGE})
# Moved after installing: nothing may point back into the build or the first place.
file(RENAME ${STAGE} ${PREFIX})

string(REGEX MATCH "^([0-9]+)\\.([0-9]+)" _ "${VERSION}")
if(CMAKE_MATCH_1 EQUAL 0)
  set(SONAME libqorbm.so.0.${CMAKE_MATCH_2})
else()
  set(SONAME libqorbm.so.${CMAKE_MATCH_1})
endif()
foreach(f
    ${BINDIR}/korvix-cli
    ${LIBDIR}/libqorbm.so
    ${LIBDIR}/${SONAME}
    ${LIBDIR}/libqorbm.so.${VERSION}
    include/qorbm.h
    ${LIBDIR}/cmake/qorbm/qorbmConfig.cmake
    ${LIBDIR}/cmake/qorbm/qorbmConfigVersion.cmake
    ${LIBDIR}/pkgconfig/qorbm.pc
    share/man/man1/korvix-cli.1
    share/bash-completion/completions/korvix-cli)
  if(NOT EXISTS ${PREFIX}/${f})
    message(FATAL_ERROR "not installed: ${f}")
  endif()
endforeach()

# The program finds the library through its relative run path, with no help from the environment.
run(env -u LD_LIBRARY_PATH ${PREFIX}/${BINDIR}/korvix-cli --version)
expect_equal("${RUN_OUTPUT}" "korvix-cli ${VERSION}\n" "korvix-cli --version")

# The metafile renderer is a module the installed program finds in its library
# folder when it first meets a metafile.
if(METAFILES)
  if(NOT EXISTS ${PREFIX}/${LIBDIR}/korvix/korvix-metafile.so)
    message(FATAL_ERROR "not installed: ${LIBDIR}/korvix/korvix-metafile.so")
  endif()
  run(env -u LD_LIBRARY_PATH ${PREFIX}/${BINDIR}/korvix-cli convert ${METAFILE_FIXTURE} ${WORK_DIR}/drawing.tga)
  if(NOT EXISTS ${WORK_DIR}/drawing.tga)
    message(FATAL_ERROR "the installed korvix-cli wrote no picture from a metafile")
  endif()
endif()

# A volume to open: packed by the installed program.
file(MAKE_DIRECTORY ${WORK_DIR}/tree/sub)
file(WRITE ${WORK_DIR}/tree/sub/a.txt "alpha")
file(WRITE ${WORK_DIR}/tree/b.txt "beta")
run(${PREFIX}/${BINDIR}/korvix-cli pack ${WORK_DIR}/tree ${WORK_DIR}/v.qrb --timestamp "2026-12-09 12:00:00")

# find_package, asking for this version.
run(${CMAKE_COMMAND} -S ${CONSUMER_DIR} -B ${WORK_DIR}/cmake-consumer -G ${GENERATOR}
    -DCMAKE_CXX_COMPILER=${CXX} -DCMAKE_PREFIX_PATH=${PREFIX} -DQORBM_WANTED=${VERSION}
    "-DCMAKE_EXE_LINKER_FLAGS=${CONSUMER_LINK_FLAGS}")
run(${CMAKE_COMMAND} --build ${WORK_DIR}/cmake-consumer)
run(${WORK_DIR}/cmake-consumer/consumer ${WORK_DIR}/v.qrb)
expect_equal("${RUN_OUTPUT}" "${VERSION} 1 3\n" "consumer built with find_package")

# A version from another major line is refused by the version file.
math(EXPR otherMajor "${CMAKE_MATCH_1} + 1")
execute_process(COMMAND ${CMAKE_COMMAND} -S ${CONSUMER_DIR} -B ${WORK_DIR}/cmake-wrong -G ${GENERATOR}
                  -DCMAKE_CXX_COMPILER=${CXX} -DCMAKE_PREFIX_PATH=${PREFIX} -DQORBM_WANTED=${otherMajor}.0
                RESULT_VARIABLE rc OUTPUT_QUIET ERROR_QUIET)
if(rc EQUAL 0)
  message(FATAL_ERROR "find_package(qorbm ${otherMajor}.0) accepted version ${VERSION}")
endif()

# pkg-config, through the installed .pc file only.
set(ENV{PKG_CONFIG_PATH} ${PREFIX}/${LIBDIR}/pkgconfig)
run(${PKG_CONFIG} --modversion qorbm)
expect_equal("${RUN_OUTPUT}" "${VERSION}\n" "pkg-config --modversion")
run(${PKG_CONFIG} --cflags --libs qorbm)
string(STRIP "${RUN_OUTPUT}" flags)
separate_arguments(flags UNIX_COMMAND "${flags}")
run(${CXX} ${CONSUMER_DIR}/main.cpp ${flags} -Wl,-rpath,${PREFIX}/${LIBDIR} ${CONSUMER_LINK_FLAGS} -o ${WORK_DIR}/pc-consumer)
run(${WORK_DIR}/pc-consumer ${WORK_DIR}/v.qrb)
expect_equal("${RUN_OUTPUT}" "${VERSION} 1 3\n" "consumer built with pkg-config")
