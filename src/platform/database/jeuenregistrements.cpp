// A record set: its records walked in order, searched by a criterion, edited and added to, each
// update committed to the file at once (how it is kept sound: moteursqlite.cpp).
#include "platform/database/basedonnees.h"

#include "platform/base/erreur.h"
#include "platform/database/interne.h"

namespace kal::bd {

using namespace interne;

namespace {

constexpr int EnregistrementSupprime = 3167;

}  // namespace

// ------------------------------------------------------------------------- JeuEnregistrements

void JeuEnregistrements::verifierOuvert() const
{
    dbOuverte(c_);
    suivreFichier();
}

// A rollback on the connection (a write or a transaction that failed, one rolled back) may have
// undone changes these records were read with, or records added since: they are read again from
// the file, so that a step never reads what was not stored. A record set of another SQL text
// cannot be written and keeps what it read. A read that fails leaves them for the next use.
void JeuEnregistrements::suivreFichier() const
{
    const Moteur* m = c_ ? c_->m.get() : nullptr;
    // An edit under way keeps its record where it is; the records are read again once it ends.
    if (!m || !m->db || (m->annulations == vu_ && !aRelire_) || mode_ != Mode::Aucun)
        return;
    if (!table_.isEmpty()) {
        std::vector<Ligne> lues;
        qsizetype pos = pos_ < 0 ? -1 : 0;
        try {
            for (size_t i = 0; i < lignes_.size(); ++i) {
                Ligne l = lignes_[i];
                if (!lireLigne(l))
                    continue;
                if (qsizetype(i) < pos_)
                    ++pos;
                lues.push_back(std::move(l));
            }
        } catch (const Erreur&) {
            return;   // read again at the next use; the failure is the reading step's to report
        }
        lignes_ = std::move(lues);
        pos_ = pos;
    }
    vu_ = m->annulations;
    aRelire_ = false;
}

bool JeuEnregistrements::fin() const
{
    suivreFichier();
    return lignes_.empty() || pos_ >= qsizetype(lignes_.size());
}
bool JeuEnregistrements::debut() const
{
    suivreFichier();
    return lignes_.empty() || pos_ < 0;
}
int JeuEnregistrements::nombre() const
{
    suivreFichier();
    return int(lignes_.size());
}

void JeuEnregistrements::premier()
{
    verifierOuvert();
    sortirEdition();
    pos_ = 0;
}

void JeuEnregistrements::dernier()
{
    verifierOuvert();
    sortirEdition();
    pos_ = lignes_.empty() ? 0 : qsizetype(lignes_.size()) - 1;
}

void JeuEnregistrements::suivant()
{
    verifierOuvert();
    if (fin())
        throw Erreur(err::AucunEnregistrement, QStringLiteral("déjà après le dernier enregistrement"));
    sortirEdition();
    ++pos_;
}

void JeuEnregistrements::precedent()
{
    verifierOuvert();
    if (debut())
        throw Erreur(err::AucunEnregistrement, QStringLiteral("déjà avant le premier enregistrement"));
    sortirEdition();
    --pos_;
}

void JeuEnregistrements::chercherPremier(const QString& critere)
{
    verifierOuvert();
    const Critere c = lireCritere(critere);
    int idx = -1;
    for (size_t i = 0; i < colonnes_.size(); ++i)
        if (colonnes_[i].nom.compare(c.champ, Qt::CaseInsensitive) == 0) {
            idx = int(i);
            break;
        }
    if (idx < 0)
        throw Erreur(err::CritereInvalide, QStringLiteral("champ %1 inconnu dans le critère « %2 »").arg(c.champ, critere));
    sortirEdition();
    for (size_t i = 0; i < lignes_.size(); ++i) {
        if (satisfait(c, lignes_[i].valeurs[size_t(idx)])) {
            pos_ = qsizetype(i);
            sansCorrespondance_ = false;
            return;
        }
    }
    sansCorrespondance_ = true;
    pos_ = qsizetype(lignes_.size());   // no current record: nothing can be written by mistake
}

QStringList JeuEnregistrements::champs() const
{
    QStringList n;
    for (const auto& c : colonnes_)
        n << c.nom;
    return n;
}

bool JeuEnregistrements::aChamp(const QString& nom) const
{
    for (const auto& c : colonnes_)
        if (c.nom.compare(nom, Qt::CaseInsensitive) == 0)
            return true;
    return false;
}

int JeuEnregistrements::indexChamp(const QString& nom) const
{
    for (size_t i = 0; i < colonnes_.size(); ++i)
        if (colonnes_[i].nom.compare(nom, Qt::CaseInsensitive) == 0)
            return int(i);
    const QString base = c_ ? c_->chemin : QString();
    if (table_.isEmpty())
        throw Erreur(err::ChampAbsent,
                     QStringLiteral("Le champ %1 est absent des enregistrements lus dans la base de données %2. %3").arg(nom, base, remede()));
    throw Erreur(err::ChampAbsent, QStringLiteral("Le champ %1 est absent de la table %2 de la base de données %3. %4")
                                       .arg(nom, table_, base, remede()));
}

TypeChamp JeuEnregistrements::typeChamp(const QString& nom) const { return colonnes_[size_t(indexChamp(nom))].type; }

void JeuEnregistrements::verifierCourant() const
{
    if (fin() || debut())
        throw Erreur(err::AucunEnregistrement, QStringLiteral("aucun enregistrement en cours"));
}

QVariant JeuEnregistrements::valeur(const QString& champ) const
{
    verifierOuvert();
    const int i = indexChamp(champ);
    if (mode_ != Mode::Aucun)
        return tampon_[size_t(i)];
    verifierCourant();
    return lignes_[size_t(pos_)].valeurs[size_t(i)];
}

bool JeuEnregistrements::lireLigne(Ligne& l) const
{
    QStringList noms;
    for (const auto& c : colonnes_)
        noms << nomQuote(c.nom);
    Requete r(dbOuverte(c_), QStringLiteral("SELECT %1 FROM %2 WHERE rowid = ?1").arg(noms.join(QLatin1Char(',')), nomQuote(table_)));
    r.lier(1, l.rowid);
    if (!r.pas())
        return false;
    for (size_t i = 0; i < colonnes_.size(); ++i)
        l.valeurs[i] = depuisStockage(colonnes_[i].type, r.brut(int(i)));
    return true;
}

void JeuEnregistrements::relireLigne(Ligne& l) const
{
    if (!lireLigne(l))
        throw Erreur(EnregistrementSupprime, QStringLiteral("l'enregistrement a été supprimé"));
}

void JeuEnregistrements::modifier()
{
    verifierOuvert();
    if (table_.isEmpty())
        throw Erreur(err::LectureSeule, QStringLiteral("ce jeu d'enregistrements ne peut pas être modifié"));
    verifierCourant();
    sortirEdition();
    relireLigne(lignes_[size_t(pos_)]);   // edit what the file holds now
    tampon_ = lignes_[size_t(pos_)].valeurs;
    modifies_.assign(colonnes_.size(), false);
    mode_ = Mode::Edition;
}

void JeuEnregistrements::ajouterNouveau()
{
    verifierOuvert();
    if (table_.isEmpty())
        throw Erreur(err::LectureSeule, QStringLiteral("ce jeu d'enregistrements ne peut pas être modifié"));
    sortirEdition();
    tampon_.assign(colonnes_.size(), QVariant());
    modifies_.assign(colonnes_.size(), false);
    mode_ = Mode::Ajout;
}

void JeuEnregistrements::mettre(const QString& champ, const QVariant& v)
{
    verifierOuvert();
    const int i = indexChamp(champ);
    if (mode_ == Mode::Aucun)
        throw Erreur(err::SansEdition, QStringLiteral("écriture du champ %1 sans modification en cours").arg(champ));
    const Colonne& c = colonnes_[size_t(i)];
    tampon_[size_t(i)] = depuisStockage(c.type, versStockage(c.type, v, c.nom));
    modifies_[size_t(i)] = true;
}

void JeuEnregistrements::annulerMiseAJour() { sortirEdition(); }

void JeuEnregistrements::miseAJour()
{
    sqlite3* db = dbOuverte(c_);
    if (mode_ == Mode::Aucun)
        throw Erreur(err::SansEdition, QStringLiteral("mise à jour sans modification en cours"));
    // An update that fails drops its edit: what was refused cannot be stored later by mistake.
    struct Sortie {
        JeuEnregistrements& j;
        ~Sortie() { j.sortirEdition(); }
    } sortie{*this};
    preparerEcriture(*c_);
    QStringList noms;
    std::vector<QVariant> valeurs;
    for (size_t i = 0; i < colonnes_.size(); ++i)
        if (modifies_[i]) {
            noms << nomQuote(colonnes_[i].nom);
            valeurs.push_back(versStockage(colonnes_[i].type, tampon_[i], colonnes_[i].nom));
        }
    // The record as stored, read back; a read that fails after the write was stored leaves the
    // values put, to be read again at the next use.
    auto relue = [&](Ligne& l) {
        try {
            relireLigne(l);
        } catch (const Erreur&) {
            // The write is stored; the reading step that follows reports a file that cannot be read.
            for (size_t i = 0; i < colonnes_.size(); ++i)
                if (modifies_[i])
                    l.valeurs[i] = tampon_[i];
            aRelire_ = true;
        }
    };
    if (mode_ == Mode::Edition) {
        if (!noms.isEmpty()) {
            QStringList affect;
            for (qsizetype i = 0; i < noms.size(); ++i)
                affect << QStringLiteral("%1 = ?%2").arg(noms[i]).arg(i + 1);
            ecriture(*c_, [&] {
                Requete r(db, QStringLiteral("UPDATE %1 SET %2 WHERE rowid = ?%3")
                                  .arg(nomQuote(table_), affect.join(QStringLiteral(", ")))
                                  .arg(noms.size() + 1));
                for (size_t i = 0; i < valeurs.size(); ++i)
                    r.lier(int(i) + 1, valeurs[i]);
                r.lier(int(valeurs.size()) + 1, lignes_[size_t(pos_)].rowid);
                r.pas();
                if (sqlite3_changes(db) != 1)
                    throw Erreur(EnregistrementSupprime, QStringLiteral("l'enregistrement a été supprimé"));
            });
            relue(lignes_[size_t(pos_)]);
        }
    } else {
        QString sql;
        if (noms.isEmpty()) {
            sql = QStringLiteral("INSERT INTO %1 DEFAULT VALUES").arg(nomQuote(table_));
        } else {
            QStringList marques;
            for (qsizetype i = 0; i < noms.size(); ++i)
                marques << QStringLiteral("?%1").arg(i + 1);
            sql = QStringLiteral("INSERT INTO %1 (%2) VALUES (%3)")
                      .arg(nomQuote(table_), noms.join(QLatin1Char(',')), marques.join(QLatin1Char(',')));
        }
        Ligne l;
        ecriture(*c_, [&] {
            Requete r(db, sql);
            for (size_t i = 0; i < valeurs.size(); ++i)
                r.lier(int(i) + 1, valeurs[i]);
            r.pas();
            l.rowid = sqlite3_last_insert_rowid(db);
        });
        l.valeurs.resize(colonnes_.size());
        relue(l);   // the column defaults fill what was not given
        // The record set gains the record at its end; the current record stays what it was.
        const bool aLaFin = fin();
        lignes_.push_back(std::move(l));
        if (aLaFin)
            pos_ = qsizetype(lignes_.size());
    }
}

}  // namespace kal::bd
