# Colour engine: spectra to CIELAB, colour differences, the EvaluateHueControl interface,
# statistics.
include(${CMAKE_CURRENT_LIST_DIR}/tristimulus_table.cmake)
qv_generate_tristimulus_table(
    ${CMAKE_CURRENT_LIST_DIR}/data/astm_e308_table6_d65_10deg_10nm.tsv
    ${CMAKE_CURRENT_BINARY_DIR}/generated/core/colour/tristimulus_table.h)
target_include_directories(qvcore PRIVATE ${CMAKE_CURRENT_BINARY_DIR}/generated)
target_sources(qvcore PRIVATE
    ${CMAKE_CURRENT_LIST_DIR}/colour_requests.cpp
    ${CMAKE_CURRENT_LIST_DIR}/data_analyzer.cpp
    ${CMAKE_CURRENT_LIST_DIR}/delta_e.cpp
    ${CMAKE_CURRENT_LIST_DIR}/evaluate_hue_control.cpp
    ${CMAKE_CURRENT_LIST_DIR}/evaluated_spectrum.cpp
    ${CMAKE_CURRENT_LIST_DIR}/items.cpp
    ${CMAKE_CURRENT_LIST_DIR}/spread.cpp
    ${CMAKE_CURRENT_LIST_DIR}/tristimulus.cpp)
