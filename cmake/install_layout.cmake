# Where an installed Tarnwick lives. The program file has a folder of its own,
# which is its program folder for the optional resources; bin holds a link.
include(GNUInstallDirs)

set(TARNWICK_APP_ID "com.example.tarnwick")
set(TARNWICK_PROGRAM_DIR "lib/tarnwick")
