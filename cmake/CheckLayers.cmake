# Fails when a source file includes a folder its own folder may not use, a folder no order
# knows, or when two files of one folder include each other. The houses checked, each with the
# folders it knows and what each may include (its own folder always):
#   the top level of src   (core < platform < report < gui < cli, app; sim uses core alone)
#   src/core               (colour < app < files < link < measure < checks, coeff < tiles < log)
#   src/platform           (app, link; log < app)
#   src/report             (kit < log)
#   src/gui                (kit < link, log, help < verdict < measure, coeff < checks < tiles
#                           < app)
# Each README's "may depend on" line says the same in words. Run with -DSRC=<the src folder>.

# house: the folder under SRC ("" for the top level), the include prefix that names a folder of
# it, then "folder:allowed,allowed" rules.
function(check_house house prefix)
    set(rules ${ARGN})
    foreach(rule IN LISTS rules)
        string(REPLACE ":" ";" parts "${rule}")
        list(GET parts 0 name)
        set(allowed_${name} "")
        list(LENGTH parts n)
        if(n GREATER 1)
            list(GET parts 1 list)
            string(REPLACE "," ";" allowed_${name} "${list}")
        endif()
        set(known_${name} TRUE)
    endforeach()
    set(dir "${SRC}/${house}")
    file(GLOB_RECURSE files RELATIVE "${dir}" "${dir}/*.h" "${dir}/*.cpp")
    foreach(f IN LISTS files)
        string(REGEX MATCH "^[^/]+" own "${f}")
        if(own STREQUAL f)
            continue()  # a file at the house's top (none are expected)
        endif()
        if(NOT known_${own})
            list(APPEND offenders "${house}/${f} (folder '${own}' has no place in the order)")
            continue()
        endif()
        file(STRINGS "${dir}/${f}" includes REGEX "^[ \t]*#[ \t]*include[ \t]*\"${prefix}[a-z_]+/")
        foreach(line IN LISTS includes)
            string(REGEX REPLACE ".*\"${prefix}([a-z_]+)/.*" "\\1" used "${line}")
            if(used STREQUAL own)
                continue()
            endif()
            if(NOT known_${used})
                list(APPEND offenders "${house}/${f} includes ${prefix}${used}, which no order knows")
                continue()
            endif()
            list(FIND allowed_${own} "${used}" at)
            if(at EQUAL -1)
                list(APPEND offenders "${house}/${f} includes ${prefix}${used}")
            endif()
        endforeach()
    endforeach()
    set(offenders "${offenders}" PARENT_SCOPE)
endfunction()

# Two files of one folder that include each other are one module in two halves: neither can
# be read, changed or tested without the other.
function(check_circles)
    file(GLOB_RECURSE files RELATIVE "${SRC}" "${SRC}/*.h" "${SRC}/*.cpp")
    set(edges "")
    foreach(f IN LISTS files)
        string(REGEX REPLACE "\\.(h|cpp)$" "" from "${f}")
        get_filename_component(folder "${f}" DIRECTORY)
        file(STRINGS "${SRC}/${f}" includes REGEX "^[ \t]*#[ \t]*include[ \t]*\"${folder}/[a-z_0-9]+\\.h\"")
        foreach(line IN LISTS includes)
            string(REGEX REPLACE ".*\"(.*)\\.h\".*" "\\1" to "${line}")
            if(NOT to STREQUAL from)
                list(APPEND edges "${from}>${to}")
            endif()
        endforeach()
    endforeach()
    list(REMOVE_DUPLICATES edges)
    foreach(edge IN LISTS edges)
        string(REPLACE ">" ";" ends "${edge}")
        list(GET ends 0 a)
        list(GET ends 1 b)
        list(FIND edges "${b}>${a}" back)
        if(NOT back EQUAL -1 AND a STRLESS b)
            list(APPEND offenders "${a} and ${b} include each other")
        endif()
    endforeach()
    set(offenders "${offenders}" PARENT_SCOPE)
endfunction()

set(offenders "")
check_circles()
check_house("" ""
    "core" "platform:core" "report:core,platform" "gui:core,platform,report"
    "cli:core,platform,report" "app:core,platform,report,gui" "sim:core")
check_house("core" "core/"
    "colour" "app:colour" "files:colour,app" "link:colour,app,files"
    "measure:colour,app,files,link"
    "checks:colour,app,files,link,measure" "coeff:colour,app,files,link,measure"
    "tiles:colour,app,files,link,measure,checks,coeff"
    "log:colour,app,files,link,measure,checks,coeff,tiles")
check_house("platform" "platform/" "app" "link" "log:app")
check_house("report" "report/" "kit" "log:kit")
check_house("gui" "gui/"
    "kit" "link:kit" "log:kit" "help:kit" "verdict:kit" "measure:kit,link,verdict"
    "coeff:kit,link" "checks:kit,link,verdict,measure,coeff"
    "tiles:kit,link,verdict,measure,coeff,checks"
    "app:kit,link,log,help,verdict,measure,coeff,checks,tiles")
if(offenders)
    list(JOIN offenders "\n  " text)
    message(FATAL_ERROR "folders depend one way:\n  ${text}")
endif()
message(STATUS "folders depend one way")
