// SPDX-License-Identifier: GPL-3.0-or-later
#include "language.h"

#include <QCoreApplication>
#include <QDir>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

#include <memory>

namespace {

const QString Chinese = QStringLiteral("zh");
const QString English = QStringLiteral("en");
const QString Translations = QStringLiteral(":/i18n");
const QString Prefix = QStringLiteral("tarvenit_");
const QString Suffix = QStringLiteral(".qm");

std::unique_ptr<QTranslator> g_translator; // the one in use, if the language is not Chinese
std::unique_ptr<QTranslator> g_qtTranslator; // Qt's own texts: dialogs, buttons, menus, errors

// Qt's own translations: beside the program where it carries them (Windows), else where
// Qt's are installed (Debian's qt6-translations-l10n).
void UseQtLanguage(const QString &language)
{
    if (g_qtTranslator) {
        QCoreApplication::removeTranslator(g_qtTranslator.get());
        g_qtTranslator.reset();
    }
    if (language.isEmpty())
        return;
    const QLocale locale(language == Chinese ? QStringLiteral("zh_CN") : language);
    auto translator = std::make_unique<QTranslator>();
    for (const QString &folder :
         { QCoreApplication::applicationDirPath() + QLatin1String("/translations"),
           QLibraryInfo::path(QLibraryInfo::TranslationsPath) }) {
        if (translator->load(locale, QStringLiteral("qtbase"), QStringLiteral("_"), folder)) {
            QCoreApplication::installTranslator(translator.get());
            g_qtTranslator = std::move(translator);
            return;
        }
    }
}

} // namespace

QStringList AvailableLanguages()
{
    QStringList languages { Chinese };
    for (const QString &file : QDir(Translations).entryList({ Prefix + QLatin1Char('*') + Suffix }))
        languages << file.mid(Prefix.size(), file.size() - Prefix.size() - Suffix.size());
    return languages;
}

QString
ChooseLanguage(const QString &asked, const QStringList &uiLanguages, const QStringList &available)
{
    if (!asked.isEmpty())
        return available.contains(asked) ? asked : QString();
    const QString first = uiLanguages.value(0);
    // What runs with no language set (a service, a script) sees the window as it always was.
    if (first.isEmpty() || first == QLatin1String("C") || first == QLatin1String("POSIX"))
        return Chinese;
    const QString language = first.section(QLatin1Char('-'), 0, 0);
    return available.contains(language) ? language : English;
}

bool UseLanguage(const QString &language, bool qtTexts)
{
    UseQtLanguage(qtTexts ? language : QString());
    if (g_translator) {
        QCoreApplication::removeTranslator(g_translator.get());
        g_translator.reset();
    }
    if (language == Chinese)
        return true;
    auto translator = std::make_unique<QTranslator>();
    if (!translator->load(Translations + QLatin1Char('/') + Prefix + language + Suffix))
        return false;
    QCoreApplication::installTranslator(translator.get());
    g_translator = std::move(translator);
    return true;
}
