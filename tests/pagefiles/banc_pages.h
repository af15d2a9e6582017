#pragma once
// A loaded editor with what the personal pages work on: real photos placed through the open
// road, a text-image made directly (its record, its picture and its RTF), the pages panel driven
// through its controls, and the databases read and changed with SQL through the database layer.
#include "support/banc_editeur.h"
#include "imaging/fichierstravail.h"
#include "pagefiles/dossiersperso.h"
#include "pagefiles/fichierspages.h"
#include "pagefiles/pagesperso.h"
#include "pagemodel/basetravail.h"
#include "pagemodel/objets.h"
#include "platform/base/conversions.h"
#include "platform/base/fichiers.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <gtest/gtest.h>
#include <map>
#include <cmath>

namespace kaltest {

class BancPages : public EditeurOuvert {
protected:
    void SetUp() override
    {
        EditeurOuvert::SetUp();
        if (HasFatalFailure())
            return;
        ed->show();
        banc.repondeur.oublier();
    }
    kal::PagesPerso& pages() { return ed->x.fichierspages().pagesPerso(); }
    QString travail(const QString& nom) const { return banc.dossier.fichier(nom); }
    QString perso(const QString& nom) const { return banc.dossier.fichier(QStringLiteral("persopag/") + nom); }
    QString base() const { return travail(QStringLiteral("kalmorin.mdb")); }

    // A real JPEG of one colour in images/.
    QString jpeg(const QString& nom, int l, int h, int couleur = 0x3366CC)
    {
        QDir().mkpath(travail(QStringLiteral("images")));
        kal::ControleImage img;
        img.creerbitmap(l, h, 24);
        img.remplir(couleur);
        const QString chemin = travail(QStringLiteral("images/") + nom);
        img.ecrirefichier(chemin, 10, 24, 20, 0);
        return chemin;
    }
    // A photo placed as the open panel places it.
    void charger(const QString& chemin) { ASSERT_TRUE(BancEditeur::placer(ed, chemin)); }
    // Photos in slots 0 and 2 and a text-image in slot 5 (slot 1 taken, then freed).
    void pageNoel()
    {
        charger(jpeg(QStringLiteral("a.jpg"), 320, 240, 0x2040C0));
        charger(jpeg(QStringLiteral("b.jpg"), 200, 300, 0x20C040));
        charger(jpeg(QStringLiteral("c.jpg"), 300, 200, 0xC04020));
        ecrire(base(), QStringLiteral("UPDATE kalmorin SET occup=0 WHERE numero=1"));
        texteImage(5);
        e().pagemodifiee = true;
    }
    // A text-image record n with its picture and its text, as the composer leaves them.
    void texteImage(int n)
    {
        kal::ControleImage img;
        img.creerbitmap(400, 100, 24);
        img.remplir(0xFFFFFF);
        img.ecrirefichier(kal::fichierPhoto(n), 10, 24, 20, 0);
        img.ecrirevignette(kal::fichierPhoto(n), 10, 24, 20, 145, 36, 24);
        QFile::copy(kal::fichierPhoto(n), kal::fichierSauv(n));
        QFile::copy(kal::fichierPhoto(n), kal::fichierInit(n));
        QFile f(kal::fichierTexte(n));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("{\\rtf1\\ansi{\\fonttbl{\\f0 Arial;}}\\f0\\fs24 Joyeux\\par Noel}");
        f.close();
        ecrire(base(), QStringLiteral("UPDATE kalmorin SET occup=1, textimage=1, widthimp=%1, heightimp=%2, leftimp=%3, "
                                      "topimp=%4 WHERE numero=%5")
                           .arg(1500 * s())
                           .arg(375 * s())
                           .arg(kal::arrondi(600 * s()))
                           .arg(kal::arrondi(900 * s()))
                           .arg(n));
        ++e().nbobjets;
    }

    // The pages panel: a name typed, an option chosen, OK.
    void ok(kal::BoutonOption& option, const QString& nom)
    {
        ed->c.L_kalmorin.definirTexte(nom);
        option.definirValeur(true);
        ed->c.B_okouvrir.cliquer();
    }
    kal::MessageAffiche dernier() const
    {
        return banc.repondeur.messages().empty() ? kal::MessageAffiche{} : banc.repondeur.messages().back();
    }

    // SQL on a database file, through the program's own database layer: the program's connection
    // to a file it holds is the only one its locks let in. A query's values are written as SQLite
    // writes them as text (a Boolean 1 or 0, a real with its decimal point), columns joined by |,
    // records by ; and a file that cannot be read reads as nothing.
    static void ecrire(const QString& fichier, const QString& sql)
    {
        try {
            kal::bd::Base b = kal::bd::Base::ouvrir(fichier);
            b.ouvrirJeu(sql);
            b.fermer();
        } catch (const kal::Erreur& e) {
            ADD_FAILURE() << e.description().toStdString();
        }
    }
    static QString lire(const QString& fichier, const QString& sql)
    {
        QStringList lignes;
        try {
            kal::bd::Base b = kal::bd::Base::lire(fichier);
            kal::bd::JeuEnregistrements j = b.ouvrirJeu(sql);
            for (j.premier(); !j.fin(); j.suivant()) {
                QStringList cols;
                for (const QString& c : j.champs())
                    cols << texteSql(j.valeur(c));
                lignes << cols.join(QLatin1Char('|'));
            }
            b.fermer();
        } catch (const kal::Erreur&) {
            // Nothing read: the caller compares what it expected with nothing.
        }
        return lignes.join(QLatin1Char(';'));
    }
    static QString texteSql(const QVariant& v)
    {
        if (!v.isValid() || v.isNull())
            return {};
        switch (v.typeId()) {
        case QMetaType::Bool: return v.toBool() ? QStringLiteral("1") : QStringLiteral("0");
        case QMetaType::Float:
        case QMetaType::Double: {
            const double d = v.toDouble();
            if (d == std::floor(d) && std::fabs(d) < 1e15)
                return QString::number(qint64(d)) + QStringLiteral(".0");
            return QString::number(d, 'g', 15);
        }
        default: return v.toString();
        }
    }

    static QByteArray octets(const QString& chemin)
    {
        QFile f(chemin);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<absent>");
    }
    static QStringList noms(const QString& dossier)
    {
        return QDir(dossier).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::Name);
    }
    // Everything under a folder, links not followed: path -> bytes, "<dossier>" or the link's target.
    static std::map<QString, QByteArray> arbre(const QString& dossier)
    {
        std::map<QString, QByteArray> r;
        QDirIterator it(dossier, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                        QDirIterator::Subdirectories);
        while (it.hasNext()) {
            const QString c = it.next();
            const QFileInfo i = it.fileInfo();
            const QString rel = QDir(dossier).relativeFilePath(c);
            if (i.isSymLink())
                r[rel] = "-> " + i.symLinkTarget().toUtf8();
            else if (i.isDir())
                r[rel] = "<dossier>";
            else
                r[rel] = octets(c);
        }
        return r;
    }
};

// The names a user may type that would leave persopag, or mean nothing there.
inline QStringList nomsDangereux()
{
    return {QStringLiteral(".."),         QStringLiteral("."),          QStringLiteral("../utilphot"),
            QStringLiteral("a/b"),        QStringLiteral("x") + QChar(0) + QStringLiteral("y"),
            QString(300, QLatin1Char('a')), QStringLiteral("..\\..\\x"), QStringLiteral(".cache"),
            QStringLiteral("demi") + QChar(0xD800)};
}

}  // namespace kaltest
