#pragma once
// A loaded editor with what the personal pages work on: real photos placed through the open
// road, a text-image made directly (its record, its picture and its RTF), the pages panel driven
// through its controls, and the saved databases read and changed with SQLite itself.
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
#include <sqlite3.h>

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

    // SQLite on a database file.
    static void ecrire(const QString& fichier, const QString& sql)
    {
        sqlite3* db = nullptr;
        ASSERT_EQ(sqlite3_open(fichier.toUtf8().constData(), &db), SQLITE_OK);
        char* erreur = nullptr;
        const int rc = sqlite3_exec(db, sql.toUtf8().constData(), nullptr, nullptr, &erreur);
        EXPECT_EQ(rc, SQLITE_OK) << (erreur ? erreur : "");
        sqlite3_free(erreur);
        sqlite3_close(db);
    }
    static QString lire(const QString& fichier, const QString& sql)
    {
        sqlite3* db = nullptr;
        QStringList lignes;
        if (sqlite3_open_v2(fichier.toUtf8().constData(), &db, SQLITE_OPEN_READONLY, nullptr) == SQLITE_OK) {
            sqlite3_stmt* st = nullptr;
            if (sqlite3_prepare_v2(db, sql.toUtf8().constData(), -1, &st, nullptr) == SQLITE_OK) {
                while (sqlite3_step(st) == SQLITE_ROW) {
                    QStringList cols;
                    for (int i = 0; i < sqlite3_column_count(st); ++i)
                        cols << QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(st, i)));
                    lignes << cols.join(QLatin1Char('|'));
                }
            }
            sqlite3_finalize(st);
        }
        sqlite3_close(db);
        return lignes.join(QLatin1Char(';'));
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
