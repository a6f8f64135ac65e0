# Cross build of the firmware for the ARM920T board with newlib.
set(CMAKE_SYSTEM_NAME Generic)
set(CMAKE_SYSTEM_PROCESSOR arm)
set(CMAKE_C_COMPILER arm-none-eabi-gcc)
set(CMAKE_CXX_COMPILER arm-none-eabi-g++)
set(CMAKE_NM arm-none-eabi-nm)
set(CMAKE_TRY_COMPILE_TARGET_TYPE STATIC_LIBRARY)
set(CMAKE_C_FLAGS_INIT "-mcpu=arm920t")
set(CMAKE_CXX_FLAGS_INIT "-mcpu=arm920t -fno-exceptions -fno-rtti")
