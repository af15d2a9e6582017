#include "platform/scanner/choixsource.h"

#include <QApplication>
#include <QDialogButtonBox>
#include <QGuiApplication>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

namespace kal {

namespace {
RepondeurSource* repondeur_ = nullptr;
}

void installerRepondeurSource(RepondeurSource* r) { repondeur_ = r; }

DialogueSource::DialogueSource(const std::vector<AppareilScan>& appareils, int actuel, QWidget* parent)
    : QDialog(parent), liste_(new QListWidget(this))
{
    setWindowTitle(QStringLiteral("Sélection de la source"));
    setModal(true);
    auto* disposition = new QVBoxLayout(this);
    disposition->addWidget(new QLabel(QStringLiteral("Sources :"), this));
    for (const AppareilScan& a : appareils)
        liste_->addItem(a.libelle());
    liste_->setCurrentRow(actuel >= 0 && actuel < int(appareils.size()) ? actuel : 0);
    disposition->addWidget(liste_);
    auto* boutons = new QDialogButtonBox(this);
    boutons->addButton(QStringLiteral("Sélectionner"), QDialogButtonBox::AcceptRole)->setDefault(true);
    boutons->addButton(QStringLiteral("Annuler"), QDialogButtonBox::RejectRole);
    disposition->addWidget(boutons);
    connect(boutons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(boutons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(liste_, &QListWidget::itemDoubleClicked, this, &QDialog::accept);
}

int DialogueSource::choix() const { return liste_->currentRow(); }

std::optional<int> demanderSource(const std::vector<AppareilScan>& appareils, int actuel, QWidget* fenetre)
{
    std::optional<int> r;
    if (repondeur_) {
        r = repondeur_->choisir(appareils, actuel, fenetre);
    } else {
        // The person chooses with the ordinary arrow, whatever pointer the caller has set.
        const bool curseur = qobject_cast<QGuiApplication*>(QCoreApplication::instance()) != nullptr;
        if (curseur)
            QGuiApplication::setOverrideCursor(Qt::ArrowCursor);
        DialogueSource d(appareils, actuel, fenetre);
        if (d.exec() == QDialog::Accepted)
            r = d.choix();
        if (curseur)
            QGuiApplication::restoreOverrideCursor();
    }
    if (r && (*r < 0 || *r >= int(appareils.size())))
        r.reset();
    return r;
}

std::optional<int> RepondeurSourceEnregistreur::choisir(const std::vector<AppareilScan>& appareils, int actuel,
                                                        QWidget* fenetre)
{
    Demande d;
    for (const AppareilScan& a : appareils)
        d.libelles.append(a.libelle());
    d.actuel = actuel;
    d.fenetre = fenetre;
    demandes_.push_back(d);
    if (reponses_.empty())
        return std::nullopt;
    const std::optional<int> r = reponses_.front();
    reponses_.pop_front();
    return r;
}

}  // namespace kal
