// The database layer on any text: the translation of record sources and the reading of search
// criteria, then the sources of the program's shapes (a table name, or SELECT * FROM a table
// with any clauses) run on a real work database, searched, edited and updated.
//
// Input: lines of text. Line 1 is the record source, line 2 a criterion, line 3 a field name,
// line 4 a value to put in it.
//
// Sources that join tables, call functions or nest queries are translated but not run: their
// cost is the engine's own (a join of six tables of 32 records is a billion rows), not the layer's.
#include "commun.h"

#include "platform/base/erreur.h"
#include "platform/database/basedonnees.h"

#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>

#include <cstdlib>

using namespace kal::bd;

namespace {

QString g_base;

void faireBase()
{
    char modele[] = "/tmp/kal-fuzz-sql-XXXXXX";
    if (!::mkdtemp(modele))
        std::abort();
    g_base = QString::fromLocal8Bit(modele) + QStringLiteral("/kalmorin.mdb");
    std::atexit([] { QDir(QFileInfo(g_base).path()).removeRecursively(); });
    Base b = Base::creer(g_base);
    b.creerTable(QStringLiteral("kalmorin"), {{QStringLiteral("numero"), TypeChamp::Long, 0},
                                              {QStringLiteral("occup"), TypeChamp::Booleen, false},
                                              {QStringLiteral("octet"), TypeChamp::Octet, 0},
                                              {QStringLiteral("rot"), TypeChamp::Entier, 0},
                                              {QStringLiteral("fontsize"), TypeChamp::Simple, 12},
                                              {QStringLiteral("widthimp"), TypeChamp::Double, 0},
                                              {QStringLiteral("fontname"), TypeChamp::Texte, QStringLiteral("Arial")},
                                              {QStringLiteral("note"), TypeChamp::Memo, {}}});
    JeuEnregistrements j = b.ouvrirJeu(QStringLiteral("kalmorin"));
    for (int i = 0; i < 32; ++i) {
        j.ajouterNouveau();
        j.mettre(QStringLiteral("numero"), i);
        j.mettre(QStringLiteral("occup"), i % 3 == 0);
        j.miseAJour();
    }
    b.fermer();
}

bool aLancer(const QString& source)
{
    static const QRegularExpression nom(QStringLiteral(R"(^\s*(\[[^\]]+\]|[A-Za-z_][A-Za-z0-9_]*)\s*$)"));
    static const QRegularExpression select(QStringLiteral(R"(^\s*SELECT\s+\*\s+FROM\s+(\[[^\]]+\]|[A-Za-z_][A-Za-z0-9_]*)(.*)$)"),
                                           QRegularExpression::CaseInsensitiveOption |
                                               QRegularExpression::DotMatchesEverythingOption);
    if (nom.match(source).hasMatch())
        return true;
    const auto m = select.match(source);
    if (!m.hasMatch())
        return false;
    const QString suite = m.captured(2);
    return !suite.contains(QLatin1Char(',')) && !suite.contains(QLatin1Char('(')) &&
           !suite.contains(QLatin1String("JOIN"), Qt::CaseInsensitive) &&
           !suite.contains(QLatin1String("SELECT"), Qt::CaseInsensitive);
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    kalfuzz::demarrerQt();
    faireBase();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* d, size_t n)
{
    const QStringList lignes =
        QString::fromUtf8(reinterpret_cast<const char*>(d), static_cast<qsizetype>(n)).split(QLatin1Char('\n'));
    const QString source = lignes.value(0);
    const QString critere = lignes.value(1);
    const QString champ = lignes.value(2);
    const QString valeur = lignes.value(3);

    traduireSql(source);
    try {
        const Critere c = lireCritere(critere);
        for (const QVariant& v : {QVariant(), QVariant(7), QVariant(true), QVariant(2.5), QVariant(QStringLiteral("Arial"))})
            satisfait(c, v);
    } catch (const kal::Erreur&) {
    }
    if (!aLancer(source))
        return 0;

    static SourceDonnees src;
    src.definirBase(g_base);
    src.definirSource(source);
    try {
        src.actualiser();
        JeuEnregistrements& j = src.jeu();
        j.chercherPremier(critere);
        if (j.sansCorrespondance())
            return 0;
        j.valeur(champ);
        j.modifier();
        j.mettre(champ, valeur);
        j.miseAJour();
        j.valeur(champ);
    } catch (const kal::Erreur&) {
    }
    return 0;
}
