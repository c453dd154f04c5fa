# What the program loads of Qt on Windows: its DLLs and the plugins for the
# windows, the style and the pictures. They are installed beside the program,
# and copied beside the programs of the build tree, where the tests find them
# as the installed program does; the tests also take Qt Test and the
# offscreen platform.
find_package(Qt6 REQUIRED COMPONENTS Core Gui Widgets Test)

set(qtDlls $<TARGET_FILE:Qt6::Core> $<TARGET_FILE:Qt6::Gui> $<TARGET_FILE:Qt6::Widgets>)
set(platforms $<TARGET_FILE:Qt6::QWindowsIntegrationPlugin>)
set(styles $<TARGET_FILE:Qt6::QWindowsVistaStylePlugin>)
set(imageFormats $<TARGET_FILE:Qt6::QICOPlugin> $<TARGET_FILE:Qt6::QGifPlugin>
    $<TARGET_FILE:Qt6::QJpegPlugin>)

install(FILES ${qtDlls} DESTINATION ${TARNWICK_PROGRAM_DIR})
install(FILES ${platforms} DESTINATION ${TARNWICK_PROGRAM_DIR}/platforms)
install(FILES ${styles} DESTINATION ${TARNWICK_PROGRAM_DIR}/styles)
install(FILES ${imageFormats} DESTINATION ${TARNWICK_PROGRAM_DIR}/imageformats)

set(runtime ${CMAKE_RUNTIME_OUTPUT_DIRECTORY})
add_custom_target(tarnwick_qt_runtime ALL
    COMMAND ${CMAKE_COMMAND} -E make_directory
        ${runtime}/platforms ${runtime}/styles ${runtime}/imageformats
    COMMAND ${CMAKE_COMMAND} -E copy_if_different
        ${qtDlls} $<TARGET_FILE:Qt6::Test> ${runtime}
    COMMAND ${CMAKE_COMMAND} -E copy_if_different
        ${platforms} $<TARGET_FILE:Qt6::QOffscreenIntegrationPlugin> ${runtime}/platforms
    COMMAND ${CMAKE_COMMAND} -E copy_if_different ${styles} ${runtime}/styles
    COMMAND ${CMAKE_COMMAND} -E copy_if_different ${imageFormats} ${runtime}/imageformats
    VERBATIM
)
