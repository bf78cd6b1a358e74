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

# Redraws the pictures into the source tree: cmake --build <dir> --target draw-pictures
add_executable(qvl70s-draw-pictures EXCLUDE_FROM_ALL ${QV_RESOURCE_DIR}/draw_pictures.cpp)
target_link_libraries(qvl70s-draw-pictures PRIVATE Qt6::Gui)
add_custom_target(draw-pictures
    COMMAND qvl70s-draw-pictures ${QV_RESOURCE_DIR}
    DEPENDS qvl70s-draw-pictures
    COMMENT "Drawing the pictures into ${QV_RESOURCE_DIR}")

# Installed, they lie in the data folder the programs look in after their own.
install(FILES ${CMAKE_BINARY_DIR}/bin/VNBRMRes.rcc DESTINATION ${QV_INSTALL_DATA_DIR})
foreach(picture IN LISTS QV_PICTURES)
    get_filename_component(folder ${picture} DIRECTORY)
    install(FILES ${QV_RESOURCE_DIR}/${picture} DESTINATION ${QV_INSTALL_DATA_DIR}/${folder})
endforeach()
