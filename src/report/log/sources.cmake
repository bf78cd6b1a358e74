# A logbook record's certificate and an instrument's performance statement, painted into a PDF
# or a picture, with their small charts; and the lab's fleet as one web page.
target_sources(qvreport PRIVATE
    ${CMAKE_CURRENT_LIST_DIR}/certificate.cpp
    ${CMAKE_CURRENT_LIST_DIR}/certificate.h
    ${CMAKE_CURRENT_LIST_DIR}/certificate_chart.cpp
    ${CMAKE_CURRENT_LIST_DIR}/certificate_chart.h
    ${CMAKE_CURRENT_LIST_DIR}/fleet_page.cpp
    ${CMAKE_CURRENT_LIST_DIR}/fleet_page.h
    ${CMAKE_CURRENT_LIST_DIR}/performance_sheet.cpp
    ${CMAKE_CURRENT_LIST_DIR}/performance_sheet.h
    ${CMAKE_SOURCE_DIR}/src/report/kit/a4_page.cpp
    ${CMAKE_SOURCE_DIR}/src/report/kit/a4_page.h
    ${CMAKE_SOURCE_DIR}/src/report/kit/curve_colours.h)
