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

# One test executable per folder of tests/, discovered by GoogleTest.
function(quorvelle_add_test_folder name dir)
  cmake_parse_arguments(ARG "" "" "LIBS" ${ARGN})
  file(GLOB_RECURSE sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/${dir}/*.cpp ${CMAKE_CURRENT_SOURCE_DIR}/${dir}/*.h)
  if(NOT sources)
    return()
  endif()
  add_executable(${name} ${sources})
  target_link_libraries(${name} PRIVATE quorvelle_test_support ${ARG_LIBS})
  quorvelle_use_pch(${name})
  target_precompile_headers(${name} PRIVATE ${CMAKE_SOURCE_DIR}/tests/support/QtPrinters.h)
  set(environment "QT_QPA_PLATFORM=offscreen;QUORVELLE_SOURCE_DIR=${CMAKE_SOURCE_DIR}")
  gtest_discover_tests(${name} DISCOVERY_TIMEOUT 60 PROPERTIES TIMEOUT 120 ENVIRONMENT "${environment}")
  # The whole executable once more in one process, as a developer runs it: a test that leaves
  # something behind (a load still running, a shared instance swapped) breaks a later one only
  # here. Started first, since it is the longest.
  add_test(NAME ${name}.whole COMMAND ${name})
  set_tests_properties(${name}.whole PROPERTIES TIMEOUT 2400 COST 100000 ENVIRONMENT "${environment}")
endfunction()

# Qt and standard headers nearly every file includes, precompiled once per target.
function(quorvelle_use_pch target)
  target_precompile_headers(${target} PRIVATE
    <QObject> <QString> <QByteArray> <QList> <QHash> <QJsonObject> <QJsonArray> <QJsonDocument>
    <QUrl> <QDateTime> <QPointer> <memory> <optional> <functional> <string> <vector>)
endfunction()
