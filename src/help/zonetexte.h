#pragma once
// Multi-line text box: the text typed by the user, lines wrapped at the box's width.
#include "platform/controls/controle.h"

#include <QPlainTextEdit>
#include <QString>

namespace kal {

class ZoneTexte : public Controle {
public:
    explicit ZoneTexte(QWidget* parent);
    // The text, its lines joined by CR LF.
    QString texte() const;
    // Replaces the text (CR LF, CR or LF between lines).
    void definirTexte(const QString& t);
    QPlainTextEdit* zone() const { return zone_; }

private:
    QPlainTextEdit* zone_;
};

}  // namespace kal
