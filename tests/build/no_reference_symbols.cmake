# Fails when a program or library of the tool's path holds a symbol of the
# reference pipeline: its transforms, windows, flattening or whole page.
#   cmake -DFILES="a;b" -DNM=nm -P no_reference_symbols.cmake
set(reference_symbols "CFft1D::" "CFft2D::" "CFftWindow2D<" "FlattenBackground(" "WhitenPageReference("
    "DivideBy(" "MultiplyBy(" "ToneMap(")
foreach(file IN LISTS FILES)
    execute_process(COMMAND ${NM} -C --defined-only ${file} OUTPUT_VARIABLE symbols RESULT_VARIABLE failed)
    if(failed OR symbols STREQUAL "")
        message(FATAL_ERROR "${NM} could not list the symbols of ${file}")
    endif()
    foreach(symbol IN LISTS reference_symbols)
        string(FIND "${symbols}" "${symbol}" at)
        if(NOT at EQUAL -1)
            message(FATAL_ERROR "${file} holds the reference's ${symbol}")
        endif()
    endforeach()
    message(STATUS "${file}: no reference symbol")
endforeach()
