#pragma once
// A loaded editor (page or jacket), shown on the test display, with real photos placed the way
// the open panel places them (a JPEG file read into a control, then chargementimage), and the
// mouse as the window system delivers it: presses, moves and releases sent to the editor's
// window at a point of an object's control, routed by Qt to whatever widget is under the pointer
// or holds the mouse.
#include "support/banc_editeur.h"
#include "imaging/fichierstravail.h"
#include "imaging/imagerie.h"
#include "layout/disposition.h"
#include "pagemodel/fiche.h"
#include "pagemodel/objets.h"
#include "platform/base/conversions.h"
#include "platform/base/fichiers.h"
#include "platform/database/basedonnees.h"

#include <QFile>
#include <QImage>
#include <QTest>
#include <QWindow>
#include <gtest/gtest.h>

namespace kaltest {

// The window shown at the simulated screen's size, so that every control lies inside it (the
// test display's own screen may be smaller).
inline void montrerEditeur(kal::Editeur* ed)
{
    ed->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(ed));
    ed->setWindowState(Qt::WindowNoState);
    ed->windowHandle()->setWindowStates(Qt::WindowNoState);
    ed->setGeometry(0, 0, kal::Ecran::largeurTwips() / 15, kal::Ecran::hauteurTwips() / 15);
    QCoreApplication::processEvents();
}

class EditeurSouris : public EditeurOuvert {
protected:
    void SetUp() override
    {
        EditeurOuvert::SetUp();
        if (HasFatalFailure())
            return;
        montrerEditeur(ed);
        banc.repondeur.oublier();
    }
    void TearDown() override
    {
        // No button stays down for the next test.
        for (Qt::MouseButton b : {Qt::LeftButton, Qt::RightButton, Qt::MiddleButton})
            if (QTestPrivate::qtestMouseButtons.testFlag(b))
                QTest::mouseRelease(fenetre(), b, {}, QPoint(1, 1));
    }

    kal::Disposition& d() { return ed->x.disposition(); }
    kal::ControleImage& photo(int n) { return *c().L_photo[static_cast<size_t>(n)]; }
    QWindow* fenetre() { return ed->windowHandle(); }

    // A w x h JPEG with a gradient (red across, blue down), so that any cut shows where it was.
    QString jpeg(int w, int h, const QString& nom)
    {
        QImage img(w, h, QImage::Format_RGB32);
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x)
                img.setPixel(x, y, qRgb(20 + x * 215 / w, 100, 20 + y * 215 / h));
        const QString chemin = banc.dossier.fichier(nom);
        EXPECT_TRUE(img.save(chemin, "JPEG", 95));
        return chemin;
    }
    // The photo becomes a new object, as the open panel's confirmation makes it.
    bool placer(int w, int h, const QString& nom = QStringLiteral("photo.jpg"))
    {
        return BancEditeur::placer(ed, jpeg(w, h, nom));
    }

    // A point given in pixels of object n's control, in the window's coordinates.
    QPoint point(int n, QPoint p) { return photo(n).widget()->mapTo(ed, p); }
    void enfoncer(QPoint f, Qt::MouseButton b = Qt::LeftButton) { QTest::mousePress(fenetre(), b, {}, f); }
    void deplacer(QPoint f) { QTest::mouseMove(fenetre(), f); }
    void relacher(QPoint f, Qt::MouseButton b = Qt::LeftButton) { QTest::mouseRelease(fenetre(), b, {}, f); }
    // A press and release without a move on object n, at a point of its control.
    void cliquer(int n, QPoint p, Qt::MouseButton b = Qt::LeftButton)
    {
        const QPoint f = point(n, p);
        enfoncer(f, b);
        relacher(f, b);
    }
    // A press on object n at p, the pointer moved by each step in turn, the release at the end.
    void glisser(int n, QPoint p, std::initializer_list<QPoint> pas, Qt::MouseButton b = Qt::LeftButton)
    {
        QPoint f = point(n, p);
        enfoncer(f, b);
        for (QPoint d : pas) {
            f += d;
            deplacer(f);
        }
        relacher(f, b);
    }

    // A work file as a picture.
    static QImage image(const QString& chemin)
    {
        kal::ControleImage k;
        k.lirefichier(chemin);
        return k.bitmap().pleine();
    }
};

}  // namespace kaltest
