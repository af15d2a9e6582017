// Printing a page and a jacket on the recording printer, in exact twips: the order of the
// objects, their positions (half to even), the turned pictures and their frames, the jacket's
// fold lines and outlines, the adjustments applied again, the printer question, a failed job,
// and what the print leaves behind (controls, pointer, record source, printer, work copies).
#include "banc_impression.h"
#include "support/banc_editeur.h"

#include "imaging/imagerie.h"
#include "pagemodel/basetravail.h"
#include "printing/impression.h"
#include "platform/base/ecran.h"
#include "platform/base/fichiers.h"
#include "platform/imaging/controleimage.h"

#include <QFileInfo>
#include <gtest/gtest.h>

using kal::Trace;
using kal::TypeEditeur;
using kaltest::ObjetEssai;

namespace {

constexpr double Marge = 300;   // the test printer's hardware margin on every side

class Impression : public ::testing::TestWithParam<TypeEditeur> {
protected:
    Impression() : banc(1024, 768, kal::imp::Portrait, QMarginsF(Marge, Marge, Marge, Marge)) {}

    void SetUp() override
    {
        ed = banc.ouvrir(GetParam());
        ASSERT_NE(ed, nullptr);
        x().etat.objetcourant = kal::AucunObjet;
        if (jaquette()) {
            // Printing mode, the front face unless a test chooses otherwise.
            ed->c.O_imprim.definirValeur(true);
            face(ed->c.O_avant);
        }
        banc.imp.oublierTraces();
        banc.repondeur.oublier();
    }

    kal::ContexteEditeur& x() { return ed->x; }
    kal::ControlesEditeur& c() { return ed->c; }
    bool jaquette() const { return GetParam() == TypeEditeur::Jaquette; }

    // Origin added to a record's position: the page subtracts its unprintable margin, the
    // jacket adds the front face's corner and subtracts its own margin.
    double origineX() const { return jaquette() ? 1655 - Marge : -Marge; }
    double origineY() const { return jaquette() ? 1389 - Marge : -Marge; }

    // An object as placing leaves it: its three work copies and its record.
    void poser(const ObjetEssai& o, int largeurPx = 600, int hauteurPx = 400)
    {
        for (const QString& f : {kal::fichierSauv(o.n), kal::fichierPhoto(o.n), kal::fichierInit(o.n)})
            kaltest::ecrireImage(f, largeurPx, hauteurPx, 0x4080C0);
        kaltest::poserObjet(x(), o);
        ++x().etat.nbobjets;
    }

    // Chooses a face option; the face switch recounts and picks a current object, which the
    // tests keep as they set them.
    void face(kal::BoutonOption& o)
    {
        const int nb = x().etat.nbobjets;
        const int courant = x().etat.objetcourant;
        o.definirActif(true);
        o.definirValeur(true);
        x().etat.nbobjets = nb;
        x().etat.objetcourant = courant;
    }

    void imprimer() { x().impression().impression(); }

    // The job's kinds of traces: the jacket's front begins with its fold line and outline.
    std::vector<Trace::Genre> job(std::initializer_list<Trace::Genre> objets) const
    {
        using G = Trace::Genre;
        std::vector<G> r{G::Debut};
        if (jaquette())
            r.insert(r.end(), {G::Ligne, G::Boite});
        r.insert(r.end(), objets);
        return r;
    }
    std::vector<Trace> cadres() const
    {
        auto b = kaltest::tracesDe(banc.imp, Trace::Genre::Boite);
        if (jaquette() && !b.empty())
            b.erase(b.begin());   // the face's outline
        return b;
    }

