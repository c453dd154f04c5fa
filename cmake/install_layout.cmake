# Where an installed Tarnwick lives. The program file has a folder of its own,
# which is its program folder for the optional resources: on Windows the
# installation folder, elsewhere lib/tarnwick, with a link in bin.
include(GNUInstallDirs)

set(TARNWICK_APP_ID "com.example.tarnwick")
if(WIN32)
    set(TARNWICK_PROGRAM_DIR ".")
else()
    set(TARNWICK_PROGRAM_DIR "lib/tarnwick")
endif()
