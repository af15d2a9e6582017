#include "editor/contexteediteur.h"

#include "layout/disposition.h"
#include "imaging/imagerie.h"
#include "pagefiles/fichierspages.h"
#include "pagemodel/objets.h"
#include "printing/impression.h"
#include "text/textes.h"

namespace kal {

ContexteEditeur::ContexteEditeur(ReglagesPartages& p, TypeEditeur t, ControlesEditeur& ctl, Imprimante& imp, Fenetre& f)
    : partage(p),
      etat(t),
      c(ctl),
      imprimante(imp),
      fenetre(f),
      objets_(std::make_unique<ModeleObjets>(*this)),
      disposition_(std::make_unique<Disposition>(*this)),
      imagerie_(std::make_unique<Imagerie>(*this)),
      impression_(std::make_unique<Impression>(*this)),
      textes_(std::make_unique<Textes>(*this)),
      fichierspages_(std::make_unique<FichiersPages>(*this))
{
}

ContexteEditeur::~ContexteEditeur() = default;

void ContexteEditeur::enregistrerCommande(const QString& entree, Commande commande)
{
    commandes_[entree] = std::move(commande);
}

const ContexteEditeur::Commande* ContexteEditeur::commande(const QString& entree) const
{
    const auto it = commandes_.find(entree);
    return it == commandes_.end() || !it->second ? nullptr : &it->second;
}

void ContexteEditeur::brancher()
{
    objets_->brancher();
    disposition_->brancher();
    imagerie_->brancher();
    impression_->brancher();
    textes_->brancher();
    fichierspages_->brancher();
}

}  // namespace kal
