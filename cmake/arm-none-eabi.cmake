# Cross build of the firmware for the ARM920T board. The C library is picolibc (Debian's
# newlib-derived library for small systems): its string formatting and scanning need no heap
# and no system calls, so the image links without malloc, sbrk or any file-system layer.
set(CMAKE_SYSTEM_NAME Generic)
set(CMAKE_SYSTEM_PROCESSOR arm)
set(CMAKE_C_COMPILER arm-none-eabi-gcc)
set(CMAKE_CXX_COMPILER arm-none-eabi-g++)
set(CMAKE_NM arm-none-eabi-nm)
set(CMAKE_TRY_COMPILE_TARGET_TYPE STATIC_LIBRARY)
set(CMAKE_C_FLAGS_INIT "-mcpu=arm920t --specs=picolibc.specs")
set(CMAKE_CXX_FLAGS_INIT "-mcpu=arm920t --specs=picolibc.specs -fno-exceptions -fno-rtti")
set(CMAKE_ASM_FLAGS_INIT "-mcpu=arm920t")
