# The object records as the editors use them: record writer, schema upgrade, reset, thumbnail
# positions and the jacket's faces.
target_sources(kalpagemodel PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/objets.cpp ${CMAKE_CURRENT_LIST_DIR}/objets.h
)
target_link_libraries(kalpagemodel PUBLIC kalstate)
