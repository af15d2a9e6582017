#pragma once
// A loaded editor with text-images made as the person makes them: the function list's entries,
// keys typed into the composition box, the font and colour dialogs answered by a recording
// answerer; the work files and the work database read back as another program would.
#include "pagemodel/banc_objets.h"
#include "imaging/fichierstravail.h"
#include "imaging/imagerie.h"
#include "platform/base/fichiers.h"
#include "platform/dialogs/dialoguecommun.h"
#include "platform/richtext/mesuretexte.h"
#include "platform/richtext/rtf.h"
#include "text/textes.h"

#include <QTest>
#include <QTextDocument>

namespace kaltest {

class BancTexte {
public:
    explicit BancTexte(kal::TypeEditeur t) : a(t) {}

    EditeurAvecPhotos a;
    kal::RepondeurDialogueEnregistreur dialogues;

    kal::Editeur* ed() { return a.ed; }
    kal::EtatEditeur& e() { return a.etat(); }
    kal::Textes& textes() { return a.ed->x.textes(); }
    kal::BoiteTexteRiche& boite() { return a.ed->c.T_compos; }
    kal::ControleImage& photo(int n) { return a.photo(n); }

    // An entry of the function list chosen with the mouse; false when the list has no such entry.
    bool choisir(const QString& entree)
    {
        kal::Liste& l = a.ed->c.L_fonction;
        for (int i = 0; i < l.nombre(); ++i) {
            if (l.entree(i) == entree) {
                l.definirIndex(i);
                return true;
            }
        }
        return false;
    }
    bool creer() { return choisir(QStringLiteral("Créer Texte-Image")); }

    // Keys typed into the box: each press and release reaches it as from the keyboard.
    void taper(const QString& ascii) { QTest::keyClicks(boite().editeur(), ascii); }
    void entree() { QTest::keyClick(boite().editeur(), Qt::Key_Return); }

    // The plain text of an RTF file, as the box would read it back.
    static QString texteRtf(const QString& chemin)
    {
        QTextDocument doc;
        kal::rtf::lireFichier(chemin, doc);
        return doc.toPlainText();
    }
    QVariant champ(int n, const char* nom) { return a.champ(n, QString::fromLatin1(nom)); }
    static QByteArray octets(const QString& chemin) { return EditeurAvecPhotos::octets(chemin); }
    // The four work files of object n, as bytes.
    static std::vector<QByteArray> fichiers(int n)
    {
        std::vector<QByteArray> r;
        for (const QString& f : kal::fichierstravail(n))
            r.push_back(octets(f));
        return r;
    }
    // The smallest rectangle holding every pixel far from the background colour.
    static QRect encre(const QImage& img, QRgb fond, int ecart = 96)
    {
        int x0 = img.width(), y0 = img.height(), x1 = -1, y1 = -1;
        for (int y = 0; y < img.height(); ++y) {
            const QRgb* ligne = reinterpret_cast<const QRgb*>(img.constScanLine(y));
            for (int x = 0; x < img.width(); ++x) {
                const QRgb p = ligne[x];
                if (std::abs(qRed(p) - qRed(fond)) + std::abs(qGreen(p) - qGreen(fond)) + std::abs(qBlue(p) - qBlue(fond)) >
                    ecart) {
                    x0 = std::min(x0, x);
                    x1 = std::max(x1, x);
                    y0 = std::min(y0, y);
                    y1 = std::max(y1, y);
                }
            }
        }
        return x1 < 0 ? QRect() : QRect(QPoint(x0, y0), QPoint(x1, y1));
    }
};

}  // namespace kaltest
