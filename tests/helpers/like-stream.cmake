# A stream of likes through the program's own store, which the durability tests and the liked
# store bench end by kill -9 or by a power cut (support/PowerCutVfs). Included by both.
if(NOT TARGET like-stream)
  add_executable(like-stream ${CMAKE_SOURCE_DIR}/tests/helpers/LikeStream.cpp ${CMAKE_SOURCE_DIR}/tests/support/PowerCutVfs.cpp)
  target_include_directories(like-stream PRIVATE ${CMAKE_SOURCE_DIR}/tests)
  target_link_libraries(like-stream PRIVATE quorvelle_core)
endif()
