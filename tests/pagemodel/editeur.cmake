# The object records as the editors write them.
kal_test(test_pagemodel_objets SOURCES ${CMAKE_CURRENT_LIST_DIR}/objets_test.cpp LIBS kaleditor)
