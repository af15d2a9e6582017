#pragma once
// The contact window CONTACT: a message typed here goes to the maker through the system's
// mail, or, in its update mode, the window tells how to install a newer version and opens
// the maker's web page.
#include "help/zonetexte.h"
#include "platform/base/fenetres.h"
#include "platform/controls/controles.h"
#include "state/partage.h"

namespace kal {

// The maker: name and address the messages go to, and its web page.
namespace fabricant {
extern const QString Nom;
extern const QString Adresse;
extern const QString PageWeb;
}  // namespace fabricant

class Contact : public Fenetre {
    Q_OBJECT
public:
    explicit Contact(ReglagesPartages& partage);

    static const QString Sujet;   // "Kalmorin"

    Etiquette E_accueil;
    ZoneTexte T_message;
    Cadre F_contact;
    BoutonOption O_mail;
    BoutonOption O_maj;
    Bouton B_envoi;
    Bouton B_doc;
    Bouton B_fin;

    bool fichierpresent = false;
    qint64 longueurfichier = 0;

    // The instructions of the two modes, lines joined by a carriage return (message mode)
    // and by CR LF (update mode).
    static QString texteMessage();
    QString texteMiseAJour() const;

    void O_mail_Click();
    void O_maj_Click();
    void B_envoi_Click();
    void B_doc_Click();
    void B_fin_Click();
    void presence(const QString& chemin);

protected:
    void chargement() override;

private:
    ReglagesPartages& partage_;
    void envoimessage();
    void connexion();
    void retourdepart();
};

}  // namespace kal
