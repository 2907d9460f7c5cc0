#include "app/paneltranslations.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QLocale>

PanelTranslations::PanelTranslations()
{
    const QLocale chinese(QLocale::Chinese, QLocale::China);
    const QString folder = QLibraryInfo::path(QLibraryInfo::TranslationsPath);
    const QString separator = QStringLiteral("_");
    if (m_qtTexts.load(chinese, QStringLiteral("qtbase"), separator, folder))
        QCoreApplication::installTranslator(&m_qtTexts);
    if (m_serialTexts.load(chinese, QStringLiteral("qtserialport"), separator, folder))
        QCoreApplication::installTranslator(&m_serialTexts);
}
