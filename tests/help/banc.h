#pragma once
// The help windows in a test: their own work folder, the message boxes answered and recorded,
// a 1024 x 768 screen, and DOC and CONTACT registered as the program registers them.
#include "help/contact.h"
#include "help/documentation.h"
#include "support/banc_fenetres.h"

#include <QFile>
#include <QScrollBar>
#include <QTest>
#include <QTextBlock>
#include <QTextEdit>

namespace kaltest {

inline QString manuelLivre() { return QStringLiteral(KAL_SOURCE_DIR "/resources/travail/kalmorin.rtf"); }

struct BancAide : BancFenetres {
    explicit BancAide(int largeurPx = 1024, int hauteurPx = 768) : BancFenetres(largeurPx, hauteurPx)
    {
        kal::Fenetres::enregistrer(QStringLiteral("DOC"), [this] { return new kal::Documentation(partage); });
        kal::Fenetres::enregistrer(QStringLiteral("CONTACT"), [this] { return new kal::Contact(partage); });
    }

    void installerManuel(const QString& source = manuelLivre()) const
    {
        QFile::remove(dossier.fichier(QStringLiteral("kalmorin.rtf")));
        QFile::copy(source, dossier.fichier(QStringLiteral("kalmorin.rtf")));
    }
    void ecrireManuel(const QByteArray& rtf) const
    {
        QFile f(dossier.fichier(QStringLiteral("kalmorin.rtf")));
        if (f.open(QIODevice::WriteOnly | QIODevice::Truncate))
            f.write(rtf);
    }

    kal::Documentation* doc() const { return static_cast<kal::Documentation*>(kal::Fenetres::siChargee(QStringLiteral("DOC"))); }
    kal::Contact* contact() const { return static_cast<kal::Contact*>(kal::Fenetres::siChargee(QStringLiteral("CONTACT"))); }

    // Shows the documentation as the windows do: the section key first.
    kal::Documentation* ouvrirDoc(const QString& rubrique)
    {
        partage.rubriquedoc = rubrique;
        kal::Fenetres::montrer(QStringLiteral("DOC"));
        return doc();
    }
};

// The text of the line shown at the top of the viewer.
inline QString ligneDuHaut(kal::Documentation* d)
{
    QTextEdit* e = d->T_doc.editeur();
    const QTextCursor c = e->cursorForPosition(QPoint(e->viewport()->width() / 2, 6));
    const QTextBlock bloc = c.block();
    const QTextLine ligne = bloc.layout()->lineForTextPosition(c.positionInBlock());
    QString t = ligne.isValid() ? bloc.text().mid(ligne.textStart(), ligne.textLength()) : bloc.text();
    t.remove(QChar::LineSeparator);
    return t.trimmed();
}

// Where the caret stands once the heading of that number (or SOMMAIRE) is found: on its
// second character. The heading is the line that starts with it and is underlined.
inline int surTitre(kal::Documentation* d, const QString& numero)
{
    const QString t = d->T_doc.contenutexte();
    const int avant = d->T_doc.selectiondebut(), longueur = d->T_doc.selectionlongueur();
    const int vue = d->T_doc.editeur()->verticalScrollBar()->value();
    int trouve = -1;
    for (qsizetype i = t.indexOf(QStringLiteral("\r\n") + numero); i >= 0 && trouve < 0;
         i = t.indexOf(QStringLiteral("\r\n") + numero, i + 1)) {
        const qsizetype j = i + 2 + numero.size();
        const QChar apres = j < t.size() ? t[j] : QChar();
        if (apres != QLatin1Char(' ') && apres != QLatin1Char('\r'))
            continue;
        d->T_doc.definirSelectiondebut(static_cast<int>(i) + 3);
        d->T_doc.definirSelectionlongueur(1);
        if (d->T_doc.selsouligne())
            trouve = static_cast<int>(i) + 3;
    }
    d->T_doc.definirSelectiondebut(avant);
    d->T_doc.definirSelectionlongueur(longueur);
    d->T_doc.editeur()->verticalScrollBar()->setValue(vue);
    return trouve;
}

// A click of the user at the boundary before the character at `position` of the plain text.
inline void cliquerAvant(kal::Documentation* d, int position)
{
    d->T_doc.definirSelectiondebut(position);
    QTextEdit* e = d->T_doc.editeur();
    const QRect r = e->cursorRect();
    QTest::mouseClick(e->viewport(), Qt::LeftButton, {}, QPoint(r.left(), r.center().y()));
}

}  // namespace kaltest
