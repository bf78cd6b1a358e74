# qvcxf: CxF3 documents, written and read with Qt Core's XML stream classes over the core alone.
# A library of its own so that the fuzz build, which holds nothing else of the platform, can
# fuzz the reader.
add_library(qvcxf STATIC
    ${CMAKE_CURRENT_LIST_DIR}/cxf_file.cpp
    ${CMAKE_CURRENT_LIST_DIR}/cxf_read.cpp
    ${CMAKE_CURRENT_LIST_DIR}/certificate_file.cpp)
target_link_libraries(qvcxf PUBLIC qvcore Qt6::Core)
