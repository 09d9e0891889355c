# The product's import table against the functions that Windows 98 and NT 4.0 both export. It
# reads the built files with the mingw objdump on the build machine; the product is the 32-bit
# build only (the 64-bit twin serves the tests and imports what 64-bit Windows has).
if(CMAKE_OBJDUMP)
    set(QUILLET_IMPORTS_OBJDUMP ${CMAKE_OBJDUMP})
else()
    set(QUILLET_IMPORTS_OBJDUMP i686-w64-mingw32-objdump)
endif()
if(CMAKE_SIZEOF_VOID_P EQUAL 4 AND TARGET Quillet AND TARGET wnaspi32)
    # Debian's python3, not whichever one comes first on PATH.
    add_test(NAME product_imports
        COMMAND /usr/bin/python3 ${CMAKE_CURRENT_LIST_DIR}/check_imports.py
            --objdump ${QUILLET_IMPORTS_OBJDUMP}
            --allowed ${CMAKE_CURRENT_LIST_DIR}/allowed_imports.txt
            $<TARGET_FILE:Quillet> $<TARGET_FILE:wnaspi32>)
    set_tests_properties(product_imports PROPERTIES LABELS host TIMEOUT 60)
endif()

# The demo's program, more strictly: the product's allowed imports, and nothing of
# demo_forbidden.txt, no way to a real drive. The control runs the same rules on Quillet.exe,
# which must show the device access they look for, so a check that sees nothing cannot pass.
if(CMAKE_SIZEOF_VOID_P EQUAL 4 AND TARGET Quillet AND TARGET QuilletDemo)
    add_test(NAME demo_imports
        COMMAND /usr/bin/python3 ${CMAKE_CURRENT_LIST_DIR}/check_imports.py
            --objdump ${QUILLET_IMPORTS_OBJDUMP}
            --allowed ${CMAKE_CURRENT_LIST_DIR}/allowed_imports.txt
            --forbidden ${CMAKE_CURRENT_LIST_DIR}/demo_forbidden.txt
            $<TARGET_FILE:QuilletDemo>)
    add_test(NAME demo_imports_control
        COMMAND /usr/bin/python3 ${CMAKE_CURRENT_LIST_DIR}/check_imports.py
            --objdump ${QUILLET_IMPORTS_OBJDUMP}
            --allowed ${CMAKE_CURRENT_LIST_DIR}/allowed_imports.txt
            --forbidden ${CMAKE_CURRENT_LIST_DIR}/demo_forbidden.txt
            --expect-found "import DeviceIoControl" --expect-found "import LoadLibraryA"
            --expect-found "string \\\\.\\" --expect-found "string DeviceIoControl"
            $<TARGET_FILE:Quillet>)
    set_tests_properties(demo_imports demo_imports_control PROPERTIES LABELS host TIMEOUT 60)
endif()
