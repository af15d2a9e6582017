#pragma once
// A loaded editor with real photos on it: JPEG files made in the work folder, handed over as
// the open panel does, and the work database read and written straight from its file, as
// another program would see it.
#include "support/banc_editeur.h"
#include "pagemodel/objets.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QMouseEvent>
#include <gtest/gtest.h>

namespace kaltest {

class EditeurAvecPhotos {
public:
    explicit EditeurAvecPhotos(kal::TypeEditeur t) : ed(banc.ouvrir(t)) { banc.repondeur.oublier(); }

    BancEditeur banc{1024, 768};
    kal::Editeur* ed;

    bool jaquette() const { return ed->x.jaquette(); }
    kal::EtatEditeur& etat() { return ed->x.etat; }
    kal::ControleImage& photo(int n) { return *ed->c.L_photo[static_cast<size_t>(n)]; }
    kal::ControleImage& miniature(int n) { return *ed->c.L_miniat[static_cast<size_t>(n)]; }

    // A real JPEG of that size, with a gradient so that it is no flat picture.
    QString jpeg(int l, int h, const QString& nom)
    {
        QImage img(l, h, QImage::Format_RGB32);
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < l; ++x)
                img.setPixel(x, y, qRgb(x * 255 / l, y * 255 / h, 128));
        QDir().mkpath(banc.dossier.fichier(QStringLiteral("images")));
        const QString chemin = banc.dossier.fichier(QStringLiteral("images/") + nom);
        EXPECT_TRUE(img.save(chemin, "JPEG", 90));
        return chemin;
    }
    // What the open panel hands over: the picture read into its preview control.
    bool charger(const QString& chemin) { return BancEditeur::placer(ed, chemin); }
    // n photos of l x h pixels, objects 0 to n - 1 (of the face shown).
    void chargerPhotos(int n, int l = 320, int h = 240)
    {
        for (int k = 0; k < n; ++k)
            ASSERT_TRUE(charger(jpeg(l, h, QStringLiteral("p%1.jpg").arg(k))));
    }

    QString base() const { return banc.dossier.fichier(QStringLiteral("kalmorin.mdb")); }
    QVariant champ(int n, const QString& nom) const
    {
        kal::bd::Base b = kal::bd::Base::ouvrir(base());
        kal::bd::JeuEnregistrements j = b.ouvrirJeu(QStringLiteral("kalmorin"));
        j.chercherPremier(kal::critereNumero(n));
        return j.valeur(nom);
    }
    void ecrire(int n, const QString& nom, const QVariant& v) const
    {
        kal::bd::Base b = kal::bd::Base::ouvrir(base());
        kal::bd::JeuEnregistrements j = b.ouvrirJeu(QStringLiteral("kalmorin"));
        j.chercherPremier(kal::critereNumero(n));
        j.modifier();
        j.mettre(nom, v);
        j.miseAJour();
    }

    static QByteArray octets(const QString& chemin) { return kaltest::octets(chemin); }
    // The pointer moving over an imaging control, as the window system reports it.
    static void survoler(kal::ControleImage& k, QPointF ou = QPointF(3, 3))
    {
        QMouseEvent ev(QEvent::MouseMove, ou, k.widget()->mapToGlobal(ou), Qt::NoButton, Qt::NoButton, Qt::NoModifier);
        QCoreApplication::sendEvent(k.widget(), &ev);
    }
    // A press and release of one button over an imaging control.
    static void cliquer(kal::ControleImage& k, Qt::MouseButton bouton = Qt::LeftButton, QPointF ou = QPointF(3, 3))
    {
        for (QEvent::Type t : {QEvent::MouseButtonPress, QEvent::MouseButtonRelease}) {
            QMouseEvent ev(t, ou, k.widget()->mapToGlobal(ou), bouton,
                           t == QEvent::MouseButtonPress ? Qt::MouseButtons(bouton) : Qt::MouseButtons(Qt::NoButton),
                           Qt::NoModifier);
            QCoreApplication::sendEvent(k.widget(), &ev);
        }
    }
    // The colour of one pixel of a control's full picture.
    static QRgb pixel(const kal::ControleImage& k, int x, int y) { return k.bitmap().pleine().pixel(x, y); }
};

}  // namespace kaltest
