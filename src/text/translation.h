// SPDX-License-Identifier: GPL-3.0-or-later
// The language of the user interface. Every text is written in German, the source language,
// and German needs no translation; English comes from kurvex_en.qm, built into this module as
// a resource so that the viewer and kurvex-cli find it wherever they are installed.
#pragma once

#include <QCoreApplication>
#include <QStringView>

// Makes `language` the language of every translated text from now on: "de" (the default,
// also taking back an English translation installed before) or "en". False, and nothing
// changed, for a language Kurvex has no translation for.
bool InstallTranslation(QCoreApplication& app, QStringView language);
