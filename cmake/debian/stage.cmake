# Run by cpack on the staged install of the Debian package, before it is
# packed. Adds the files Debian requires of every package, and splits the
# programs' debug information off into the package grain-dbgsym as Debian's
# own packages do: each program is stripped (the compilers' notes in
# .comment too) and given a debug link to
# /usr/lib/debug/.build-id/<first two hex digits>/<the rest>.debug, named by
# its build ID. The dbgsym package is made here with dpkg-deb, next to the
# one cpack makes.
# DESTDIR is set while this runs, so files are placed with file(COPY_FILE)
# and plain commands, not file(INSTALL).
set(root ${CPACK_TEMPORARY_DIRECTORY})
set(name ${CPACK_PACKAGE_NAME})
set(version ${CPACK_PACKAGE_VERSION}-${CPACK_DEBIAN_PACKAGE_RELEASE})
set(doc ${root}/usr/share/doc/${name})
list(GET CPACK_GRAIN_DEBIAN_FILES 0 copyright)
list(GET CPACK_GRAIN_DEBIAN_FILES 1 overrides)
list(GET CPACK_GRAIN_DEBIAN_FILES 2 changelog)
set(readable OWNER_READ OWNER_WRITE GROUP_READ WORLD_READ)

file(COPY_FILE ${copyright} ${doc}/copyright)
# The licence is in the copyright file; Debian wants it nowhere else.
file(REMOVE ${doc}/LICENSE)
file(MAKE_DIRECTORY ${root}/usr/share/lintian/overrides)
file(COPY_FILE ${overrides} ${root}/usr/share/lintian/overrides/${name})
# As dh_installchangelogs does: gzip -9, no name or time in the header.
execute_process(COMMAND gzip -9 -n -c ${changelog} OUTPUT_FILE ${doc}/changelog.Debian.gz
  COMMAND_ERROR_IS_FATAL ANY)
file(CHMOD ${doc}/copyright ${doc}/changelog.Debian.gz
  ${root}/usr/share/lintian/overrides/${name} PERMISSIONS ${readable})

# The build's own binary tools: a cross build's programs are not the host's.
set(objcopy ${CPACK_GRAIN_OBJCOPY})
set(readelf ${CPACK_GRAIN_READELF})
find_program(dpkg NAMES dpkg REQUIRED)
find_program(dpkg_deb NAMES dpkg-deb REQUIRED)
set(dbgsym ${CPACK_TOPLEVEL_DIRECTORY}/${name}-dbgsym)
file(REMOVE_RECURSE ${dbgsym})
set(ids "")
set(md5sums "")
foreach(program ${CPACK_GRAIN_PROGRAMS})
  set(binary ${root}/usr/bin/${program})
  execute_process(COMMAND ${readelf} -n ${binary} OUTPUT_VARIABLE notes COMMAND_ERROR_IS_FATAL ANY)
  if(NOT notes MATCHES "Build ID: ([0-9a-f][0-9a-f])([0-9a-f]+)")
    message(FATAL_ERROR "${program} has no build ID")
  endif()
  set(debug usr/lib/debug/.build-id/${CMAKE_MATCH_1}/${CMAKE_MATCH_2}.debug)
  list(APPEND ids ${CMAKE_MATCH_1}${CMAKE_MATCH_2})
  file(MAKE_DIRECTORY ${dbgsym}/usr/lib/debug/.build-id/${CMAKE_MATCH_1})
  execute_process(COMMAND ${objcopy} --only-keep-debug --remove-section=.comment
    ${binary} ${dbgsym}/${debug} COMMAND_ERROR_IS_FATAL ANY)
  file(CHMOD ${dbgsym}/${debug} PERMISSIONS ${readable})
  execute_process(COMMAND ${objcopy} --strip-all --remove-section=.comment
    --add-gnu-debuglink=${dbgsym}/${debug} ${binary} COMMAND_ERROR_IS_FATAL ANY)
  file(MD5 ${dbgsym}/${debug} sum)
  string(APPEND md5sums "${sum}  ${debug}\n")
endforeach()

# The dbgsym package: its documents are the main package's (a link, as
# Debian's own dbgsym packages have), and it needs that very version.
file(MAKE_DIRECTORY ${dbgsym}/usr/share/doc ${dbgsym}/DEBIAN)
file(CREATE_LINK ${name} ${dbgsym}/usr/share/doc/${name}-dbgsym SYMBOLIC)
if(CPACK_DEBIAN_PACKAGE_ARCHITECTURE)
  set(arch ${CPACK_DEBIAN_PACKAGE_ARCHITECTURE})
else()
  execute_process(COMMAND ${dpkg} --print-architecture OUTPUT_VARIABLE arch
    OUTPUT_STRIP_TRAILING_WHITESPACE COMMAND_ERROR_IS_FATAL ANY)
endif()
execute_process(COMMAND du -sk --apparent-size ${dbgsym}/usr OUTPUT_VARIABLE size
  COMMAND_ERROR_IS_FATAL ANY)
string(REGEX MATCH "^[0-9]+" size "${size}")
list(JOIN ids " " ids)
file(WRITE ${dbgsym}/DEBIAN/control
"Package: ${name}-dbgsym
Source: ${name}
Version: ${version}
Architecture: ${arch}
Maintainer: ${CPACK_PACKAGE_CONTACT}
Installed-Size: ${size}
Depends: ${name} (= ${version})
Section: debug
Priority: optional
Auto-Built-Package: debug-symbols
Build-Ids: ${ids}
Description: debug symbols for ${name}
")
file(WRITE ${dbgsym}/DEBIAN/md5sums "${md5sums}")
file(CHMOD ${dbgsym}/DEBIAN/control ${dbgsym}/DEBIAN/md5sums PERMISSIONS ${readable})
get_filename_component(out ${CPACK_OUTPUT_FILE_PATH} DIRECTORY)
execute_process(COMMAND ${dpkg_deb} --root-owner-group -Zxz --build ${dbgsym}
  ${out}/${name}-dbgsym_${version}_${arch}.deb OUTPUT_QUIET COMMAND_ERROR_IS_FATAL ANY)
