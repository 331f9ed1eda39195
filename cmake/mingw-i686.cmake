# 32-bit Windows: the product's build.
set(QVR_MINGW_CPU i686)
set(QVR_WINDOWS_ARCH win32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64.cmake)
