target_sources(qvcore PRIVATE
    ${CMAKE_CURRENT_LIST_DIR}/diagnosis.cpp
    ${CMAKE_CURRENT_LIST_DIR}/diagnosis_decision.cpp
    ${CMAKE_CURRENT_LIST_DIR}/diagnosis_fit.cpp
    ${CMAKE_CURRENT_LIST_DIR}/diagnosis_normal.cpp
    ${CMAKE_CURRENT_LIST_DIR}/diagnosis_view.cpp
    ${CMAKE_CURRENT_LIST_DIR}/diagnosis_record.cpp
    ${CMAKE_CURRENT_LIST_DIR}/entry_validity.cpp
    ${CMAKE_CURRENT_LIST_DIR}/fleet_drift.cpp
    ${CMAKE_CURRENT_LIST_DIR}/profile.cpp
    ${CMAKE_CURRENT_LIST_DIR}/profile_file.cpp
    ${CMAKE_CURRENT_LIST_DIR}/standardise.cpp
    ${CMAKE_CURRENT_LIST_DIR}/set_agreement.cpp
    ${CMAKE_CURRENT_LIST_DIR}/set_files.cpp
    ${CMAKE_CURRENT_LIST_DIR}/set_fit.cpp
    ${CMAKE_CURRENT_LIST_DIR}/tile_set_workflow.cpp
    ${CMAKE_CURRENT_LIST_DIR}/tile_set.cpp)
