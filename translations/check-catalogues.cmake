# Fails when a text of the translated libraries has no finished translation in a catalogue.
# lupdate takes the texts of the sources into a copy of each catalogue, where a new or changed
# text stands unfinished.
#   cmake -DLUPDATE=<lupdate> -DSOURCES=<folders> -DCATALOGUES=<.ts files> -DWORK=<folder>
#         -P check-catalogues.cmake
set(untranslated)
foreach(catalogue IN LISTS CATALOGUES)
    get_filename_component(name ${catalogue} NAME)
    set(copy ${WORK}/${name})
    configure_file(${catalogue} ${copy} COPYONLY)
    execute_process(COMMAND ${LUPDATE} -silent -locations none -no-obsolete ${SOURCES} -ts ${copy}
        RESULT_VARIABLE result)
    if(NOT result EQUAL 0)
        message(FATAL_ERROR "lupdate failed on ${name}")
    endif()
    file(STRINGS ${copy} lines ENCODING UTF-8)
    set(context "")
    set(source "")
    foreach(line IN LISTS lines)
        if(line MATCHES "<name>(.*)</name>")
            set(context "${CMAKE_MATCH_1}")
        elseif(line MATCHES "<source>(.*)</source>")
            set(source "${CMAKE_MATCH_1}")
        elseif(line MATCHES "<translation type=\"unfinished\"")
            list(APPEND untranslated "${name}: ${context}: ${source}")
        endif()
    endforeach()
endforeach()
if(untranslated)
    list(JOIN untranslated "\n  " listed)
    message(FATAL_ERROR "Texts without a finished translation (fill them in the catalogue, "
                        "e.g. with Qt Linguist):\n  ${listed}")
endif()
