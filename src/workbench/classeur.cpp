// The photo folder utilphot: its listing into the name lists, the naming rules and the save
// (a copy of saiphot.jpg), the deletion of a filed photo, and the folder's information box.
//
// The lists show the names as the design has them (lower case, cut before the first "."); the
// real file behind each entry is kept, and it is the one deleted. Only the workbench's own JPEG
// photos are ever deleted: a regular file of the folder itself, named .jpg, holding a JPEG.
#include "workbench/atelier.h"

#include "platform/base/conversions.h"
#include "platform/base/ecran.h"
#include "platform/base/erreur.h"
#include "platform/base/fichiers.h"
#include "platform/base/messages.h"
#include "platform/controls/bip.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <cmath>
#include <filesystem>

namespace kal {

namespace {

constexpr int LongueurMaxNom = 8;

// A name the folder lists as a photo: "<name>.jpg", in any case.
bool nomDePhoto(const QString& nom)
{
    return nom.size() > 4 && nom.endsWith(QLatin1String(".jpg"), Qt::CaseInsensitive);
}

QString nomAffiche(const QString& nomReel) { return nomReel.section(QLatin1Char('.'), 0, 0).toLower(); }

// A name typed for a photo that would not stay a plain file name of the folder.
bool nomInterdit(const QString& nom)
{
    for (const QChar c : nom)
        if (c == QLatin1Char('/') || c == QLatin1Char('\\') || c.unicode() < 0x20 || c.unicode() == 0x7F)
            return true;
    return !fs::nomSimple(nom);
}

// Ko of a file, to the nearest, a half to the even neighbour.
qint64 ko(qint64 octets) { return static_cast<qint64>(std::nearbyint(static_cast<double>(octets) / 1024.0)); }

}  // namespace

bool Atelier::nomDePhotoClassee(const QString& nomFichier)
{
    if (!nomFichier.endsWith(QLatin1String(".jpg")))
        return false;
    const QString nom = nomFichier.chopped(4);
    const qsizetype lettres = nom.toUcs4().size();
    return lettres >= 1 && lettres <= LongueurMaxNom && !nom.contains(QLatin1Char('.'));
}

void Atelier::listefichier()
{
    L_fichier.vider();
    L_fichsup.vider();
    nomsReels_.clear();
    lignesReelles_.clear();
    try {
        R_fichier.definirChemin(classeur());
        R_fichier.rafraichir();
    } catch (const Erreur&) {
        return;   // no folder to list
    }
    for (int i = 0; i < R_fichier.nombre(); ++i) {
        const QString nom = R_fichier.entree(i);
        if (!nomDePhoto(nom))
            continue;   // left where it is, not listed
        etat.nomphoto = nom.section(QLatin1Char('.'), 0, 0);
        L_fichier.ajouter(nomAffiche(nom));
        L_fichsup.ajouter(nomAffiche(nom));
        nomsReels_ << nom;
        lignesReelles_ << i;
    }
}

void Atelier::calculsauv()
{
    etat.tailleclasseur = 0;
    etat.nbphotos = 0;
    try {
        R_fichier.definirChemin(classeur());
        R_fichier.rafraichir();
    } catch (const Erreur&) {
        return;
    }
    etat.nbphotos = R_fichier.nombre();
    // Sizes read from the folder's own entries: a name that is not UTF-8 has no path, but its
    // photo takes room all the same.
    std::error_code ec;
    for (std::filesystem::directory_iterator it(QFile::encodeName(classeur()).toStdString(), ec), fin;
         !ec && it != fin; it.increment(ec)) {
        std::error_code e2;
        const std::string nom = it->path().filename().native();
        if (nom.empty() || nom[0] == '.' || !it->is_regular_file(e2) || !nomDePhoto(QString::fromLatin1(nom)))
            continue;
        const auto octets = it->file_size(e2);
        if (!e2)
            etat.tailleclasseur += ko(static_cast<qint64>(octets));
    }
}

void Atelier::unicfichier()
{
    etat.nomphoto.clear();
    definirPointeur(pointeur::Sablier);
    etat.nomexistant = false;
    const QString voulu = L_fichier.texte().toLower();
    for (int i = 0; i < R_fichier.nombre() && !etat.nomexistant; ++i) {
        const QString nom = R_fichier.entree(i);
        etat.nomphoto = nom.left(nom.size() - 4);
        etat.nomexistant = etat.nomphoto.toLower() == voulu;
    }
    // The folder as it is now, too: a file (or anything) of that name, in any case, is never
    // written over.
    if (!etat.nomexistant) {
        const QString cible = voulu + QStringLiteral(".jpg");
        const QStringList tout = QDir(classeur()).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
        for (const QString& nom : tout)
            etat.nomexistant = etat.nomexistant || nom.toLower() == cible;
    }
    if (etat.nomexistant)
        MsgBox(lignesMessage({QStringLiteral("La photo ") + L_fichier.texte() + QStringLiteral(" est déjà enregistrée:"),
                              QStringLiteral("Choisir un autre nom.")}),
               msg::OK + msg::Exclamation, QStringLiteral("NOM DE PHOTO INCORRECT"));
    definirPointeur(pointeur::Fleche);
}

void Atelier::B_enrsous_Click()
{
    autorfich(false, false, false, false, false, true, false);
    const int r = MsgBox(lignesMessage({QStringLiteral("Donner un nom à la photo"),
                                        QStringLiteral("La photo sera enregistrée au format .jpg dans"),
                                        classeur() + QLatin1Char('/'), QStringLiteral("Continuer ?")}),
                         msg::OuiNon + msg::Question, QStringLiteral("ENREGISTREMENT"));
    if (r == msg::RepOui) {
        autorfich(false, false, false, false, true, true, false);
        L_fichier.saisie.widget()->setFocus();
    } else {
        autorfich(true, true, true, true, false, false, false);
    }
}

void Atelier::B_okphoto_Click()
{
    if (etat.modefichier == QLatin1String("enr"))
        enregistrer();
    else if (etat.modefichier == QLatin1String("sup"))
        supprimer();
}

void Atelier::enregistrer()
{
    const QString tape = L_fichier.texte();
    if (tape.isEmpty()) {
        bip();
        MsgBox(QStringLiteral("Nom de photo absent"), msg::OK + msg::Exclamation, QStringLiteral("NOM DE PHOTO"));
        return;
    }
    // The whole typed text, in characters.
    if (tape.toUcs4().size() > LongueurMaxNom) {
        bip();
        MsgBox(QStringLiteral("Le nom de photo ne doit pas excéder 8 caractères"), msg::OK + msg::Exclamation,
               QStringLiteral("NOM DE PHOTO"));
        return;
    }
    if (tape.contains(QLatin1Char('.')))
        L_fichier.definirTexte(tape.section(QLatin1Char('.'), 0, 0));
    const QString nom = L_fichier.texte();
    // A name that began with a dot is nothing once cut.
    if (nom.isEmpty()) {
        bip();
        MsgBox(QStringLiteral("Nom de photo absent"), msg::OK + msg::Exclamation, QStringLiteral("NOM DE PHOTO"));
        return;
    }
    if (nomInterdit(nom)) {
        bip();
        MsgBox(lignesMessage({QStringLiteral("Le nom de photo ") + nom + QStringLiteral(" ne doit contenir ni / ni \\."),
                              QStringLiteral("Choisir un autre nom.")}),
               msg::OK + msg::Exclamation, QStringLiteral("NOM DE PHOTO INCORRECT"));
        return;
    }
    unicfichier();
    if (etat.nomexistant)
        return;
    L_photo.traitementphoto();
    const QString cible = fs::joindre(classeur(), nom + QStringLiteral(".jpg"));
    try {
        // The work file that a change could not write (or that is gone) is written now, as the
        // photo is shown.
        if (!travailAJour_ || !fs::estFichier(fichierTravail())) {
            try {
                ecrireTravail();
            } catch (const Erreur& e) {
                throw Erreur(e.numero(), lignesMessage({QStringLiteral("Le fichier de travail ne peut pas être écrit:"),
                                                        e.description()}));
            }
        }
        try {
            fs::copierFichier(fichierTravail(), cible);
        } catch (const Erreur& e) {
            if (fs::ecritureNonConfirmee(e)) {
                // The photo is in utilphot; only the disk's confirmation of its name is missing.
                MsgBox(lignesMessage({QStringLiteral("La photo ") + nom +
                                          QStringLiteral(" a été enregistrée, mais le disque n'a pas confirmé l'écriture: "
                                                         "elle pourrait manquer après une coupure de courant."),
                                      classeur() + QStringLiteral(" : ") + e.cause()}),
                       msg::OK + msg::Exclamation, QStringLiteral("ENREGISTREMENT"));
            } else if (e.numero() != err::FichierIntrouvable) {
                throw;
            } else {
                throw Erreur(e.numero(), e.description() + QStringLiteral(" : le fichier de travail n'existe plus."));
            }
        }
    } catch (const Erreur& e) {
        MsgBox(lignesMessage({QStringLiteral("La photo n'a pas pu être enregistrée dans"), cible, e.description()}),
               msg::OK + msg::Exclamation, QStringLiteral("ENREGISTREMENT"));
        autorfich(true, true, true, true, false, false, false);
        return;
    }
    L_photo.definirVisible(false);
    listefichier();
    autorfich(true, true, false, true, false, false, false);
}

void Atelier::B_sup_Click()
{
    autorfich(true, true, false, false, true, false, true);
    listefichier();
    MsgBox(QStringLiteral("Selectionner la photo à supprimer"), msg::OK + msg::Exclamation, QStringLiteral("SUPPRESSION PHOTO"));
    etat.modefichier = QStringLiteral("sup");
}

void Atelier::supprimer()
{
    const int i = L_fichsup.indexCourant();
    if (L_fichsup.texte().isEmpty() || i < 0 || i >= nomsReels_.size()) {
        bip();
        MsgBox(QStringLiteral("Nom de photo absent"), msg::OK + msg::Exclamation, QStringLiteral("NOM DE PHOTO"));
        autorfich(true, true, false, true, true, false, false);
        return;
    }
    // A name that is not UTF-8 has no path to delete: the user is told to rename it.
    if (R_fichier.refuserIllisible(lignesReelles_[i])) {
        autorfich(true, true, false, true, false, false, true);
        return;
    }
    if (MsgBox(QStringLiteral("Supprimer la photo sélectionnée"), msg::OuiNon + msg::Question,
               QStringLiteral("SUPPRESSION PHOTO")) != msg::RepOui) {
        autorfich(true, true, false, true, false, false, true);
        return;
    }
    autorfich(false, false, false, false, false, false, true);
    const QString nom = nomsReels_[i];
    const QString chemin = fs::joindre(classeur(), nom);
    const QFileInfo info(chemin);
    bool photo = nomDePhoto(nom) && info.isFile() && !info.isSymLink();
    if (photo) {
        QFile f(chemin);
        photo = f.open(QIODevice::ReadOnly) && f.read(3) == QByteArray("\xFF\xD8\xFF", 3);
    }
    QString refus;
    if (!photo) {
        refus = QStringLiteral("Ce fichier n'est pas une photo JPEG de l'atelier: il est laissé en place.");
    } else {
        try {
            fs::supprimerFichier(chemin);
        } catch (const Erreur& e) {
            refus = e.description();
        }
    }
    listefichier();
    if (!refus.isEmpty()) {
        MsgBox(lignesMessage({QStringLiteral("La photo ") + nom + QStringLiteral(" n'est pas supprimée."), refus}),
               msg::OK + msg::Exclamation, QStringLiteral("SUPPRESSION PHOTO"));
        autorfich(true, true, false, true, false, false, true);
        return;
    }
    if (MsgBox(QStringLiteral("FIN DE SUPPRESSION  ?"), msg::OuiNon + msg::Question, QStringLiteral("SUPPRESSION PHOTO")) ==
        msg::RepOui)
        autorfich(true, true, false, true, false, false, false);
    else
        autorfich(false, false, false, false, true, false, true);
}

void Atelier::B_info_Click()
{
    calculsauv();
    MsgBox(lignesMessage({QStringLiteral("Les photos modifiées sont enregistrées dans un classeur de sauvegarde."),
                          QStringLiteral("Ce classeur de sauvegarde est:") + classeur() + QStringLiteral("/."),
                          QStringLiteral("Il contient ") + Str(etat.nbphotos) + QStringLiteral(" photos.") +
                              QStringLiteral("L'espace disque occupé par ce classeur est de:") +
                              Str(static_cast<double>(etat.tailleclasseur)) + QStringLiteral(" Ko"),
                          QStringLiteral("Pour libérer de l'espace disque,il peut etre nécessaire de supprimer les photos de ce "
                                         "classeur devenues inutiles."),
                          QStringLiteral("Pour cela,utiliser le bouton SUPPRIMER.")}),
           msg::OK, QStringLiteral("INFO SAUVEGARDE"));
}

}  // namespace kal
