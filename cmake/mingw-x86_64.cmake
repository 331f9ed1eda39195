# 64-bit Windows: the same programs for hosts whose Wine runs only 64-bit ones.
set(QVR_MINGW_CPU x86_64)
set(QVR_WINDOWS_ARCH win64)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64.cmake)
