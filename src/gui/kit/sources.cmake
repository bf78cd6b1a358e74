# What every dialog works with: the context, the clock, the prompter, pictures, sizes, fields,
# the spectra chart.
target_sources(qvgui PRIVATE
    ${CMAKE_CURRENT_LIST_DIR}/choice_dialog.cpp
    ${CMAKE_CURRENT_LIST_DIR}/choice_dialog.h
    ${CMAKE_CURRENT_LIST_DIR}/dialog_size.cpp
    ${CMAKE_CURRENT_LIST_DIR}/dialog_size.h
    ${CMAKE_CURRENT_LIST_DIR}/gui_clock.cpp
    ${CMAKE_CURRENT_LIST_DIR}/gui_clock.h
    ${CMAKE_CURRENT_LIST_DIR}/gui_context.h
    ${CMAKE_CURRENT_LIST_DIR}/gui_prompter.cpp
    ${CMAKE_CURRENT_LIST_DIR}/gui_prompter.h
    ${CMAKE_CURRENT_LIST_DIR}/instrument_strip.cpp
    ${CMAKE_CURRENT_LIST_DIR}/instrument_strip.h
    ${CMAKE_CURRENT_LIST_DIR}/palette.cpp
    ${CMAKE_CURRENT_LIST_DIR}/palette.h
    ${CMAKE_CURRENT_LIST_DIR}/port_watch.cpp
    ${CMAKE_CURRENT_LIST_DIR}/port_watch.h
    ${CMAKE_CURRENT_LIST_DIR}/profile_finder.cpp
    ${CMAKE_CURRENT_LIST_DIR}/profile_finder.h
    ${CMAKE_CURRENT_LIST_DIR}/pictures.cpp
    ${CMAKE_CURRENT_LIST_DIR}/pictures.h
    ${CMAKE_CURRENT_LIST_DIR}/result_fields.h
    ${CMAKE_CURRENT_LIST_DIR}/spectra_chart.cpp
    ${CMAKE_CURRENT_LIST_DIR}/spectra_chart.h)