    kaltest::BancEditeur banc;
    kal::Editeur* ed = nullptr;
};

TEST_P(Impression, ObjetsDansLOrdreDesNumerosAuxPositionsCorrigees)
{
    banc.partage.DeltaH = 0;
    banc.partage.DeltaV = -57;
    poser({.n = 9, .leftimp = 500, .topimp = 700, .widthimp = 1500, .heightimp = 1000});
    poser({.n = 3, .leftimp = 1434, .topimp = 2000, .widthimp = 3000, .heightimp = 2000, .cadre = 1});
    imprimer();

    using G = Trace::Genre;
    EXPECT_EQ(kaltest::genres(banc.imp), job({G::Image, G::Boite, G::Image, G::Fin}));
    const auto images = kaltest::tracesDe(banc.imp, G::Image);
    ASSERT_EQ(images.size(), 2u);
    // Slot 3 first: 1434 - 300 and 2000 - 300 - 57 on the page.
    EXPECT_EQ(images[0].rect, QRectF(1434 + origineX(), 2000 + origineY() - 57, 3000, 2000));
    if (!jaquette()) {
        EXPECT_EQ(images[0].rect.topLeft(), QPointF(1134, 1643));
    }
    EXPECT_EQ(images[0].taillePixels, QSize(600, 400));
    ASSERT_EQ(cadres().size(), 1u);
    EXPECT_EQ(cadres()[0].rect, images[0].rect);   // its frame, right after it
    EXPECT_EQ(images[1].rect, QRectF(500 + origineX(), 700 + origineY() - 57, 1500, 1000));
    EXPECT_EQ(x().impression().posgauche(), 500 + origineX());
}

TEST_P(Impression, PositionsArrondiesAuPair)
{
    banc.partage.DeltaH = 0.5;
    banc.partage.DeltaV = 0.5;
    // 1000 - 300 + 0.5 = 700.5 gives 700, 1001 - 300 + 0.5 = 701.5 gives 702 (page); the jacket's
    // 1000 + 1355 + 0.5 gives 2356, 1000 + 1089 + 0.5 gives 2090.
    poser({.n = 0, .leftimp = 1000, .topimp = 1000, .widthimp = 600, .heightimp = 400});
    poser({.n = 1, .leftimp = 1001, .topimp = 1001, .widthimp = 600, .heightimp = 400});
    imprimer();
    const auto images = kaltest::tracesDe(banc.imp, Trace::Genre::Image);
    ASSERT_EQ(images.size(), 2u);
    const auto pair = [](double v) { return std::nearbyint(v); };   // the default mode: halves to even
    EXPECT_EQ(images[0].rect.topLeft(), QPointF(pair(1000.5 + origineX()), pair(1000.5 + origineY())));
    EXPECT_EQ(images[1].rect.topLeft(), QPointF(pair(1001.5 + origineX()), pair(1001.5 + origineY())));
    if (!jaquette()) {
        EXPECT_EQ(images[0].rect.topLeft(), QPointF(700, 700));
        EXPECT_EQ(images[1].rect.topLeft(), QPointF(702, 702));
    }
}

// The turned picture grows into its bounding box at the scale the unturned box gave it; the
// frame is the w x h rectangle turned the same way, inscribed in that box.
TEST_P(Impression, ObjetsTournesEtLeursCadres)
{
    const double w = 3000, h = 2000;
    poser({.n = 0, .leftimp = 1000, .topimp = 1000, .widthimp = w, .heightimp = h, .rot = 90, .cadre = 1});
    poser({.n = 1, .leftimp = 1000, .topimp = 5000, .widthimp = w, .heightimp = h, .rot = 30, .cadre = 1});
    poser({.n = 2, .leftimp = 1000, .topimp = 9000, .widthimp = w, .heightimp = h, .rot = -30, .cadre = 1});
    poser({.n = 3, .leftimp = 6000, .topimp = 1000, .widthimp = w, .heightimp = h, .rot = 120, .cadre = 1});
    poser({.n = 4, .leftimp = 6000, .topimp = 5000, .widthimp = w, .heightimp = h, .rot = 0, .cadre = 0});
    poser({.n = 5, .leftimp = 6000, .topimp = 9000, .widthimp = w, .heightimp = h, .rot = 180, .cadre = 1});
    imprimer();

    const auto images = kaltest::tracesDe(banc.imp, Trace::Genre::Image);
    ASSERT_EQ(images.size(), 6u);
    // 90 degrees: 600 x 400 pixels become 400 x 600, the box 2000 wide and 3000 high.
    EXPECT_EQ(images[0].taillePixels, QSize(400, 600));
    EXPECT_EQ(images[0].rect.size(), QSizeF(2000, 3000));
    // Any angle: each side grows by its own ratio.
    for (const Trace& t : images) {
        EXPECT_FLOAT_EQ(t.rect.width(), static_cast<float>(t.taillePixels.width() / 600.0 * 3000));
        EXPECT_FLOAT_EQ(t.rect.height(), static_cast<float>(t.taillePixels.height() / 400.0 * 2000));
    }
    EXPECT_EQ(images[4].rect.size(), QSizeF(3000, 2000));   // 0 degrees: turned all the same, unchanged

    const auto boites = cadres();
    ASSERT_EQ(boites.size(), 2u);   // 90 and 180 degrees; 0 has no frame
    EXPECT_EQ(boites[0].rect, QRectF(images[0].rect.topLeft(), QSizeF(h, w)));
    EXPECT_EQ(boites[1].rect, QRectF(images[5].rect.topLeft(), QSizeF(w, h)));

    auto lignes = kaltest::tracesDe(banc.imp, Trace::Genre::Ligne);
    if (jaquette())
        lignes.erase(lignes.begin());   // the front's fold
    ASSERT_EQ(lignes.size(), 12u);
    struct Attendu {
        QPointF coin;
        std::array<QPointF, 4> p;
    };
    const std::array<Attendu, 3> attendus = {{
        {images[1].rect.topLeft(), {QPointF(1000.0, 0), QPointF(3598.1, 1500.0), QPointF(2598.1, 3232.1), QPointF(0, 1732.1)}},
        {images[2].rect.topLeft(), {QPointF(2598.1, 0), QPointF(3598.1, 1732.1), QPointF(1000.0, 3232.1), QPointF(0, 1500.0)}},
        {images[3].rect.topLeft(), {QPointF(1500.0, 0), QPointF(3232.1, 1000.0), QPointF(1732.1, 3598.1), QPointF(0, 2598.1)}},
    }};
    for (size_t k = 0; k < attendus.size(); ++k)
        for (size_t i = 0; i < 4; ++i) {
            const QLineF l = lignes[k * 4 + i].ligne;
            const QPointF a = attendus[k].coin + attendus[k].p[i], b = attendus[k].coin + attendus[k].p[(i + 1) % 4];
            EXPECT_NEAR(l.p1().x(), a.x(), 0.06) << k << " " << i;
            EXPECT_NEAR(l.p1().y(), a.y(), 0.06) << k << " " << i;
            EXPECT_NEAR(l.p2().x(), b.x(), 0.06) << k << " " << i;
            EXPECT_NEAR(l.p2().y(), b.y(), 0.06) << k << " " << i;
            EXPECT_FALSE(lignes[k * 4 + i].couleur.has_value());   // the printer's own pen
        }
}

// The stored adjustments are applied to the base work file as 16-bit whole numbers (12.5 gives
// 12), saturation ten times, in the fixed order, with the rotation after them.
TEST_P(Impression, ReglagesAppliquesDeNouveauALaPleineResolution)
{
    poser({.n = 6, .leftimp = 1000, .topimp = 1000, .widthimp = 1500, .heightimp = 1000, .rot = 15});
    auto& ligne = x().etat.tabobjets[6];
    ligne[kal::col::Contraste] = 12.5;
    ligne[kal::col::Couleur] = 30;
    ligne[kal::col::Intensite] = -200;
    ligne[kal::col::Nettete] = 100;
    ligne[kal::col::Saturation] = 25;
    imprimer();
    ASSERT_EQ(kaltest::tracesDe(banc.imp, Trace::Genre::Fin).size(), 1u);

    const auto reference = [](int saturation) {
        kal::ControleImage ref;
        ref.lirefichier(kal::fichierSauv(6), 0, 0, 1);
        kal::appliquerChaine(ref, {.contraste = 12, .couleur = 30, .intensite = -200, .nettete = 100, .saturation = saturation},
                             {.photo = true, .cadre = std::nullopt, .angle = 15});
        return ref.bitmap().pleine();
    };
    const QImage imprimee = x().impression().L_imprim().bitmap().pleine();
    EXPECT_EQ(imprimee, reference(25));
    EXPECT_NE(imprimee, reference(2));
}

// A missing work copy: the job is discarded (nothing reaches the paper), the user is told, the
// controls and the pointer come back, and the next print is a whole job of its own.
TEST_P(Impression, UnTravailEchoueEstAbandonne)
{
    poser({.n = 3, .leftimp = 1000, .topimp = 1000, .widthimp = 1500, .heightimp = 1000});
    poser({.n = 9, .leftimp = 4000, .topimp = 1000, .widthimp = 1500, .heightimp = 1000});
    kal::fs::supprimerFichier(kal::fichierSauv(9));
    const QString pdf = banc.dossier.fichier(QStringLiteral("travail.pdf"));
    banc.imp.sortiePdf(pdf);
    kal::Ecran::definirPointeur(kal::pointeur::Personnalise);
    x().autcontrol(false, false);
    x().etat.typeobjet = QStringLiteral("photo");

    EXPECT_FALSE(x().impression().impression());
    using G = Trace::Genre;
    EXPECT_EQ(kaltest::genres(banc.imp), job({G::Image, G::Abandon}));
    EXPECT_FALSE(banc.imp.documentOuvert());
    EXPECT_FALSE(QFileInfo::exists(pdf));
    ASSERT_FALSE(banc.repondeur.messages().empty());
    const kal::MessageAffiche& m = banc.repondeur.messages().back();
    EXPECT_EQ(m.titre, QStringLiteral("ERREUR"));
    EXPECT_EQ(m.style, kal::msg::OK + kal::msg::Critique);
    EXPECT_TRUE(m.texte.contains(QStringLiteral("sauv9.svc"))) << m.texte.toStdString();
    EXPECT_EQ(kal::Ecran::pointeurCourant(), kal::pointeur::Personnalise);
    EXPECT_TRUE(c().A_format.actif());
    EXPECT_TRUE(c().A_contraste.actif());
    EXPECT_EQ(x().D_image.source(), kal::nomTableObjets());

    kaltest::ecrireImage(kal::fichierSauv(9), 300, 200);
    banc.imp.oublierTraces();
    EXPECT_TRUE(x().impression().impression());
    EXPECT_EQ(kaltest::genres(banc.imp), job({G::Image, G::Image, G::Fin}));
    EXPECT_GT(QFileInfo(pdf).size(), 0);
    kal::Ecran::definirPointeur(kal::pointeur::Defaut);
}

// The printer refuses the job (here its file cannot be made): nothing is left open, the user is
// told with the printer's own words, and the next job goes through.
TEST_P(Impression, LImprimanteRefuseLeTravail)
{
    poser({.n = 4, .leftimp = 1000, .topimp = 1000, .widthimp = 1500, .heightimp = 1000});
    banc.imp.sortiePdf(banc.dossier.fichier(QStringLiteral("absent/travail.pdf")));
    banc.imp.definirFormatimprimante(kal::imp::Letter);
    kal::Ecran::definirPointeur(kal::pointeur::Fleche);
    EXPECT_FALSE(x().impression().impression());
    EXPECT_FALSE(banc.imp.documentOuvert());
    ASSERT_FALSE(banc.repondeur.messages().empty());
    const kal::MessageAffiche& m = banc.repondeur.messages().back();
    EXPECT_EQ(m.titre, QStringLiteral("ERREUR"));
    EXPECT_TRUE(m.texte.contains(QStringLiteral("482"))) << m.texte.toStdString();
    EXPECT_TRUE(m.lignes().back().contains(QStringLiteral("Rien n'a été imprimé")));
    EXPECT_EQ(kal::Ecran::pointeurCourant(), kal::pointeur::Fleche);
    EXPECT_EQ(x().D_image.source(), kal::nomTableObjets());
    EXPECT_EQ(banc.imp.formatimprimante(), kal::imp::Letter);   // the jacket's own A4 is given back

    const QString pdf = banc.dossier.fichier(QStringLiteral("travail.pdf"));
    banc.imp.sortiePdf(pdf);
    banc.imp.oublierTraces();
    EXPECT_TRUE(x().impression().impression());
    EXPECT_EQ(kaltest::genres(banc.imp), job({Trace::Genre::Image, Trace::Genre::Fin}));
    EXPECT_GT(QFileInfo(pdf).size(), 0);
    kal::Ecran::definirPointeur(kal::pointeur::Defaut);
}

// After a print the current object's controls are those of its kind.
TEST_P(Impression, LesControlesSuiventLeGenreDeLObjet)
{
    poser({.n = 0, .leftimp = 1000, .topimp = 1000, .widthimp = 1500, .heightimp = 1000, .textimage = true});
    x().etat.typeobjet = QStringLiteral("textimage");
    imprimer();
    EXPECT_TRUE(c().F_compos.visible());
    EXPECT_TRUE(c().A_format.actif());
    EXPECT_FALSE(c().A_contraste.actif());

    x().etat.typeobjet = QStringLiteral("photo");
    imprimer();
    EXPECT_FALSE(c().F_compos.visible());
    EXPECT_TRUE(c().A_contraste.actif());
}

int indexEntree(kal::Liste& l, const QString& entree)
{
    for (int i = 0; i < l.nombre(); ++i)
        if (l.entree(i) == entree)
            return i;
    return -1;
}

// "Imprimer" asks which printer first; No prints nothing and leaves the entry selected.
TEST_P(Impression, LaQuestionDeLImprimante)
{
    poser({.n = 2, .leftimp = 1000, .topimp = 1000, .widthimp = 1500, .heightimp = 1000});
    const int entree = indexEntree(c().L_fonction, QStringLiteral("Imprimer"));
    ASSERT_GE(entree, 0);

    banc.repondeur.prevoir(kal::msg::RepNon);
    c().L_fonction.definirIndex(entree);
    ASSERT_EQ(banc.repondeur.messages().size(), 1u);
    const kal::MessageAffiche& q = banc.repondeur.messages()[0];
    EXPECT_EQ(q.titre, QStringLiteral("IMPRIMANTE"));
    EXPECT_EQ(q.style, 36);
    EXPECT_EQ(q.lignes().front(), QStringLiteral("Imprimante:") + banc.imp.nomimprimante());
    EXPECT_EQ(q.lignes().back(), QStringLiteral("Continuer?"));
    EXPECT_EQ(q.lignes().size(), 7);
    EXPECT_TRUE(banc.imp.traces().empty());
    EXPECT_EQ(c().L_fonction.indexCourant(), entree);
    EXPECT_EQ(kal::Ecran::pointeurCourant(), kal::pointeur::Fleche);

    c().L_fonction.definirIndex(-1);
    banc.repondeur.prevoir(kal::msg::RepOui);
    c().L_fonction.definirIndex(entree);
    EXPECT_EQ(kaltest::tracesDe(banc.imp, Trace::Genre::Fin).size(), 1u);
    EXPECT_EQ(c().L_fonction.indexCourant(), -1);
    kal::Ecran::definirPointeur(kal::pointeur::Defaut);
}

INSTANTIATE_TEST_SUITE_P(DeuxEditeurs, Impression, ::testing::Values(TypeEditeur::Page, TypeEditeur::Jaquette),
                         [](const auto& i) { return std::string(kaltest::nomType(i.param)); });

// --- The jacket's own

class ImpressionJaquette : public Impression {};

TEST_P(ImpressionJaquette, LesDeuxFacesSurUneFeuille)
{
    banc.partage.DeltaH = 57;
    banc.partage.DeltaV = -20;
    poser({.n = 0, .leftimp = 500, .topimp = 100, .widthimp = 1500, .heightimp = 1000});
    // The back: record 20's own work file and adjustment row, its place from the back face.
    poser({.n = 20, .leftimp = 100, .topimp = 200, .widthimp = 1500, .heightimp = 1000}, 300, 500);
    x().etat.tabobjets[20][kal::col::Saturation] = 40;
    face(c().O_tout);
    c().C_image.definirValeur(1);
    imprimer();

    using G = Trace::Genre;
    EXPECT_EQ(kaltest::genres(banc.imp), (std::vector<G>{G::Debut, G::Ligne, G::Boite, G::Image, G::Ligne, G::Ligne,
                                                         G::Boite, G::Image, G::Fin}));
    const auto& t = banc.imp.traces();
    // Front: the fold 1712 twips into the face, dotted, black; the outline solid, black. The
    // marks take the unprintable margin only, the objects the corrections too.
    EXPECT_EQ(t[1].ligne, QLineF(3067, 1089, 3067, 1089 + 6832));
    EXPECT_EQ(t[1].style, kal::imp::TraitPointille);
    EXPECT_EQ(t[1].couleur, std::optional<int>(0));
    EXPECT_EQ(t[2].rect, QRectF(1355, 1089, 8550, 6832));
    EXPECT_EQ(t[2].style, kal::imp::TraitPlein);
    EXPECT_EQ(t[2].couleur, std::optional<int>(0));
    EXPECT_EQ(t[3].rect.topLeft(), QPointF(500 + 1655 - 300 + 57, 100 + 1389 - 300 - 20));
    EXPECT_EQ(t[3].rect.x(), 1912);
    // Back: folds at 399 and 8165 twips into the face (the preview's are at 369 and 8165).
    EXPECT_EQ(t[4].ligne, QLineF(1754, 8494, 1754, 8494 + 6691));
    EXPECT_EQ(t[5].ligne, QLineF(9520, 8494, 9520, 8494 + 6691));
    EXPECT_EQ(t[4].style, kal::imp::TraitPointille);
    EXPECT_FALSE(t[4].couleur.has_value());
    EXPECT_EQ(t[6].rect, QRectF(1355, 8494, 8550, 6691));
    EXPECT_EQ(t[6].style, kal::imp::TraitPlein);
    EXPECT_EQ(t[7].rect.topLeft(), QPointF(100 + 1655 - 300 + 57, 200 + 8794 - 300 - 20));
    EXPECT_EQ(t[7].taillePixels, QSize(300, 500));
    EXPECT_EQ(c().C_image.valeur(), 0);
    EXPECT_EQ(x().D_image.source(), kal::nomTableObjets());
}

TEST_P(ImpressionJaquette, UneFaceSeulement)
{
    poser({.n = 1, .leftimp = 500, .topimp = 100, .widthimp = 1500, .heightimp = 1000});
    poser({.n = 17, .leftimp = 500, .topimp = 100, .widthimp = 1500, .heightimp = 1000});
    using G = Trace::Genre;
    imprimer();
    EXPECT_EQ(kaltest::genres(banc.imp), (std::vector<G>{G::Debut, G::Ligne, G::Boite, G::Image, G::Fin}));
    EXPECT_LT(kaltest::tracesDe(banc.imp, G::Image)[0].rect.y(), 8494);

    banc.imp.oublierTraces();
    face(c().O_arriere);
    imprimer();
    EXPECT_EQ(kaltest::genres(banc.imp), (std::vector<G>{G::Debut, G::Ligne, G::Ligne, G::Boite, G::Image, G::Fin}));
    EXPECT_GT(kaltest::tracesDe(banc.imp, G::Image)[0].rect.y(), 8494);

    // A face without objects still gets its marks.
    kal::Fiches f = x().fiches();
    f.sourceTable();
    f.modifier(17, [](kal::bd::JeuEnregistrements& j) { j.mettre(kal::champ::occup, false); });
    banc.imp.oublierTraces();
    imprimer();
    EXPECT_EQ(kaltest::genres(banc.imp), (std::vector<G>{G::Debut, G::Ligne, G::Ligne, G::Boite, G::Fin}));
}

// The jacket's A4 portrait is its own: the printer's sheet comes back after the job.
TEST_P(ImpressionJaquette, LaFeuilleDeLImprimanteRevientApresLeTravail)
{
    poser({.n = 0, .leftimp = 500, .topimp = 100, .widthimp = 1500, .heightimp = 1000});
    banc.imp.definirFormatimprimante(kal::imp::Letter);
    banc.imp.definirOrientationimprimante(kal::imp::Paysage);
    const QString pdf = banc.dossier.fichier(QStringLiteral("jaquette.pdf"));
    banc.imp.sortiePdf(pdf);
    imprimer();
    EXPECT_EQ(banc.imp.formatimprimante(), kal::imp::Letter);
    EXPECT_EQ(banc.imp.orientationimprimante(), kal::imp::Paysage);
    const QImage page = kaltest::rasteriser(pdf);
    if (page.isNull())
        KAL_SERVICE_ABSENT("pdftoppm");
    EXPECT_NEAR(page.width() * kaltest::MmParPixel, 210, 0.2);
    EXPECT_NEAR(page.height() * kaltest::MmParPixel, 297, 0.2);
}

TEST_P(ImpressionJaquette, LesOptionsDImpression)
{
    kal::ControlesEditeur& k = c();
    k.O_compos.definirValeur(true);
    EXPECT_FALSE(k.O_tout.actif());
    face(k.O_avant);
    k.O_imprim.definirValeur(true);
    EXPECT_TRUE(k.O_tout.actif());
    EXPECT_TRUE(k.O_tout.valeur());
    EXPECT_EQ(ed->windowTitle(), QStringLiteral("JAQUETTES AVANT ET ARRIERE"));
    EXPECT_EQ(x().etat.basecote, 100);

    // "Imprimer" asks for the print mode first, then for a jacket that holds something.
    k.O_compos.definirValeur(true);
    x().etat.nbobjets = 0;
    EXPECT_FALSE(x().impression().imprimer());
    ASSERT_EQ(banc.repondeur.messages().size(), 1u);
    EXPECT_EQ(banc.repondeur.messages()[0].titre, QStringLiteral("IMPRIMER"));
    EXPECT_EQ(banc.repondeur.messages()[0].lignes().size(), 4);
    k.O_imprim.definirValeur(true);
    EXPECT_TRUE(x().impression().imprimer());
    EXPECT_EQ(banc.repondeur.messages().back().texte, QStringLiteral("Aucune jaquette à imprimer"));
    EXPECT_TRUE(banc.imp.traces().empty());
}

// Back to "Composer" after printing an empty jacket: the face composed before is selected and
// shown again, a photo placed then lands on it, and the next print prints it.
TEST_P(ImpressionJaquette, ComposerRendLaFaceComposee)
{
    kal::ControlesEditeur& k = c();
    k.O_compos.definirValeur(true);
    k.O_arriere.definirValeur(true);
    ASSERT_EQ(x().etat.basecote, 16);
    k.O_imprim.definirValeur(true);
    EXPECT_TRUE(x().impression().imprimer());
    EXPECT_EQ(banc.repondeur.messages().back().texte, QStringLiteral("Aucune jaquette à imprimer"));
    k.O_compos.definirValeur(true);
    EXPECT_TRUE(k.O_arriere.valeur());
    EXPECT_FALSE(k.O_tout.valeur());
    EXPECT_FALSE(k.O_tout.actif());
    EXPECT_EQ(x().etat.basecote, 16);

    ASSERT_TRUE(kaltest::BancEditeur::placer(ed, banc.jpeg(QStringLiteral("dos.jpg"), 300, 200)));
    EXPECT_EQ(x().etat.objetcourant, 16);
    EXPECT_TRUE(k.L_photo[16]->visible());
    EXPECT_FALSE(k.L_photo[16]->estVide());
    banc.repondeur.oublier();
    banc.repondeur.prevoir(kal::msg::RepOui);
    k.O_imprim.definirValeur(true);
    EXPECT_TRUE(x().impression().imprimer());
    EXPECT_EQ(banc.repondeur.messages().size(), 1u) << banc.repondeur.messages().back().texte.toStdString();
    EXPECT_EQ(kaltest::tracesDe(banc.imp, Trace::Genre::Image).size(), 1u);
}

INSTANTIATE_TEST_SUITE_P(Jaquette, ImpressionJaquette, ::testing::Values(TypeEditeur::Jaquette),
                         [](const auto& i) { return std::string(kaltest::nomType(i.param)); });

// --- The current object is committed before the job without spoiling its work copy: the
// picture shown is framed and turned, photo<n>.svc must hold the adjusted base only.
TEST_P(Impression, LaCopieDeTravailNEstNiTourneeNiEncadree)
{
    poser({.n = 2, .leftimp = 1000, .topimp = 1000, .widthimp = 1500, .heightimp = 1000, .rot = 30, .cadre = 1});
    kaltest::ecrireImage(kal::fichierPhoto(2), 600, 400, 0x4080C0);
    kaltest::ecrireImage(kal::fichierInit(2), 600, 400, 0x4080C0);
    kal::EtatEditeur& e = x().etat;
    kal::ControlesEditeur& k = c();
    if (!k.L_photo[2])
        k.L_photo[2] = std::make_unique<kal::ControleImage>(ed);
    kal::ControleImage& photo = *k.L_photo[2];
    e.majencours = true;
    k.A_angle.definirValeur(30);
    k.C_cadre.definirValeur(1);
    e.majencours = false;
    k.L_sauvtot.lirefichier(kal::fichierSauv(2), 0, 0, 1);
    photo.definirBitmap(k.L_sauvtot.bitmap());
    kal::appliquerChaine(photo, {}, {.photo = true, .cadre = QRectF(0, 0, 1000, 700), .angle = 30});
    photo.placer(600, 600, 1100, 950);
    k.L_sauvder.definirBitmap(photo.bitmap());   // as a slider handler leaves it
    e.objetcourant = 2;
    e.typeobjet = QStringLiteral("photo");

    x().impression().impression();
    kal::ControleImage relue;
    relue.definirModeechelle(kal::modeechelle::Pixels);
    relue.lirefichier(kal::fichierPhoto(2), 0, 0, 1);
    EXPECT_EQ(relue.bitmap().taille(), QSize(600, 400));
    EXPECT_FLOAT_EQ(e.tabobjets[2][kal::col::Largeur], 1100);
    EXPECT_FLOAT_EQ(e.tabobjets[2][kal::col::Gauche], 600);
}

}  // namespace
