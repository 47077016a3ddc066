// SPDX-License-Identifier: GPL-3.0-or-later
// Stand-in for the loading of the interface's translations until the text module brings
// it: the same declaration, knowing German and English and installing nothing.
#pragma once

#include <QCoreApplication>
#include <QStringView>

// Installs the texts of `language` for the application; false for a language that is not
// known. German, the source language, installs nothing.
bool InstallTranslation(QCoreApplication& application, QStringView language);
