# The resource file beside the programs (string table and icon, packed by rcc) and the
# pictures the dialogs load from the program folder.
set(QV_RESOURCE_DIR ${CMAKE_CURRENT_LIST_DIR})
set(QV_PICTURES Splash PIC/inf_icon.bmp PIC/excl_icon.bmp PIC/RS417Zero.bmp PIC/RS417White.bmp
                PIC/Measurement.bmp)

qt_add_binary_resources(qvresources ${QV_RESOURCE_DIR}/VNBRMRes.qrc
                        DESTINATION ${CMAKE_BINARY_DIR}/bin/VNBRMRes.rcc)

set(qv_picture_outputs)
foreach(picture IN LISTS QV_PICTURES)
    add_custom_command(OUTPUT ${CMAKE_BINARY_DIR}/bin/${picture}
        COMMAND ${CMAKE_COMMAND} -E copy_if_different ${QV_RESOURCE_DIR}/${picture}
                ${CMAKE_BINARY_DIR}/bin/${picture}
        DEPENDS ${QV_RESOURCE_DIR}/${picture}
        COMMENT "Copying ${picture} beside the programs")
    list(APPEND qv_picture_outputs ${CMAKE_BINARY_DIR}/bin/${picture})
endforeach()
add_custom_target(qvpictures DEPENDS ${qv_picture_outputs})

# The operator's guide: its pages and the pictures they show, beside the programs as guide/.
# The pictures are screenshots of the program; refresh them with
# cmake --build <dir> --target guide-pictures and commit them.
set(QV_GUIDE_FILES
    guide/index.html guide/connecting.html guide/repeatability.html guide/inter-instrument.html
    guide/tile-set.html guide/command-line.html
    guide/images/main_window_connected.png guide/images/history_window.png
    guide/images/logbook_location.png
    guide/images/port_settings.png guide/images/message_port_no_permission.png
    guide/images/connect_instrument.png guide/images/calibration.png guide/images/thresholds.png
    guide/images/repeatability.png guide/images/extended_repeatability.png
    guide/images/average_measurement.png
    guide/images/verdict_repeatability_passed.png guide/images/verdict_repeatability_failed.png
    guide/images/inter_instrument_failed.png guide/images/validation_target.png
    guide/images/verdict_inter_instrument_failed.png guide/images/coefficient_write.png
    guide/images/message_overwrite_entry.png guide/images/choice_entry_basis.png
    guide/images/inter_instrument_verified.png
    guide/images/registration_file.png guide/images/coefficient_file.png
    guide/images/tile_set_judged.png guide/images/tile_set_settings.png
    guide/images/tile_set_verified.png guide/images/performance_statement.png
    guide/images/history_window_long_term.png guide/images/tile_set_certified.png
    guide/images/tile_certificates.png)
set(qv_guide_outputs)
foreach(file IN LISTS QV_GUIDE_FILES)
    add_custom_command(OUTPUT ${CMAKE_BINARY_DIR}/bin/${file}
        COMMAND ${CMAKE_COMMAND} -E copy_if_different ${QV_RESOURCE_DIR}/${file}
                ${CMAKE_BINARY_DIR}/bin/${file}
        DEPENDS ${QV_RESOURCE_DIR}/${file}
        COMMENT "Copying ${file} beside the programs")
    list(APPEND qv_guide_outputs ${CMAKE_BINARY_DIR}/bin/${file})
endforeach()
add_custom_target(qvguide DEPENDS ${qv_guide_outputs})

# Redraws the pictures into the source tree: cmake --build <dir> --target draw-pictures
add_executable(qvl70s-draw-pictures EXCLUDE_FROM_ALL ${QV_RESOURCE_DIR}/draw_pictures.cpp)
target_link_libraries(qvl70s-draw-pictures PRIVATE Qt6::Gui)
add_custom_target(draw-pictures
    COMMAND qvl70s-draw-pictures ${QV_RESOURCE_DIR}
    DEPENDS qvl70s-draw-pictures
    COMMENT "Drawing the pictures into ${QV_RESOURCE_DIR}")

# Installed, they lie in the data folder the programs look in after their own.
install(FILES ${CMAKE_BINARY_DIR}/bin/VNBRMRes.rcc DESTINATION ${QV_INSTALL_DATA_DIR})
foreach(picture IN LISTS QV_PICTURES QV_GUIDE_FILES)
    get_filename_component(folder ${picture} DIRECTORY)
    install(FILES ${QV_RESOURCE_DIR}/${picture} DESTINATION ${QV_INSTALL_DATA_DIR}/${folder})
endforeach()
