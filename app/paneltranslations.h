#pragma once

#include <QTranslator>

// Qt's own texts in Chinese (the OK and Cancel of the boxes, the text boxes' edit menu, the
// serial port's errors), whatever the machine's locale: the panel speaks Chinese throughout.
// Installed for as long as the object lives; create it after the application object.
class PanelTranslations
{
public:
    PanelTranslations();

private:
    QTranslator m_qtTexts;
    QTranslator m_serialTexts;
};
