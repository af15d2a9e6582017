#pragma once
// The workbench in a test: its own work folder with a folder of photos, a simulated screen, the
// message boxes answered and recorded, the windows it calls registered (the real calibration
// window on a test printer, a plain window for the documentation), and the user's hands: the
// open panel pointed at with the mouse, sliders dragged, names typed, rectangles drawn.
#include "support/banc_fenetres.h"
#include "printing/ajustement.h"
#include "workbench/atelier.h"

#include <QCoreApplication>
#include <QDir>
#include <QImage>
#include <QMouseEvent>
#include <QPainter>
#include <QTest>
#include <gtest/gtest.h>

namespace kaltest {

struct BancAtelier : BancFenetres {
    QString images;

    explicit BancAtelier(int largeurPx = 1024, int hauteurPx = 768) : BancFenetres(largeurPx, hauteurPx)
    {
        kal::Fenetres::enregistrer(kal::Atelier::nomFenetre(), [this] { return new kal::Atelier(partage); });
        kal::Fenetres::enregistrer(kal::Ajustement::nomFenetre(), [this] { return new kal::Ajustement(partage, &imp); });
        kal::Fenetres::enregistrer(QStringLiteral("DOC"), [] { return new kal::Fenetre(QStringLiteral("DOC")); });
        images = dossier.fichier(QStringLiteral("images"));
        QDir().mkpath(images);
    }

    // "UTILITAIRES" from the start window.
    kal::Atelier* ouvrir()
    {
        kal::Fenetres::montrer(kal::Atelier::nomFenetre());
        return static_cast<kal::Atelier*>(kal::Fenetres::siChargee(kal::Atelier::nomFenetre()));
    }

    QString travail() const { return dossier.fichier(QStringLiteral("saiphot.jpg")); }
    QString classeur() const { return dossier.fichier(QStringLiteral("utilphot")); }
    QImage imageTravail() const { return QImage(travail()).convertToFormat(QImage::Format_RGB32); }

    // A photo of the test: a mid-grey ground, a blue square in its top-left quarter and a red
    // pupil (a disc) centred at (3/4 width, 1/4 height), written as a JPEG in images/.
    static QImage motif(int l, int h)
    {
        QImage img(l, h, QImage::Format_RGB32);
        img.fill(QColor(128, 128, 128));
        QPainter p(&img);
        p.fillRect(QRect(l / 8, h / 8, l / 4, h / 4), QColor(30, 60, 200));
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(220, 30, 30));
        p.drawEllipse(QPointF(l * 0.75, h * 0.25), l / 20.0, l / 20.0);
        return img;
    }
    void photo(const QString& nom, const QImage& img) const
    {
        ASSERT_TRUE(img.save(images + QLatin1Char('/') + nom, "JPEG", 95));
    }

    // The open panel driven with the mouse: OUVRIR, the pointer over name k, the release.
    static QPoint centreNom(kal::Atelier& a, int k)
    {
        const kal::ListeColonnes& l = a.panneau.L_fichouvrir;
        const int x = (k / 16) * l.largeurColonne() + l.largeurColonne() / 2;
        const int y = (k % 16) * l.hauteurLigne() + l.hauteurLigne() / 2;
        return {kal::pixelsX(x), kal::pixelsY(y)};
    }
    static void pointer(kal::Atelier& a, int k)
    {
        QWidget* zone = a.panneau.L_fichouvrir.zone();
        const QPointF pos = centreNom(a, k);
        QMouseEvent e(QEvent::MouseMove, pos, zone->mapToGlobal(pos), Qt::NoButton, Qt::NoButton, Qt::NoModifier);
        QCoreApplication::sendEvent(zone, &e);
    }
    static void relacher(kal::Atelier& a, int k)
    {
        QTest::mouseRelease(a.panneau.L_fichouvrir.zone(), Qt::LeftButton, {}, centreNom(a, k));
    }
    void prendre(kal::Atelier& a, int k) const
    {
        a.panneau.repphoto = images;
        a.B_ouvrir.cliquer();
        pointer(a, k);
        relacher(a, k);
    }

    // A slider dragged by its thumb to v and released: Scroll while it moves, Change at the end.
    static void glisser(kal::Curseur& c, int v)
    {
        c.barre()->setSliderDown(true);
        c.barre()->setValue(v);
        c.barre()->setSliderDown(false);
    }
    // The same without the release: the thumb is still held at v.
    static void tenir(kal::Curseur& c, int v)
    {
        c.barre()->setSliderDown(true);
        c.barre()->setValue(v);
    }

    // A left-button drag on an imaging control, from a to b (widget pixels).
    static void tracer(kal::ControleImage& c, QPoint a, QPoint b)
    {
        QWidget* w = c.widget();
        auto envoyer = [w](QEvent::Type t, QPoint p, Qt::MouseButton bouton, Qt::MouseButtons tenus) {
            QMouseEvent e(t, QPointF(p), w->mapToGlobal(QPointF(p)), bouton, tenus, Qt::NoModifier);
            QCoreApplication::sendEvent(w, &e);
        };
        envoyer(QEvent::MouseButtonPress, a, Qt::LeftButton, Qt::LeftButton);
        envoyer(QEvent::MouseMove, (a + b) / 2, Qt::NoButton, Qt::LeftButton);
        envoyer(QEvent::MouseMove, b, Qt::NoButton, Qt::LeftButton);
        envoyer(QEvent::MouseButtonRelease, b, Qt::LeftButton, Qt::NoButton);
    }
    // A point of the shown photo, as a share of its width and height, in widget pixels.
    static QPoint part(const kal::ControleImage& c, double fx, double fy)
    {
        return {static_cast<int>(c.widget()->width() * fx), static_cast<int>(c.widget()->height() * fy)};
    }
};

// A test of the workbench opened from the start window.
class AtelierOuvert : public ::testing::Test {
protected:
    BancAtelier b;
    kal::Atelier* a = nullptr;

    void SetUp() override
    {
        a = b.ouvrir();
        ASSERT_NE(a, nullptr);
    }
};

// Mean of each channel over a rectangle of a picture.
inline QColor moyenne(const QImage& img, const QRect& r)
{
    const QRect z = r & img.rect();
    qint64 rs = 0, gs = 0, bs = 0, n = 0;
    for (int y = z.top(); y <= z.bottom(); ++y)
        for (int x = z.left(); x <= z.right(); ++x) {
            const QRgb p = img.pixel(x, y);
            rs += qRed(p);
            gs += qGreen(p);
            bs += qBlue(p);
            ++n;
        }
    return n ? QColor(int(rs / n), int(gs / n), int(bs / n)) : QColor();
}

// The caption of a label as the user reads it (a carriage return starts a line).
inline QString legende(const kal::Etiquette& e) { return e.legende(); }

}  // namespace kaltest

// Test messages show texts as text.
inline void PrintTo(const QString& s, std::ostream* os) { *os << '"' << s.toStdString() << '"'; }
inline void PrintTo(const QStringList& l, std::ostream* os) { *os << '[' << l.join(QStringLiteral(" | ")).toStdString() << ']'; }
