#include "platform/base/messages.h"

#include <QApplication>
#include <QAbstractButton>
#include <QMessageBox>
#include <utility>

namespace kal {

static Repondeur* g_repondeur = nullptr;

QString lignesMessage(const QStringList& lignes) { return lignes.join(QLatin1Char('\r')); }

void installerRepondeur(Repondeur* r) { g_repondeur = r; }

static int premiereReponse(int style)
{
    switch (style & 7) {
    case msg::OuiNon:
    case msg::OuiNonAnnuler:
        return msg::RepOui;
    default:
        return msg::RepOK;
    }
}

int RepondeurEnregistreur::repondre(const MessageAffiche& m)
{
    messages_.push_back(m);
    if (!reponses_.empty()) {
        const int r = reponses_.front();
        reponses_.pop_front();
        return r;
    }
    return premiereReponse(m.style);
}

int MsgBox(const QString& texte, int style, const QString& titre)
{
    MessageAffiche m{titre, texte, style};
    if (g_repondeur)
        return g_repondeur->repondre(m);

    QMessageBox box;
    box.setWindowTitle(titre);
    QString affiche = texte;
    affiche.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    box.setText(affiche);
    switch (style & 0x70) {
    case msg::Critique: box.setIcon(QMessageBox::Critical); break;
    case msg::Question: box.setIcon(QMessageBox::Question); break;
    case msg::Exclamation: box.setIcon(QMessageBox::Warning); break;
    case msg::Information: box.setIcon(QMessageBox::Information); break;
    default: box.setIcon(QMessageBox::NoIcon); break;
    }
    switch (style & 7) {
    case msg::OKAnnuler:
        box.setStandardButtons(QMessageBox::Ok | QMessageBox::Cancel);
        break;
    case msg::OuiNonAnnuler:
        box.setStandardButtons(QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
        break;
    case msg::OuiNon:
        box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
        break;
    default:
        box.setStandardButtons(QMessageBox::Ok);
        break;
    }
    // The buttons in the program's language, whatever Qt's own translations installed.
    for (auto [bouton, texte] : {std::pair{QMessageBox::Yes, "Oui"}, std::pair{QMessageBox::No, "Non"},
                                 std::pair{QMessageBox::Cancel, "Annuler"}, std::pair{QMessageBox::Ok, "OK"}})
        if (QAbstractButton* b = box.button(bouton))
            b->setText(QString::fromUtf8(texte));
    switch (box.exec()) {
    case QMessageBox::Cancel: return msg::RepAnnuler;
    case QMessageBox::Yes: return msg::RepOui;
    case QMessageBox::No: return msg::RepNon;
    default: return msg::RepOK;
    }
}

}  // namespace kal
