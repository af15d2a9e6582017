// "Enregistrer sous" in the page editor, driven as a user would through the panel: the
// compression preview, a save in every format read back from the disk, the refusals in their
// order, the question before a file is replaced, and failures that leave the panel open with
// nothing half-written.
#include "support/banc_editeur.h"
#include "imaging/imagerie.h"
#include "pagefiles/fichierspages.h"
#include "pagemodel/objets.h"
#include "platform/base/fichiers.h"
#include "platform/controls/bip.h"
#include "platform/imaging/codecs/fichiersimage.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QTest>
#include <gtest/gtest.h>

using kal::TypeEditeur;

namespace {

class EnregistrementSous : public ::testing::Test {
protected:
    kaltest::BancEditeur banc{1024, 768};
    kal::Editeur* ed = nullptr;
    QString sortie;

    void SetUp() override
    {
        ed = banc.ouvrir(TypeEditeur::Page);
        ASSERT_NE(ed, nullptr);
        banc.repondeur.oublier();
        sortie = banc.dossier.fichier(QStringLiteral("sortie"));
        QDir().mkpath(sortie);
    }
    // A 100 x 150 photo with a gradient, placed on the page as the open panel places it.
    void placerPhoto()
    {
        QImage img(100, 150, QImage::Format_RGB32);
        for (int y = 0; y < img.height(); ++y)
            for (int x = 0; x < img.width(); ++x)
                img.setPixel(x, y, qRgb(x * 255 / 100, y * 255 / 150, 128));
        const QString chemin = banc.dossier.fichier(QStringLiteral("photo.jpg"));
        ASSERT_TRUE(img.save(chemin, "JPEG", 90));
        kal::ControleImage apercu(ed);
        apercu.lirefichier(chemin);
        ed->x.etat.typeobjet = QStringLiteral("photo");
        ASSERT_TRUE(ed->x.objets().chargementimage(apercu, QStringLiteral("photo.jpg")));
    }
    kal::PanneauEnregistrement& panneau() { return ed->x.fichierspages().panneauEnregistrement(); }
    // The entry picked in the function list.
    void ouvrir()
    {
        const int entree = 6;
        ASSERT_EQ(ed->c.L_fonction.entree(entree), QStringLiteral("Enregistrer sous"));
        ed->c.L_fonction.definirIndex(entree);
        EXPECT_EQ(ed->c.L_fonction.indexCourant(), -1);
    }
    void aller(const QString& dossier) { panneau().R_repertoire.definirChemin(dossier); }
    void taper(const QString& nom) { panneau().L_fichier.definirTexte(nom); }
    bool qualiteActive()
    {
        kal::PanneauEnregistrement& p = panneau();
        const bool a = p.A_compress.actif();
        EXPECT_EQ(p.E_qualite.actif(), a);
        EXPECT_EQ(p.E_compression.actif(), a);
        EXPECT_EQ(p.B_okcompress.actif(), a);
        return a;
    }
    static QByteArray octets(const QString& chemin)
    {
        QFile f(chemin);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }
    static void ecrire(const QString& chemin, const QByteArray& b)
    {
        QFile f(chemin);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(b);
    }
    QString compressJpg() const { return banc.dossier.fichier(QStringLiteral("compress.JPG")); }
    const kal::MessageAffiche& dernier() const { return banc.repondeur.messages().back(); }
};

TEST_F(EnregistrementSous, RienSurUnePageVide)
{
    ouvrir();
    EXPECT_FALSE(panneau().F_enreg.visible());
    EXPECT_TRUE(ed->c.P_page.visible());
}

TEST_F(EnregistrementSous, LaJaquetteNEnAPas)
{
    kal::Fenetres::decharger(kal::Editeur::nomFenetre(TypeEditeur::Page));
    kal::Editeur* jaq = banc.ouvrir(TypeEditeur::Jaquette);
    ASSERT_NE(jaq, nullptr);
    for (int i = 0; i < jaq->c.L_fonction.nombre(); ++i)
        EXPECT_NE(jaq->c.L_fonction.entree(i), QStringLiteral("Enregistrer sous"));
}

TEST_F(EnregistrementSous, OuvertureEtApercuDeCompressionJpeg)
{
    placerPhoto();
    ouvrir();
    kal::PanneauEnregistrement& p = panneau();
    ASSERT_TRUE(p.F_enreg.visible());
    EXPECT_FALSE(ed->c.P_page.visible());
    EXPECT_EQ(p.F_enreg.gauche(), 0);
    EXPECT_EQ(p.L_formenreg.texte(), QStringLiteral("Format JPEG JPG"));
    EXPECT_EQ(p.L_formenreg.nombre(), 7);
    EXPECT_EQ(p.E_compression.legende(), QStringLiteral("2"));
    EXPECT_EQ(p.E_infenreg.legende(), QStringLiteral("Photo couleur\r100 x 150 pixels\r  45 000  octets"));
    EXPECT_FALSE(qualiteActive());
    EXPECT_FALSE(p.B_okenreg.actif());

    // A JPEG name opens the quality group; the save waits for "COMPRESSER".
    QTest::keyClicks(p.L_fichier.saisie.ligne(), "vacances");
    EXPECT_TRUE(qualiteActive());
    EXPECT_FALSE(p.B_okenreg.actif());
    p.B_okcompress.cliquer();
    EXPECT_TRUE(p.B_okenreg.actif());
    ASSERT_TRUE(kal::fs::estFichier(compressJpg()));
    EXPECT_TRUE(octets(compressJpg()).startsWith("\xFF\xD8\xFF"));
    EXPECT_EQ(p.E_compression.legende(), QStringLiteral("2 Disque=%1 Ko").arg(QFileInfo(compressJpg()).size() / 1024));
    // Typing again closes the save until the next preview.
    QTest::keyClicks(p.L_fichier.saisie.ligne(), "2");
    EXPECT_FALSE(p.B_okenreg.actif());

    // The slider writes the preview at its quality, shows its size and the compressed picture.
    const qint64 avant = QFileInfo(compressJpg()).size();
    const kal::image::Photo image = p.L_enreg.bitmap();
    p.A_compress.definirValeur(120);
    const qint64 apres = QFileInfo(compressJpg()).size();
    EXPECT_LT(apres, avant);
    EXPECT_EQ(p.E_compression.legende(), QStringLiteral("120 Disque=%1 Ko").arg(apres / 1024));
    EXPECT_FALSE(p.L_enreg.bitmap().memeEtat(image));
    EXPECT_EQ(p.L_enreg.bitmap().taille(), QSize(100, 150));
    EXPECT_FALSE(p.B_okenreg.actif());
    EXPECT_EQ(kal::Imagerie::legendeCompression(35, 89500), QStringLiteral("35 Disque=87 Ko"));

    // Picking a direct format closes the quality group and opens the save.
    p.L_formenreg.definirIndex(4);
    EXPECT_FALSE(qualiteActive());
    EXPECT_TRUE(p.B_okenreg.actif());
    p.L_formenreg.definirIndex(1);
    EXPECT_FALSE(qualiteActive());
    EXPECT_FALSE(p.B_okenreg.actif());

    // Left without saving: nothing deletes the preview, and the quality is kept for next time.
    p.B_quitter.cliquer();
    EXPECT_FALSE(p.F_enreg.visible());
    EXPECT_TRUE(ed->c.P_page.visible());
    EXPECT_TRUE(kal::fs::estFichier(compressJpg()));
    EXPECT_EQ(kal::fs::dossierCourant(), banc.dossier.chemin());
    EXPECT_TRUE(QDir(sortie).isEmpty());
    ouvrir();
    EXPECT_EQ(p.A_compress.valeur(), 120);
    EXPECT_EQ(p.E_compression.legende(), QStringLiteral("120"));
    EXPECT_TRUE(banc.repondeur.messages().empty());
}

TEST_F(EnregistrementSous, ChaqueFormatEcritEtRelu)
{
    placerPhoto();
    struct Attendu {
        int position;
        const char* extension;
        int code;
        QByteArray debut;
    };
    const std::vector<Attendu> attendus = {
        {0, "JPG", 10, QByteArray("\xFF\xD8\xFF", 3)},
        {1, "CMP", 5, QByteArray("\x00\x00\x00\x0CjP  \r\n\x87\n", 12)},
        {2, "TGA", 4, QByteArray("\x00\x00\x02", 3)},
        {3, "TIF", 3, QByteArray()},
        {4, "BMP", 6, QByteArray("BM")},
        {5, "PCX", 1, QByteArray("\x0A\x05\x01", 3)},
        {6, "WMF", 15, QByteArray("\xD7\xCD\xC6\x9A", 4)},
    };
    for (const Attendu& a : attendus) {
        SCOPED_TRACE(a.extension);
        ouvrir();
        kal::PanneauEnregistrement& p = panneau();
        aller(sortie);
        p.L_formenreg.definirIndex(a.position);
        taper(QStringLiteral("photo") + QString::number(a.position));
        const QString apercu = banc.dossier.fichier(QStringLiteral("compress.") + QLatin1String(a.extension));
        QByteArray compresse;
        if (a.position < 2) {
            EXPECT_FALSE(p.B_okenreg.actif());
            p.B_okcompress.cliquer();
            compresse = octets(apercu);
            ASSERT_FALSE(compresse.isEmpty());
        }
        ASSERT_TRUE(p.B_okenreg.actif());
        p.B_okenreg.cliquer();
        EXPECT_TRUE(banc.repondeur.messages().empty());
        EXPECT_FALSE(p.F_enreg.visible());
        EXPECT_TRUE(ed->c.P_page.visible());
        EXPECT_EQ(p.cheminfichier, sortie + QLatin1Char('/'));

        const QString fichier = sortie + QStringLiteral("/photo%1.%2").arg(a.position).arg(QLatin1String(a.extension));
        const QByteArray b = octets(fichier);
        ASSERT_FALSE(b.isEmpty());
        EXPECT_TRUE(b.startsWith(a.debut));
        if (a.position < 2) {
            EXPECT_EQ(b, compresse);   // the very preview, which is gone now
            EXPECT_FALSE(kal::fs::existe(apercu));
        }
        kal::image::InfoFichier info;
        const QImage relue = kal::image::lireFichier(fichier, &info);
        EXPECT_EQ(info.codeformat, a.code);
        EXPECT_EQ(relue.size(), QSize(100, 150));
        EXPECT_EQ(kal::Imagerie::codeformat(QLatin1String(a.extension)), a.code);
        // The name list follows the save.
        EXPECT_TRUE(p.L_fichier.entree(0).startsWith(QStringLiteral("photo")));
    }
    // 24 bits, rows of 300 bytes: the header and the pixels; TARGA: its header, the pixels and
    // its 2.0 footer; TIFF in either byte order.
    EXPECT_EQ(QFileInfo(sortie + QStringLiteral("/photo4.BMP")).size(), 54 + 45000);
    EXPECT_EQ(QFileInfo(sortie + QStringLiteral("/photo2.TGA")).size(), 18 + 45000 + 26);
    EXPECT_TRUE(octets(sortie + QStringLiteral("/photo2.TGA")).endsWith(QByteArray("TRUEVISION-XFILE.\0", 18)));
    const QByteArray tif = octets(sortie + QStringLiteral("/photo3.TIF")).left(4);
    EXPECT_TRUE(tif == QByteArray("II*\0", 4) || tif == QByteArray("MM\0*", 4));
    // PCX: three planes of 100 bytes a line; WMF: the size its header gives, in words after the
    // 22-byte placeable header, is the file's (the picture as a 24-bit DIB: 45,142 bytes).
    const QByteArray pcx = octets(sortie + QStringLiteral("/photo5.PCX"));
    ASSERT_GT(pcx.size(), 128);
    EXPECT_EQ(pcx[65], 3);
    EXPECT_EQ(static_cast<uchar>(pcx[66]) | static_cast<uchar>(pcx[67]) << 8, 100);
    const QByteArray wmf = octets(sortie + QStringLiteral("/photo6.WMF"));
    ASSERT_GT(wmf.size(), 32);
    quint32 mots = 0;
    for (int i = 3; i >= 0; --i)
        mots = mots << 8 | static_cast<uchar>(wmf[28 + i]);
    EXPECT_EQ(22 + 2 * qint64(mots), wmf.size());
    EXPECT_EQ(wmf.size(), 45142);
    EXPECT_EQ(kal::Imagerie::codeformat(QStringLiteral("jpg")), -1);
}

TEST_F(EnregistrementSous, LesRefusDansLeurOrdreSansRienEcrire)
{
    placerPhoto();
    const QString perso = banc.dossier.fichier(QStringLiteral("persopag"));
    ASSERT_TRUE(kal::fs::estDossier(perso));
    QDir().mkpath(perso + QStringLiteral("/sous"));
    ASSERT_TRUE(QFile::link(perso, banc.dossier.fichier(QStringLiteral("lien"))));
    ouvrir();
    kal::PanneauEnregistrement& p = panneau();
    p.L_formenreg.definirIndex(4);
    kal::CompteurBips bips;

    // The folder of the saved pages comes first, even with no name, however it is reached.
    const QStringList chemins = {perso, perso + QStringLiteral("/"), banc.dossier.chemin() + QStringLiteral("/./persopag"),
                                 perso + QStringLiteral("/sous/.."), banc.dossier.fichier(QStringLiteral("lien"))};
    for (const QString& d : chemins) {
        aller(d);
        banc.repondeur.oublier();
        p.B_okenreg.cliquer();
        ASSERT_EQ(banc.repondeur.messages().size(), 1u) << d.toStdString();
        EXPECT_EQ(dernier().texte, QStringLiteral("Il est interdit d'utiliser ce répertoire:changer de répertoire"));
        EXPECT_EQ(dernier().titre, QStringLiteral("REPERTOIRE INTERDIT"));
        EXPECT_EQ(dernier().style, 48);
    }
    EXPECT_EQ(bips.nombre(), static_cast<int>(chemins.size()));
    // Its sub-folders are not refused: the name comes next.
    aller(perso + QStringLiteral("/sous"));
    p.B_okenreg.cliquer();
    EXPECT_EQ(dernier().texte, QStringLiteral("Indiquer un nom de fichier"));
    EXPECT_EQ(dernier().titre, QStringLiteral("NOM DE FICHIER ABSENT"));
    EXPECT_EQ(dernier().style, 48);
    EXPECT_EQ(bips.nombre(), static_cast<int>(chemins.size()) + 1);

    // A name that would leave the folder, or that no disk takes.
    aller(sortie);
    const QStringList mauvais = {QStringLiteral("../evade"), QStringLiteral("a/b"), QStringLiteral(".."),
                                 QStringLiteral("x") + QChar(0) + QStringLiteral("y"), QString(252, QLatin1Char('n'))};
    for (const QString& nom : mauvais) {
        banc.repondeur.oublier();
        taper(nom);
        p.B_okenreg.cliquer();
        ASSERT_EQ(banc.repondeur.messages().size(), 1u);
        EXPECT_EQ(dernier().titre, QStringLiteral("NOM DE FICHIER INCORRECT"));
        EXPECT_EQ(dernier().style, 48);
        EXPECT_TRUE(p.F_enreg.visible());
    }
    // 251 characters and ".BMP" make 255: that one goes.
    taper(QString(251, QLatin1Char('n')));
    banc.repondeur.oublier();
    EXPECT_TRUE(QDir(sortie).isEmpty());
    EXPECT_FALSE(kal::fs::existe(banc.dossier.fichier(QStringLiteral("evade.BMP"))));
    p.B_okenreg.cliquer();
    EXPECT_TRUE(banc.repondeur.messages().empty());
    EXPECT_TRUE(kal::fs::estFichier(sortie + QLatin1Char('/') + QString(251, QLatin1Char('n')) + QStringLiteral(".BMP")));
}

TEST_F(EnregistrementSous, FormatInconnuOuPreviewAbsenteNeSontPasDesSucces)
{
    placerPhoto();
    ouvrir();
    kal::PanneauEnregistrement& p = panneau();
    aller(sortie);
    p.L_formenreg.definirIndex(4);
    taper(QStringLiteral("carte"));
    // A format typed that is none of the list.
    p.L_formenreg.definirTexte(QStringLiteral("Format XYZ"));
    p.B_okenreg.cliquer();
    ASSERT_EQ(banc.repondeur.messages().size(), 1u);
    EXPECT_EQ(dernier().titre, QStringLiteral("FORMAT INCONNU"));
    EXPECT_TRUE(p.F_enreg.visible());
    // JPEG typed over a direct format: a preview left from earlier is not this picture's.
    ecrire(compressJpg(), "un autre jour");
    p.L_formenreg.definirTexte(QStringLiteral("Format JPEG JPG"));
    ASSERT_TRUE(p.B_okenreg.actif());
    p.B_okenreg.cliquer();
    EXPECT_EQ(dernier().titre, QStringLiteral("COMPRESSION ABSENTE"));
    EXPECT_TRUE(p.F_enreg.visible());
    EXPECT_TRUE(QDir(sortie).isEmpty());
    EXPECT_EQ(octets(compressJpg()), QByteArray("un autre jour"));
}

TEST_F(EnregistrementSous, UnFichierExistantNEstRemplaceQuApresLaQuestion)
{
    placerPhoto();
    const QString vacances = sortie + QStringLiteral("/vacances.BMP");
    ecrire(vacances, "ancien");
    ouvrir();
    kal::PanneauEnregistrement& p = panneau();
    aller(sortie);
    p.L_formenreg.definirIndex(4);
    taper(QStringLiteral("vacances"));
    kal::CompteurBips bips;
    banc.repondeur.prevoir(kal::msg::RepNon);
    p.B_okenreg.cliquer();
    ASSERT_EQ(banc.repondeur.messages().size(), 1u);
    EXPECT_EQ(dernier().texte, QStringLiteral("Le fichier ") + vacances + QStringLiteral(" existe déjà\rVoulez vous le remplacer ?"));
    EXPECT_EQ(dernier().titre, QStringLiteral("FICHIER EXISTANT"));
    EXPECT_EQ(dernier().style, 36);
    EXPECT_EQ(bips.nombre(), 1);
    EXPECT_EQ(octets(vacances), QByteArray("ancien"));
    EXPECT_TRUE(p.F_enreg.visible());
    banc.repondeur.prevoir(kal::msg::RepOui);
    p.B_okenreg.cliquer();
    EXPECT_TRUE(octets(vacances).startsWith("BM"));
    EXPECT_FALSE(p.F_enreg.visible());

    // The real file is what counts, not the names listed: "a.b" lists as "a", and a list made
    // for another format says nothing of this one's files.
    const QString ab = sortie + QStringLiteral("/a.b.JPG");
    ecrire(ab, "ancien");
    ecrire(sortie + QStringLiteral("/photo.TGA"), "ancien");
    ouvrir();
    aller(sortie);
    p.listefichier();
    EXPECT_EQ(p.L_fichier.entree(0), QStringLiteral("a"));
    taper(QStringLiteral("a.b"));
    p.B_okcompress.cliquer();
    banc.repondeur.oublier();
    banc.repondeur.prevoir(kal::msg::RepNon);
    p.B_okenreg.cliquer();
    ASSERT_EQ(banc.repondeur.messages().size(), 1u);
    EXPECT_EQ(dernier().titre, QStringLiteral("FICHIER EXISTANT"));
    EXPECT_EQ(octets(ab), QByteArray("ancien"));
    p.L_formenreg.definirIndex(2);   // TARGA, the list still that of JPEG
    taper(QStringLiteral("photo"));
    banc.repondeur.prevoir(kal::msg::RepNon);
    p.B_okenreg.cliquer();
    EXPECT_EQ(dernier().texte.section(QLatin1Char('\r'), 0, 0),
              QStringLiteral("Le fichier ") + sortie + QStringLiteral("/photo.TGA existe déjà"));
    EXPECT_EQ(octets(sortie + QStringLiteral("/photo.TGA")), QByteArray("ancien"));

    // Names differing in case are other files here: no question, nothing replaced.
    ecrire(sortie + QStringLiteral("/Vacances.jpg"), "ancien");
    p.L_formenreg.definirIndex(0);
    taper(QStringLiteral("vacances"));
    p.B_okcompress.cliquer();
    banc.repondeur.oublier();
    p.B_okenreg.cliquer();
    EXPECT_TRUE(banc.repondeur.messages().empty());
    EXPECT_EQ(octets(sortie + QStringLiteral("/Vacances.jpg")), QByteArray("ancien"));
    EXPECT_TRUE(octets(sortie + QStringLiteral("/vacances.JPG")).startsWith("\xFF\xD8"));
}

TEST_F(EnregistrementSous, EnregistreSousLeNomDeLApercuLeFichierReste)
{
    placerPhoto();
    ouvrir();
    kal::PanneauEnregistrement& p = panneau();
    aller(banc.dossier.chemin() + QStringLiteral("/."));
    taper(QStringLiteral("compress"));
    p.B_okcompress.cliquer();
    const QByteArray apercu = octets(compressJpg());
    ASSERT_TRUE(apercu.startsWith("\xFF\xD8\xFF"));
    banc.repondeur.prevoir(kal::msg::RepOui);
    p.B_okenreg.cliquer();
    ASSERT_EQ(banc.repondeur.messages().size(), 1u);
    EXPECT_EQ(dernier().titre, QStringLiteral("FICHIER EXISTANT"));
    // The saved file is the preview, and it is not deleted as a preview would be.
    EXPECT_FALSE(p.F_enreg.visible());
    EXPECT_EQ(octets(compressJpg()), apercu);
}

TEST_F(EnregistrementSous, UneEcritureQuiEchoueLaisseLePanneauOuvert)
{
    placerPhoto();
    // A folder where the file would go: the write and the copy both fail.
    QDir().mkpath(sortie + QStringLiteral("/carte.BMP"));
    QDir().mkpath(sortie + QStringLiteral("/carte.JPG"));
    ouvrir();
    kal::PanneauEnregistrement& p = panneau();
    aller(sortie);
    p.L_formenreg.definirIndex(4);
    taper(QStringLiteral("carte"));
    banc.repondeur.prevoir(kal::msg::RepOui);
    p.B_okenreg.cliquer();
    ASSERT_EQ(banc.repondeur.messages().size(), 2u);
    EXPECT_EQ(dernier().titre, QStringLiteral("ENREGISTREMENT IMPOSSIBLE"));
    EXPECT_TRUE(dernier().texte.startsWith(QStringLiteral("Le fichier ") + sortie + QStringLiteral("/carte.BMP")));
    EXPECT_TRUE(p.F_enreg.visible());
    EXPECT_FALSE(ed->c.P_page.visible());
    EXPECT_TRUE(kal::fs::estDossier(sortie + QStringLiteral("/carte.BMP")));

    p.L_formenreg.definirIndex(0);
    taper(QStringLiteral("carte2"));
    taper(QStringLiteral("carte"));
    p.B_okcompress.cliquer();
    banc.repondeur.oublier();
    banc.repondeur.prevoir(kal::msg::RepOui);
    p.B_okenreg.cliquer();
    EXPECT_EQ(dernier().titre, QStringLiteral("ENREGISTREMENT IMPOSSIBLE"));
    EXPECT_TRUE(p.F_enreg.visible());
    EXPECT_TRUE(kal::fs::estFichier(compressJpg()));   // kept for another try
    EXPECT_TRUE(kal::fs::estDossier(sortie + QStringLiteral("/carte.JPG")));
    // Nothing was left beside the targets.
    EXPECT_EQ(QDir(sortie).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot).size(), 2);
}

}  // namespace
