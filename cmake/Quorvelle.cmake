# Collects the sources of the listed folders (relative to CMAKE_CURRENT_SOURCE_DIR), so a new
# class only needs its .h/.cpp pair dropped into its folder.
function(quorvelle_collect_sources out)
  set(files)
  foreach(dir IN LISTS ARGN)
    file(GLOB_RECURSE found CONFIGURE_DEPENDS
      ${CMAKE_CURRENT_SOURCE_DIR}/${dir}/*.cpp
      ${CMAKE_CURRENT_SOURCE_DIR}/${dir}/*.h)
    list(APPEND files ${found})
  endforeach()
  set(${out} ${files} PARENT_SCOPE)
endfunction()

# One test executable per folder of tests/.
set(QUORVELLE_CASES_PER_SHARD 25 CACHE STRING "Test cases a shard of a test executable runs")
set(QUORVELLE_TEST_SEED 1 CACHE STRING "The seed of the shards' shuffled order (gtest_random_seed)")
function(quorvelle_add_test_folder name dir)
  cmake_parse_arguments(ARG "" "" "LIBS" ${ARGN})
  file(GLOB_RECURSE sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/${dir}/*.cpp ${CMAKE_CURRENT_SOURCE_DIR}/${dir}/*.h)
  if(NOT sources)
    return()
  endif()
  add_executable(${name} ${sources})
  target_link_libraries(${name} PRIVATE quorvelle_test_support ${ARG_LIBS})
  quorvelle_use_pch(${name})
  # And what most tests include: GoogleTest, Qt's test library and the file helpers.
  target_precompile_headers(${name} PRIVATE ${CMAKE_SOURCE_DIR}/tests/support/QtPrinters.h
    <gtest/gtest.h> <QTest> <QSignalSpy> <QFile> <QDir> <QFileInfo> <QTemporaryDir>)
  set(environment "QT_QPA_PLATFORM=offscreen;QUORVELLE_SOURCE_DIR=${CMAKE_SOURCE_DIR}")
  # Every case runs twice, each time among others in one process: once in the whole executable in
  # its written order, as a developer runs it, and once in a shard that runs a share of the cases in
  # a shuffled order. A case that leaves something behind (a load still running, a shared instance
  # swapped) breaks a later one, and a case that leans on what an earlier one left fails where that
  # one is not before it. A process per case would pay the sanitizers' and Qt's start-up each time.
  # The whole executable is the longest, so it starts first.
  add_test(NAME ${name}.whole COMMAND ${name})
  set_tests_properties(${name}.whole PROPERTIES TIMEOUT 2400 COST 100000 ENVIRONMENT "${environment}")
  set(cases 0)
  foreach(source IN LISTS sources)
    file(STRINGS ${source} declared REGEX "^TEST(_F|_P)?\\(")
    list(LENGTH declared count)
    math(EXPR cases "${cases} + ${count}")
  endforeach()
  math(EXPR last_shard "(${cases} + ${QUORVELLE_CASES_PER_SHARD} - 1) / ${QUORVELLE_CASES_PER_SHARD} - 1")
  if(last_shard LESS 0)
    set(last_shard 0)
  endif()
  math(EXPR shards "${last_shard} + 1")
  foreach(shard RANGE ${last_shard})
    add_test(NAME ${name}.shard-${shard}
      COMMAND ${name} --gtest_shuffle --gtest_random_seed=${QUORVELLE_TEST_SEED})
    set_tests_properties(${name}.shard-${shard} PROPERTIES TIMEOUT 1200 COST 1000
      ENVIRONMENT "${environment};GTEST_TOTAL_SHARDS=${shards};GTEST_SHARD_INDEX=${shard}")
  endforeach()
endfunction()

# Qt and standard headers nearly every file includes, precompiled once per target.
function(quorvelle_use_pch target)
  target_precompile_headers(${target} PRIVATE
    <QObject> <QString> <QByteArray> <QList> <QHash> <QJsonObject> <QJsonArray> <QJsonDocument>
    <QUrl> <QDateTime> <QPointer> <memory> <optional> <functional> <string> <vector>)
endfunction()
