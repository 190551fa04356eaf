# zel_forbid_links(TARGETS <targets...> FORBID <regex>)
#
# Stops the configuration when one of TARGETS reaches a library matching
# FORBID through its link interface, at any depth. The core libraries are
# linked by programs that run without a display; a dependency on QtGui or
# QtWidgets slipping into one of them, even through another library, would
# otherwise show only when such a program is built or started elsewhere.
# Generator expressions are not evaluated: every target named inside one is
# followed, so the check errs on the side of refusing.
function(zel_forbid_links)
    cmake_parse_arguments(ARG "" "FORBID" "TARGETS" ${ARGN})
    foreach(root IN LISTS ARG_TARGETS)
        set(queue ${root})
        set(seen ${root})
        set(path_${root} ${root})
        while(queue)
            list(POP_FRONT queue current)
            set(items "")
            foreach(property INTERFACE_LINK_LIBRARIES LINK_LIBRARIES)
                get_target_property(value ${current} ${property})
                if(value)
                    list(APPEND items ${value})
                endif()
            endforeach()
            foreach(item IN LISTS items)
                if(item MATCHES "${ARG_FORBID}")
                    message(FATAL_ERROR "${root} must link nothing matching ${ARG_FORBID}, yet "
                        "${path_${current}} links ${item}")
                endif()
                string(REGEX MATCHALL "[A-Za-z0-9_.+-]+(::[A-Za-z0-9_.+-]+)*" names "${item}")
                foreach(name IN LISTS names)
                    if(TARGET ${name} AND NOT name IN_LIST seen)
                        list(APPEND seen ${name})
                        list(APPEND queue ${name})
                        set(path_${name} "${path_${current}} -> ${name}")
                    endif()
                endforeach()
            endforeach()
        endwhile()
    endforeach()
endfunction()
