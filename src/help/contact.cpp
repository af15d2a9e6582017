#include "help/contact.h"

#include "platform/base/conversions.h"
#include "platform/base/ecran.h"
#include "platform/base/erreur.h"
#include "platform/base/fichiers.h"
#include "platform/base/messages.h"
#include "platform/mail/courrier.h"
#include "platform/mail/pageweb.h"

#include <QDir>

namespace kal {

namespace fabricant {
const QString Nom = QStringLiteral("VORDEX");
const QString Adresse = QStringLiteral("kalmorin@vordex.example");
const QString PageWeb = QStringLiteral("https://www.vordex.example/kalmorin");
}  // namespace fabricant

const QString Contact::Sujet = QStringLiteral("Kalmorin");

namespace {
// Designed geometry, in twips (client area).
constexpr int LargeurClient = 7200;
constexpr int HauteurClient = 6015;
constexpr int HauteurAccueilMessage = 1200;
constexpr int HauteurAccueilMiseAJour = 4800;
}  // namespace

Contact::Contact(ReglagesPartages& partage)
    : Fenetre(QStringLiteral("CONTACT")),
      E_accueil(this),
      T_message(this),
      F_contact(this),
      O_mail(F_contact.widget(), QStringLiteral("Message")),
      O_maj(F_contact.widget(), QStringLiteral("Mise à jour")),
      B_envoi(this, QStringLiteral("ENVOYER")),
      B_doc(this, QStringLiteral("DOC")),
      B_fin(this, QStringLiteral("QUITTER")),
      partage_(partage)
{
    setWindowTitle(QStringLiteral("CONTACT INTERNET"));
    QFont police(QStringLiteral("MS Sans Serif"));
    police.setPointSizeF(8.25);
    setFont(police);

    E_accueil.label()->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    E_accueil.placer(240, 120, 6720, HauteurAccueilMessage);
    T_message.placer(240, 1440, 6720, 3360);
    F_contact.placer(240, 4920, 2535, 915);
    O_mail.placer(150, 240, 2250, 255);
    O_maj.placer(150, 555, 2250, 255);
    B_envoi.placer(2955, 5190, 1335, 390);
    B_doc.placer(4410, 5190, 1215, 390);
    B_fin.placer(5745, 5190, 1215, 390);

    O_mail.surClic = [this] { O_mail_Click(); };
    O_maj.surClic = [this] { O_maj_Click(); };
    B_envoi.surClic = [this] { B_envoi_Click(); };
    B_doc.surClic = [this] { B_doc_Click(); };
    B_fin.surClic = [this] { B_fin_Click(); };

    placer(0, 0, LargeurClient, HauteurClient + Ecran::hauteurBordsTitre());
}

void Contact::chargement()
{
    deplacer(arrondi((Ecran::largeurTwips() - largeur()) / 2.0), arrondi((Ecran::hauteurTwips() - hauteur()) / 2.0));
    O_mail.definirValeur(true);
}

QString Contact::texteMessage()
{
    return lignesMessage({QStringLiteral("Vous avez découvert un bug."), QStringLiteral("Vous voulez une précision."),
                          QStringLiteral("Vous souhaitez une amélioration."), QStringLiteral("      -Composer un message"),
                          QStringLiteral("      -ENVOYER"), QStringLiteral("Ce message sera envoyé à:") + fabricant::Adresse});
}

QString Contact::texteMiseAJour() const
{
    // The work folder holds the personal pages: it is the one folder never to delete.
    QString travail = partage_.repdepart.isEmpty() ? fs::dossierCourant() : partage_.repdepart;
    const QString maison = QDir::homePath();
    if (travail.startsWith(maison + QLatin1Char('/')))
        travail = QStringLiteral("~") + travail.mid(maison.size());
    const QStringList lignes = {
        QStringLiteral("Votre logiciel est la version 42 de KALMORIN."),
        QStringLiteral("Pour vérifier si il existe une version plus récente,"),
        QStringLiteral("connectez vous sur la page de ") + fabricant::Nom + QStringLiteral(" avec CONNECTER."),
        QStringLiteral("Si une version plus récente existe:"),
        QStringLiteral("      -Télécharger KALMORIN.ZIP"),
        QStringLiteral("      -Désinstaller la version précédente:"),
        QStringLiteral("          -Quitter KALMORIN"),
        QStringLiteral("          -Supprimer le répertoire du programme KALMORIN"),
        QStringLiteral("           (celui où KALMORIN.ZIP a été décompressé)"),
        QStringLiteral("      -Ne pas supprimer ") + travail + QStringLiteral(","),
        QStringLiteral("       vos pages perso seraient supprimées."),
        QStringLiteral("      -Décompresser KALMORIN.ZIP."),
        QStringLiteral("          Lancer scripts/demarrer dans son répertoire"),
        QStringLiteral("      -La dernière version sera installée."),
        QString(70, QLatin1Char('-')),
        fabricant::Nom + QStringLiteral(" réalise aussi des logiciels pour la photo:"),
        QStringLiteral("albums de famille, classement et retouche des images."),
        QStringLiteral("Dans la page KALMORIN,cliquer sur Page d'accueil"),
    };
    return lignes.join(fs::sautLigne());
}

void Contact::O_mail_Click()
{
    E_accueil.definirLegende(texteMessage());
    B_envoi.definirLegende(QStringLiteral("ENVOYER"));
    T_message.definirVisible(true);
    E_accueil.definirHauteur(HauteurAccueilMessage);
}

void Contact::presence(const QString& chemin)
{
    try {
        longueurfichier = fs::longueurFichier(chemin);
        fichierpresent = true;
    } catch (const Erreur&) {
        // No file there: fichierpresent stays False, which is the answer the caller reads.
    }
}

void Contact::O_maj_Click()
{
    fichierpresent = false;
    presence(web::programmeOuverture());
    if (!fichierpresent) {
        MsgBox(lignesMessage({QStringLiteral("Fonction non supportée car le fichier xdg-open n'a pas été trouvé."),
                              QStringLiteral("  -Installer le fichier xdg-open (paquet xdg-utils);"),
                              QStringLiteral("  -Ou connectez vous sur ") + fabricant::PageWeb,
                              QStringLiteral("    par votre connexion Internet habituelle.")}),
               msg::Exclamation, QStringLiteral("FICHIER XDG-OPEN"));
        O_mail.definirValeur(true);
        return;
    }
    B_envoi.definirLegende(QStringLiteral("CONNECTER"));
    // The label breaks its lines at a carriage return: one break per CR LF.
    E_accueil.definirLegende(QString(texteMiseAJour()).replace(fs::sautLigne(), QStringLiteral("\r")));
    T_message.definirVisible(false);
    E_accueil.definirHauteur(HauteurAccueilMiseAJour);
}

void Contact::B_envoi_Click()
{
    if (O_mail.valeur()) {
        if (T_message.texte().isEmpty()) {
            MsgBox(QStringLiteral("Composer un message"), msg::Exclamation, QStringLiteral("PAS DE MESSAGE"));
            return;
        }
        envoimessage();
    } else {
        connexion();
    }
    retourdepart();
}

void Contact::envoimessage()
{
    courrier::Message m;
    m.nomDestinataire = fabricant::Nom;
    m.adresseDestinataire = fabricant::Adresse;
    m.sujet = Sujet;
    m.texte = T_message.texte();
    Ecran::definirPointeur(pointeur::Sablier);
    try {
        courrier::envoyer(m);
        Ecran::definirPointeur(pointeur::Defaut);
    } catch (const Erreur& e) {
        Ecran::definirPointeur(pointeur::Defaut);
        // The typed text stays in the box, to be sent again once the mail works.
        MsgBox(lignesMessage({QStringLiteral("Le message n'a pas pu être envoyé:"), e.description(),
                              QStringLiteral("Vérifier la configuration du courrier (sendmail)."),
                              QStringLiteral("Le message est conservé.")}),
               msg::Exclamation, QStringLiteral("MESSAGE NON ENVOYE"));
    }
}

void Contact::connexion()
{
    try {
        web::ouvrirpageweb(fabricant::PageWeb);
    } catch (const Erreur&) {
        MsgBox(lignesMessage({QStringLiteral("La page ne peut pas être ouverte."),
                              QStringLiteral("Connectez vous sur ") + fabricant::PageWeb,
                              QStringLiteral("par votre connexion Internet habituelle.")}),
               msg::Exclamation, QStringLiteral("CONNEXION IMPOSSIBLE"));
    }
}

void Contact::retourdepart()
{
    if (partage_.repdepart.isEmpty())
        return;
    try {
        fs::changerDossier(partage_.repdepart);
    } catch (const Erreur&) {
        // The start folder is gone: the current folder stays.
    }
}

void Contact::B_doc_Click() { Fenetres::montrer(QStringLiteral("DOC")); }

void Contact::B_fin_Click() { decharger(); }

}  // namespace kal
