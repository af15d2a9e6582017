#include "help/zonetexte.h"

namespace kal {

ZoneTexte::ZoneTexte(QWidget* parent) : Controle(new QPlainTextEdit(parent)), zone_(static_cast<QPlainTextEdit*>(widget()))
{
    zone_->setLineWrapMode(QPlainTextEdit::WidgetWidth);
    initialiserGeometrie();
}

QString ZoneTexte::texte() const
{
    QString t = zone_->toPlainText();
    t.replace(QLatin1Char('\n'), QStringLiteral("\r\n"));
    return t;
}

void ZoneTexte::definirTexte(const QString& t)
{
    QString s = t;
    s.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    s.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    zone_->setPlainText(s);
}

}  // namespace kal
