# The Debian package, built by CPack from the install rules with the prefix
# /usr (make deb configures it so). Its dependencies are what dpkg-shlibdeps
# finds the programs linked against.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME cspindrel)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGING_INSTALL_PREFIX ${CMAKE_INSTALL_PREFIX})
set(CPACK_PACKAGE_CONTACT ${SPINDREL_MAINTAINER})
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE ${SPINDREL_HOMEPAGE})
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION games)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION "strategy game of turning nodes and cascades of captures
CSpindrel is a small strategy game for two or four players at one computer.
The board is a grid of 24 by 24 nodes; every node points in one of four
directions and belongs to nobody or to one of the players. On their turn a
player clicks one of their own nodes: it turns a quarter turn and fires,
capturing every neighbour it points at and every neighbour that points at it,
and each captured node fires in turn, so that one click can set off a cascade
across the board. Each seat is played by a human with the mouse or by the
computer at one of three strengths.
.
The package holds four programs, each with its launcher in /usr/games:
 cspindrel     the game, with burnout of nodes that fire too often
 cspindrel-r1  the oldest revision, without burnout
 cspindrel-r2  an early revision on a 14 by 14 board
 cspindrel-r3  an early revision on an 18 by 18 board
All pictures and sounds are the game's own, drawn and synthesised by its
generator when it is built.")
# The package is built from the install tree alone: make deb builds what it
# needs first, without the tests.
set(CMAKE_SKIP_INSTALL_ALL_DEPENDENCY ON)
include(CPack)
