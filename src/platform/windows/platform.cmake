# timeBeginPeriod: waits between turns end to the millisecond.
target_link_libraries(dropix_core PUBLIC winmm)
