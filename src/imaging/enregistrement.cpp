// Save-as of the current object ("Enregistrer sous", page editor only), with the compression
// preview: JPEG and CMP are first written at the chosen quality to compress.JPG or compress.CMP
// in the work folder, shown with their size on disk, and the save copies that file; the other
// formats are written straight from the picture. Every file goes in whole or not at all (the
// image files and the copy are written aside and swapped in), and nothing is replaced without
// the question.
#include "imaging/imagerie.h"

#include "pagefiles/fichierspages.h"
#include "platform/base/erreur.h"
#include "platform/base/fichiers.h"
#include "platform/base/messages.h"
#include "platform/controls/bip.h"
#include "platform/imaging/codecs/fichiersimage.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <array>

namespace kal {

namespace {

struct FormatEnregistrement {
    QLatin1String extension;
    int code;
    bool compresse;   // saved as a copy of its compression preview
};

constexpr std::array<FormatEnregistrement, 7> FormatsEnregistrement = {{
    {QLatin1String("JPG"), 10, true},
    {QLatin1String("CMP"), 5, true},
    {QLatin1String("TGA"), 4, false},
    {QLatin1String("TIF"), 3, false},
    {QLatin1String("BMP"), 6, false},
    {QLatin1String("PCX"), 1, false},
    {QLatin1String("WMF"), 15, false},
}};

const FormatEnregistrement* formatDe(const QString& extension)
{
    for (const FormatEnregistrement& f : FormatsEnregistrement)
        if (extension == f.extension)
            return &f;
    return nullptr;
}

// The preview file of a compressed format, in the work folder (the current folder: the panel's
// lists never change it).
QString fichierApercu(const QString& extension)
{
    return fs::joindre(fs::dossierCourant(), nomApercuCompression(extension));
}

// A folder as the disk knows it: links followed, "." and ".." and a final "/" gone.
QString dossierReel(const QString& chemin)
{
    const QFileInfo i(chemin);
    const QString c = i.canonicalFilePath();
    return c.isEmpty() ? QDir::cleanPath(i.absoluteFilePath()) : c;
}

// The longest file name the disks take, in bytes.
constexpr int LongueurNomMax = 255;

void refuser(const QString& texte, const QString& titre)
{
    bip();
    MsgBox(texte, msg::OK + msg::Exclamation, titre);
}

void echecEcriture(const QString& fichier, const Erreur& err)
{
    MsgBox(lignesMessage({QStringLiteral("Le fichier ") + fichier + QStringLiteral(" n'a pas pu être enregistré:"),
                          err.description()}),
           msg::OK + msg::Exclamation, QStringLiteral("ENREGISTREMENT IMPOSSIBLE"));
}

}  // namespace

int Imagerie::codeformat(const QString& extension)
{
    const FormatEnregistrement* f = formatDe(extension);
    return f ? f->code : -1;
}

QString Imagerie::legendeCompression(int qualite, qint64 octets)
{
    return QString::number(qualite) + QStringLiteral(" Disque=") + QString::number(octets / 1024) + QStringLiteral(" Ko");
}

bool Imagerie::enregphoto()
{
    EtatEditeur& e = x_.etat;
    ControleImage* photo = photoCourante();
    // The jacket has no save-as; an empty page has nothing to save.
    if (x_.jaquette() || e.nbobjets == 0 || !photo)
        return true;
    PanneauEnregistrement& p = x_.fichierspages().panneauEnregistrement();
    p.infoenreg(*photo);
    x_.c.P_page.definirVisible(false);
    p.F_enreg.definirGauche(0);
    Fiches fiches = x_.fiches();
    fiches.sourceTable();
    fiches.trouver(e.objetcourant);

    apercujpg_ = false;
    apercucmp_ = false;
    p.ouvrir();
    compression(false, false);
    p.E_compression.definirLegende(QString::number(p.A_compress.valeur()));
    return true;
}

void Imagerie::compression(bool qualite, bool enregistrement)
{
    PanneauEnregistrement& p = x_.fichierspages().panneauEnregistrement();
    for (Controle* k : std::initializer_list<Controle*>{&p.E_compression, &p.E_qualite, &p.A_compress, &p.B_okcompress})
        k->definirActif(qualite);
    p.B_okenreg.definirActif(enregistrement);
}

void Imagerie::compression()
{
    PanneauEnregistrement& p = x_.fichierspages().panneauEnregistrement();
    const QString extension = p.extension();
    const FormatEnregistrement* f = formatDe(extension);
    if (!f || !f->compresse)
        return;
    bool& fait = apercuFait(f->code);
    fait = false;
    const QString fichier = fichierApercu(extension);
    const int qualite = p.A_compress.valeur();
    try {
        ControleImage* photo = photoCourante();
        if (!photo)
            throw Erreur(image::err::EcritureImpossible, QStringLiteral("Aucun objet courant à enregistrer."));
        photo->ecrirefichier(fichier, f->code, photo->bitsparpixel(), qualite, 0);
        p.E_compression.definirLegende(legendeCompression(qualite, photo->taillefichier()));
        fait = true;
    } catch (const Erreur& err) {
        // The preview no longer matches the slider: no save until one is made.
        compression(true, false);
        MsgBox(lignesMessage({QStringLiteral("La compression n'a pas pu être faite:"), err.description()}),
               msg::OK + msg::Exclamation, QStringLiteral("COMPRESSION IMPOSSIBLE"));
    }
}

void Imagerie::A_compress_Change()
{
    PanneauEnregistrement& p = x_.fichierspages().panneauEnregistrement();
    compression();
    const QString extension = p.extension();
    const FormatEnregistrement* f = formatDe(extension);
    if (!f || !f->compresse || !apercuFait(f->code))
        return;
    // The preview shows the compressed picture.
    try {
        p.L_enreg.lirefichier(fichierApercu(extension), 0, 0, 1);
    } catch (const Erreur&) {
        // The file just written cannot be read back: the preview keeps the picture it had.
    }
}

void Imagerie::A_compress_Scroll()
{
    PanneauEnregistrement& p = x_.fichierspages().panneauEnregistrement();
    p.E_compression.definirLegende(QString::number(p.A_compress.valeur()));
}

void Imagerie::B_okcompress_Click()
{
    PanneauEnregistrement& p = x_.fichierspages().panneauEnregistrement();
    compression();
    const FormatEnregistrement* f = formatDe(p.extension());
    if (f && f->compresse && !apercuFait(f->code))
        return;   // the preview failed: the save stays closed
    compression(true, true);
}

void Imagerie::B_okenreg_Click()
{
    PanneauEnregistrement& p = x_.fichierspages().panneauEnregistrement();

    // The folder of the saved pages, however its path is written.
    const QString dossier = p.R_repertoire.chemin();
    if (dossierReel(dossier) == dossierReel(fs::joindre(fs::dossierCourant(), QStringLiteral("persopag")))) {
        refuser(QStringLiteral("Il est interdit d'utiliser ce répertoire:changer de répertoire"),
                QStringLiteral("REPERTOIRE INTERDIT"));
        return;
    }
    const QString destination = dossier.endsWith(QLatin1Char('/')) ? dossier : dossier + QLatin1Char('/');
    const QString nom = p.L_fichier.texte();
    if (nom.isEmpty()) {
        refuser(QStringLiteral("Indiquer un nom de fichier"), QStringLiteral("NOM DE FICHIER ABSENT"));
        return;
    }
    const QString extension = p.extension();
    // The name stays in the folder chosen, and the disk can take it whole.
    if (!fs::nomSimple(nom) || QFile::encodeName(nom + QLatin1Char('.') + extension).size() > LongueurNomMax) {
        refuser(lignesMessage({QStringLiteral("Ce nom de fichier ne peut pas être utilisé:"),
                               QStringLiteral("il ne doit contenir ni / ni \\ ni caractère nul, ne pas être . ou ..,"),
                               QStringLiteral("et ne pas dépasser 255 octets avec son extension.")}),
                QStringLiteral("NOM DE FICHIER INCORRECT"));
        return;
    }
    const FormatEnregistrement* f = formatDe(extension);
    if (!f) {
        refuser(lignesMessage({QStringLiteral("Format inconnu: ") + p.L_formenreg.texte(),
                               QStringLiteral("Choisir un des formats de la liste.")}),
                QStringLiteral("FORMAT INCONNU"));
        return;
    }
    const QString apercu = fichierApercu(extension);
    if (f->compresse && !(apercuFait(f->code) && fs::estFichier(apercu))) {
        refuser(lignesMessage({QStringLiteral("Aucune compression n'a été faite pour ce format."),
                               QStringLiteral("Cliquer sur COMPRESSER avant d'enregistrer.")}),
                QStringLiteral("COMPRESSION ABSENTE"));
        return;
    }

    const QString fichier = destination + nom + QLatin1Char('.') + extension;
    if (fs::existe(fichier)) {
        bip();
        const int reponse = MsgBox(QStringLiteral("Le fichier ") + fichier + QStringLiteral(" existe déjà") +
                                       QLatin1Char('\r') + QStringLiteral("Voulez vous le remplacer ?"),
                                   msg::OuiNon + msg::Question, QStringLiteral("FICHIER EXISTANT"));
        if (reponse != msg::RepOui)
            return;
    }

    // Saved as the preview itself (its name, in the work folder): the file is already there, and
    // deleting the preview afterwards would take the saved file with it.
    const bool surApercu = f->compresse && dossierReel(destination) + QLatin1Char('/') + nom + QLatin1Char('.') + extension ==
                                               dossierReel(fs::dossierCourant()) + QStringLiteral("/compress.") + extension;
    try {
        if (!f->compresse) {
            ControleImage* photo = photoCourante();
            if (!photo)
                throw Erreur(image::err::EcritureImpossible, QStringLiteral("Aucun objet courant à enregistrer."));
            photo->ecrirefichier(fichier, f->code, photo->bitsparpixel(), 1, 0);
        } else if (!surApercu) {
            fs::copierFichier(apercu, fichier);
        }
    } catch (const Erreur& err) {
        echecEcriture(fichier, err);
        return;
    }
    if (f->compresse)
        apercuFait(f->code) = false;
    if (f->compresse && !surApercu) {
        try {
            fs::supprimerFichier(apercu);
        } catch (const Erreur& err) {
            // The file is saved: it is listed, and the panel stays open on the message.
            p.cheminfichier = destination;
            p.listefichier();
            MsgBox(lignesMessage({QStringLiteral("Le fichier ") + fichier + QStringLiteral(" est enregistré,"),
                                  QStringLiteral("mais le fichier de compression ") + apercu +
                                      QStringLiteral(" n'a pas pu être supprimé:"),
                                  err.description()}),
                   msg::OK + msg::Exclamation, QStringLiteral("ENREGISTREMENT"));
            return;
        }
    }
    p.cheminfichier = destination;
    p.listefichier();
    p.fermer();
}

}  // namespace kal
