# Install rules and the Debian package: the program and its three tools, the data files, the
# desktop entry, the icon in the hicolor theme, the AppStream metainfo, the man pages, the README
# and the licence.
include(GNUInstallDirs)

# `make install` and cpack install what is built; they never build the tests on their own.
set(CMAKE_SKIP_INSTALL_ALL_DEPENDENCY ON)

set(KOLTREP_APP_ID org.koltrep.Koltrep)
# Where the screenshots (the reference frames in tests/data/frames) and the project page are published; the metainfo points
# there. The default is a reserved name that never resolves: a packager sets the real one.
set(KOLTREP_HOMEPAGE "https://koltrep.example" CACHE STRING "Project page for the metainfo")
set(KOLTREP_RELEASE_DATE "2026-12-08" CACHE STRING "Date of this version, for the metainfo")

set(PACKAGING_DIR ${CMAKE_SOURCE_DIR}/packaging)

# The icon: one SVG, drawn after the program's window icon, rendered at the usual sizes.
find_program(RSVG_CONVERT rsvg-convert REQUIRED)
set(KOLTREP_ICON_SIZES 16 22 24 32 48 64 128 256)
set(icon_pngs "")
foreach(size IN LISTS KOLTREP_ICON_SIZES)
  set(png ${CMAKE_BINARY_DIR}/icons/${size}x${size}/koltrep.png)
  add_custom_command(OUTPUT ${png}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/icons/${size}x${size}
    COMMAND ${RSVG_CONVERT} -w ${size} -h ${size} -o ${png} ${PACKAGING_DIR}/koltrep.svg
    DEPENDS ${PACKAGING_DIR}/koltrep.svg VERBATIM)
  list(APPEND icon_pngs ${png})
  install(FILES ${png} DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps)
endforeach()
# Man pages and the changelog are installed compressed, as Debian asks; -n leaves the time out,
# so two builds give the same bytes.
find_program(GZIP gzip REQUIRED)
set(compressed "")
foreach(file docs/man/koltrep.6 docs/man/koltrep-replay.1 docs/man/koltrep-inspect.1
    docs/man/koltrep-sweep.1 docs/man/koltrep-evaluate.1 docs/man/koltrep-optimize.1
    packaging/changelog)
  get_filename_component(name ${file} NAME)
  set(gz ${CMAKE_BINARY_DIR}/compressed/${name}.gz)
  add_custom_command(OUTPUT ${gz}
    COMMAND ${CMAKE_COMMAND} -E copy ${CMAKE_SOURCE_DIR}/${file} ${CMAKE_BINARY_DIR}/compressed/${name}
    COMMAND ${GZIP} -9nf ${CMAKE_BINARY_DIR}/compressed/${name}
    DEPENDS ${CMAKE_SOURCE_DIR}/${file} VERBATIM)
  list(APPEND compressed ${gz})
endforeach()
# What `make install` and `make package` build besides the programs: icons and compressed files.
add_custom_target(koltrep-icons ALL DEPENDS ${icon_pngs} ${compressed})

configure_file(${PACKAGING_DIR}/${KOLTREP_APP_ID}.metainfo.xml.in
  ${CMAKE_BINARY_DIR}/${KOLTREP_APP_ID}.metainfo.xml @ONLY)

install(TARGETS koltrep koltrep-replay koltrep-inspect koltrep-sweep koltrep-evaluate
  koltrep-optimize RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(FILES data/body.x data/body.png data/ground.png data/almi.png
  DESTINATION ${CMAKE_INSTALL_DATADIR}/koltrep)
install(FILES ${PACKAGING_DIR}/${KOLTREP_APP_ID}.desktop
  DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${CMAKE_BINARY_DIR}/${KOLTREP_APP_ID}.metainfo.xml
  DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
install(FILES ${PACKAGING_DIR}/koltrep.svg
  DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
set(gz_dir ${CMAKE_BINARY_DIR}/compressed)
install(FILES ${gz_dir}/koltrep.6.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man6)
install(FILES ${gz_dir}/koltrep-replay.1.gz ${gz_dir}/koltrep-inspect.1.gz
  ${gz_dir}/koltrep-sweep.1.gz ${gz_dir}/koltrep-evaluate.1.gz ${gz_dir}/koltrep-optimize.1.gz
  DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
install(FILES LICENSE DESTINATION ${CMAKE_INSTALL_DOCDIR} RENAME copyright)
install(FILES README.md ${gz_dir}/changelog.gz DESTINATION ${CMAKE_INSTALL_DOCDIR})
# The user guide with its pictures, placed beside the README as in the source, so the links hold.
install(DIRECTORY docs/guide docs/images DESTINATION ${CMAKE_INSTALL_DOCDIR}/docs)
# Example key scripts, which the guide and the man pages run.
install(FILES tools/replay/tour.txt tools/replay/walk.txt tools/replay/gait_lab.txt
  DESTINATION ${CMAKE_INSTALL_DATADIR}/koltrep/examples)

set(CPACK_PACKAGE_NAME koltrep)
set(CPACK_PACKAGE_VENDOR "Koltrep developers")
set(KOLTREP_MAINTAINER "Koltrep developers <developers@koltrep.example>" CACHE STRING
  "Maintainer of the Debian package, a name and an e-mail address")
set(CPACK_PACKAGE_CONTACT "${KOLTREP_MAINTAINER}")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "walking machine physics demo")
# Debian's description lines stay under 80 characters.
set(CPACK_PACKAGE_DESCRIPTION
  "An eight-legged walking machine, each leg a Chebyshev lambda linkage turned by
its own crank motor, walks over a ground plane among four hills on the Open
Dynamics Engine. Steer it, change its crank speed and the ground friction, fly
three camera views and fire its laser. Also holds koltrep-replay, which runs
the demo headless from a key script, koltrep-sweep, which measures the machine
over a grid of crank speeds and frictions, and koltrep-inspect, which checks
data files.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_GENERATOR DEB)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
# A physics simulation with tools that measure it; Debian's games section is for programs
# installed in /usr/games.
set(CPACK_DEBIAN_PACKAGE_SECTION science)
# The libraries the programs link come from dpkg-shlibdeps. Only what is loaded at run time by
# name is listed here: the OpenGL driver (through libepoxy) and the font the text asks for.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "libgl1, libegl1, libgl1-mesa-dri, fonts-ipafont-gothic, fonts-dejavu-core")
# koltrep-sweep draws its plots through gnuplot and writes its CSV without it.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "gnuplot-nox | gnuplot")
include(CPack)
