# QScintilla for Qt 6 (Debian libqscintilla2-qt6-dev ships neither a CMake package nor a
# pkg-config file). Defines the imported target QScintilla::QScintilla.
find_path(QScintilla_INCLUDE_DIR NAMES Qsci/qsciscintilla.h
          HINTS ${Qt6Widgets_INCLUDE_DIRS} PATH_SUFFIXES qt6)
find_library(QScintilla_LIBRARY NAMES qscintilla2_qt6)

include(FindPackageHandleStandardArgs)
find_package_handle_standard_args(QScintilla REQUIRED_VARS QScintilla_LIBRARY
                                  QScintilla_INCLUDE_DIR)
mark_as_advanced(QScintilla_INCLUDE_DIR QScintilla_LIBRARY)

if(QScintilla_FOUND AND NOT TARGET QScintilla::QScintilla)
  add_library(QScintilla::QScintilla UNKNOWN IMPORTED)
  set_target_properties(QScintilla::QScintilla PROPERTIES
                        IMPORTED_LOCATION "${QScintilla_LIBRARY}"
                        INTERFACE_INCLUDE_DIRECTORIES "${QScintilla_INCLUDE_DIR}"
                        INTERFACE_LINK_LIBRARIES Qt6::Widgets)
endif()
