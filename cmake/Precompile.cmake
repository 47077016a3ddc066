# SPDX-License-Identifier: GPL-3.0-or-later
# Precompiled headers for the targets whose files include the same heavy toolkit and test
# framework headers: a cold build then parses them once per target instead of once per file.
#
# A compiler cache sees a precompiled header as a new input in every build tree and would
# miss on every file that uses it, while it already spares the parsing on a hit; so with a
# compiler launcher (ccache) they are off unless asked for.
if(CMAKE_CXX_COMPILER_LAUNCHER)
  set(kurvex_pch_default OFF)
else()
  set(kurvex_pch_default ON)
endif()
option(KURVEX_PCH "Precompile the toolkit's and the test framework's headers" ${kurvex_pch_default})

# kurvex_precompile(target header...): the headers are parsed once for the target and come
# first in each of its files. Each file still names what it uses, so that a build without
# them (KURVEX_PCH=OFF, the compiler cache, the fuzz build) catches a missing include.
function(kurvex_precompile target)
  if(KURVEX_PCH AND TARGET ${target})
    target_precompile_headers(${target} PRIVATE ${ARGN})
  endif()
endfunction()

# What nearly every file of a target includes: the toolkit's strings and files, its widgets
# in the viewer, the test framework in the tests.
set(kurvex_pch_core
  <QByteArray> <QCoreApplication> <QDir> <QFile> <QFileInfo> <QString> <QStringList>
  <algorithm> <cmath> <cstdint> <functional> <memory> <optional> <string> <vector>)
set(kurvex_pch_widgets ${kurvex_pch_core}
  <QApplication> <QCheckBox> <QComboBox> <QDialog> <QGroupBox> <QHBoxLayout> <QImage>
  <QKeyEvent> <QLabel> <QLineEdit> <QMainWindow> <QMdiArea> <QMdiSubWindow> <QMenu>
  <QMouseEvent> <QPainter> <QPlainTextEdit> <QPushButton> <QScrollBar> <QSlider>
  <QTreeWidget> <QVBoxLayout> <QWidget>)

kurvex_precompile(kurvex_gui ${kurvex_pch_widgets})
if(TARGET kurvex_test_support)
  # The suites below the viewer share one precompiled header: they are compiled with the
  # same options, those of the test support library they all link.
  kurvex_precompile(kurvex_test_support ${kurvex_pch_core} <QImage> <QTemporaryDir> <gtest/gtest.h>)
  if(KURVEX_PCH)
    foreach(folder capture text readouts math screen output analysis cli decode)
      if(TARGET kurvex_${folder}_tests)
        target_precompile_headers(kurvex_${folder}_tests REUSE_FROM kurvex_test_support)
      endif()
    endforeach()
  endif()
  kurvex_precompile(kurvex_app_tests ${kurvex_pch_widgets} <QTest> <QTemporaryDir> <gtest/gtest.h>)
endif()
