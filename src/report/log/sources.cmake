# A logbook record's certificate, painted into a PDF or a picture, with its small charts.
target_sources(qvreport PRIVATE
    ${CMAKE_CURRENT_LIST_DIR}/certificate.cpp
    ${CMAKE_CURRENT_LIST_DIR}/certificate.h
    ${CMAKE_CURRENT_LIST_DIR}/certificate_chart.cpp
    ${CMAKE_CURRENT_LIST_DIR}/certificate_chart.h
    ${CMAKE_SOURCE_DIR}/src/report/kit/curve_colours.h)
