// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <QStringList>

// The languages the window speaks: Chinese, the one it is written in, and each language
// with a translation inside the program (translations/tarvenit_<language>.ts).
QStringList AvailableLanguages();

// Which language the window speaks. The one asked for (--lang, or TARVENIT_LANG), if the
// program has it (else none: empty). Otherwise from the system's preferred languages:
// Chinese when the first is Chinese, and in the C or POSIX locale; the first one itself
// when the program has it; English for any other.
QString
ChooseLanguage(const QString &asked, const QStringList &uiLanguages, const QStringList &available);

// Makes the application speak the language from now on, Qt's own texts too (`qtTexts`)
// where Qt's translations are found; false if the program has no translation for it.
bool UseLanguage(const QString &language, bool qtTexts = true);
