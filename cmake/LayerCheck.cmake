# The layers hold because the configure step refuses a graph that breaks them: the std-only
# targets link no Qt, `documents` links only the std-only core, `services` and `print` link no
# Widgets, the desktop program links no Qt Network, pyrelto-cli links no Qt at all, and its Qt
# module no Widgets, Network or DBus (nor Qt's printer support, which brings Widgets). Included after every target exists.

# Every target `target` links, directly or through the targets it links; imported targets (Qt's)
# are listed but not entered.
function(pyrelto_link_closure target out)
  set(seen)
  set(queue ${target})
  while(queue)
    list(POP_FRONT queue current)
    if(current IN_LIST seen)
      continue()
    endif()
    list(APPEND seen ${current})
    if(NOT TARGET ${current})
      continue()
    endif()
    get_target_property(imported ${current} IMPORTED)
    if(imported)
      continue()
    endif()
    get_target_property(type ${current} TYPE)
    set(links)
    if(NOT type STREQUAL "INTERFACE_LIBRARY")
      get_target_property(direct ${current} LINK_LIBRARIES)
      if(direct)
        list(APPEND links ${direct})
      endif()
    endif()
    get_target_property(interface ${current} INTERFACE_LINK_LIBRARIES)
    if(interface)
      list(APPEND links ${interface})
    endif()
    foreach(link IN LISTS links)
      # $<LINK_ONLY:x> and similar wrappers around one target name.
      string(REGEX REPLACE "^\\$<[A-Z_]+:([^>]+)>$" "\\1" link "${link}")
      list(APPEND queue ${link})
    endforeach()
  endwhile()
  list(REMOVE_ITEM seen ${target})
  set(${out} ${seen} PARENT_SCOPE)
endfunction()

function(pyrelto_forbid_links target pattern why)
  if(NOT TARGET ${target})
    return()
  endif()
  pyrelto_link_closure(${target} closure)
  foreach(link IN LISTS closure)
    if(link MATCHES "${pattern}")
      message(FATAL_ERROR "${target} links ${link}: ${why}")
    endif()
  endforeach()
endfunction()

set(pyrelto_std_only_targets sheet files customers customers_file documents document_records
    cli_driver takeoff
    catalogue folder_repricing store instance_channel)
foreach(target IN LISTS pyrelto_std_only_targets)
  pyrelto_forbid_links(${target} "^Qt[0-9]*::|^Qt[0-9]*[A-Z]" "a std-only target links no Qt")
endforeach()

if(TARGET documents)
  pyrelto_link_closure(documents closure)
  list(REMOVE_ITEM closure sheet pyrelto_common)
  if(closure)
    message(FATAL_ERROR "documents links ${closure}: it depends on the std-only core only")
  endif()
endif()

pyrelto_forbid_links(services "^Qt[0-9]*::(Widgets|PrintSupport)$" "services has no widgets")
pyrelto_forbid_links(print "^Qt[0-9]*::(Widgets|PrintSupport)$"
                     "print paints on Qt Gui; printer_run holds the printer part")
pyrelto_forbid_links(pyrelto "^Qt[0-9]*::Network$"
                     "the single-instance channel is plain sockets; Qt Network costs the start")
pyrelto_forbid_links(pyrelto-cli "^Qt[0-9]*::|^Qt[0-9]*[A-Z]|^cli_qt_steps$"
                     "the command-line driver loads its Qt steps as a module, on first use")
pyrelto_forbid_links(pyrelto-cli-qt "^Qt[0-9]*::(Widgets|PrintSupport|Network|DBus)$"
                     "the command-line driver's Qt steps never link Widgets, Network or DBus")
