# What the logbook hands out: the certificate of a check.
target_sources(qvgui PRIVATE
    ${CMAKE_CURRENT_LIST_DIR}/certificate.cpp
    ${CMAKE_CURRENT_LIST_DIR}/certificate.h)
