#include "platform/dialogs/dialoguepolice.h"

#include "platform/controls/controles.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFontDatabase>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QLocale>
#include <QPixmap>
#include <QVBoxLayout>

#include <algorithm>

namespace kal {

namespace {

const QStringList& nomsStyles()
{
    static const QStringList s{QStringLiteral("Normal"), QStringLiteral("Italique"), QStringLiteral("Gras"),
                               QStringLiteral("Gras Italique")};
    return s;
}

const QList<int>& taillesProposees()
{
    static const QList<int> t{8, 9, 10, 11, 12, 14, 16, 18, 20, 22, 24, 26, 28, 36, 48, 72};
    return t;
}

QString texteTaille(double t)
{
    // 10 or 10,5: the size as the person types it.
    return QLocale().toString(t, 'g', 6);
}

}  // namespace

const std::vector<std::pair<int, QString>>& DialoguePolice::couleursStandard()
{
    static const std::vector<std::pair<int, QString>> c{
        {0x000000, QStringLiteral("Noir")},        {0x000080, QStringLiteral("Bordeaux")},
        {0x008000, QStringLiteral("Vert")},        {0x008080, QStringLiteral("Olive")},
        {0x800000, QStringLiteral("Bleu marine")}, {0x800080, QStringLiteral("Violet")},
        {0x808000, QStringLiteral("Sarcelle")},    {0x808080, QStringLiteral("Gris")},
        {0xC0C0C0, QStringLiteral("Argent")},      {0x0000FF, QStringLiteral("Rouge")},
        {0x00FF00, QStringLiteral("Citron vert")}, {0x00FFFF, QStringLiteral("Jaune")},
        {0xFF0000, QStringLiteral("Bleu")},        {0xFF00FF, QStringLiteral("Fuchsia")},
        {0xFFFF00, QStringLiteral("Bleu clair")},  {0xFFFFFF, QStringLiteral("Blanc")},
    };
    return c;
}

QStringList DialoguePolice::nomsProposes()
{
    QStringList noms{QStringLiteral("Arial"), QStringLiteral("Courier New"), QStringLiteral("MS Sans Serif"),
                     QStringLiteral("Times New Roman")};
    for (const QString& f : QFontDatabase::families())
        if (!QFontDatabase::isPrivateFamily(f))
            noms.append(f);
    noms.removeDuplicates();
    std::sort(noms.begin(), noms.end(), [](const QString& a, const QString& b) {
        return QString::compare(a, b, Qt::CaseInsensitive) < 0;
    });
    return noms;
}

DialoguePolice::DialoguePolice(QWidget* parent, bool effets) : QDialog(parent)
{
    installerSubstitutionsPolices();
    setWindowTitle(QStringLiteral("Police"));
    setModal(true);

    nom_ = new QLineEdit(this);
    noms_ = new QListWidget(this);
    noms_->addItems(nomsProposes());
    styles_ = new QListWidget(this);
    styles_->addItems(nomsStyles());
    taille_ = new QLineEdit(this);
    tailles_ = new QListWidget(this);
    for (int t : taillesProposees())
        tailles_->addItem(QString::number(t));

    effets_ = new QGroupBox(QStringLiteral("Effets"), this);
    barre_ = new QCheckBox(QStringLiteral("Barré"), effets_);
    souligne_ = new QCheckBox(QStringLiteral("Souligné"), effets_);
    couleurs_ = new QComboBox(effets_);
    for (const auto& [rvb, nom] : couleursStandard()) {
        QPixmap carre(12, 12);
        carre.fill(couleurDepuisRvb(rvb));
        couleurs_->addItem(QIcon(carre), nom, rvb);
    }
    auto* grilleEffets = new QVBoxLayout(effets_);
    grilleEffets->addWidget(barre_);
    grilleEffets->addWidget(souligne_);
    grilleEffets->addWidget(new QLabel(QStringLiteral("Couleur :"), effets_));
    grilleEffets->addWidget(couleurs_);
    effets_->setVisible(effets);

    auto* cadreExemple = new QGroupBox(QStringLiteral("Exemple"), this);
    exemple_ = new QLabel(QStringLiteral("AaBbYyZz"), cadreExemple);
    exemple_->setAlignment(Qt::AlignCenter);
    exemple_->setMinimumSize(180, 60);
    auto* boiteExemple = new QVBoxLayout(cadreExemple);
    boiteExemple->addWidget(exemple_);

    auto* boutons = new QDialogButtonBox(this);
    boutons->addButton(QStringLiteral("OK"), QDialogButtonBox::AcceptRole);
    boutons->addButton(QStringLiteral("Annuler"), QDialogButtonBox::RejectRole);
    connect(boutons, &QDialogButtonBox::accepted, this, [this] {
        lireChamps();
        accept();
    });
    connect(boutons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto* grille = new QGridLayout(this);
    grille->addWidget(new QLabel(QStringLiteral("Police :"), this), 0, 0);
    grille->addWidget(new QLabel(QStringLiteral("Style :"), this), 0, 1);
    grille->addWidget(new QLabel(QStringLiteral("Taille :"), this), 0, 2);
    grille->addWidget(nom_, 1, 0);
    grille->addWidget(styles_, 1, 1, 2, 1);
    grille->addWidget(taille_, 1, 2);
    grille->addWidget(noms_, 2, 0);
    grille->addWidget(tailles_, 2, 2);
    grille->addWidget(effets_, 3, 0);
    grille->addWidget(cadreExemple, 3, 1, 1, 2);
    grille->addWidget(boutons, 4, 0, 1, 3);

    connect(noms_, &QListWidget::currentTextChanged, this, [this](const QString& t) {
        if (maj_ || t.isEmpty())
            return;
        choix_.police.nom = t;
        afficher();
    });
    connect(nom_, &QLineEdit::editingFinished, this, [this] {
        if (!maj_) {
            lireChamps();
            afficher();
        }
    });
    connect(styles_, &QListWidget::currentRowChanged, this, [this](int r) {
        if (maj_ || r < 0)
            return;
        choix_.police.italique = r == 1 || r == 3;
        choix_.police.gras = r >= 2;
        afficher();
    });
    connect(tailles_, &QListWidget::currentTextChanged, this, [this](const QString& t) {
        if (maj_ || t.isEmpty())
            return;
        choix_.police.taille = t.toDouble();
        afficher();
    });
    connect(taille_, &QLineEdit::editingFinished, this, [this] {
        if (!maj_) {
            lireChamps();
            afficher();
        }
    });
    connect(barre_, &QCheckBox::toggled, this, [this](bool v) {
        if (!maj_) {
            choix_.police.barre = v;
            afficher();
        }
    });
    connect(souligne_, &QCheckBox::toggled, this, [this](bool v) {
        if (!maj_) {
            choix_.police.souligne = v;
            afficher();
        }
    });
    connect(couleurs_, &QComboBox::currentIndexChanged, this, [this](int i) {
        if (!maj_ && i >= 0) {
            choix_.couleur = couleurs_->itemData(i).toInt();
            afficher();
        }
    });
    afficher();
}

void DialoguePolice::definirChoix(const ChoixPolice& c)
{
    choix_ = c;
    choix_.couleur &= 0xFFFFFF;
    afficher();
}

// The typed name and size: a name typed by the person is taken as it stands; a size that is
// not a number between 1 and 1638 points leaves the size as it was.
void DialoguePolice::lireChamps()
{
    const QString nom = nom_->text().trimmed();
    if (!nom.isEmpty())
        choix_.police.nom = nom;
    QString t = taille_->text().trimmed();
    t.replace(QLatin1Char(','), QLatin1Char('.'));
    bool ok = false;
    const double v = t.toDouble(&ok);
    if (ok && v >= 1.0 && v <= 1638.0)
        choix_.police.taille = v;
}

void DialoguePolice::afficher()
{
    maj_ = true;
    const Police& p = choix_.police;
    nom_->setText(p.nom);
    auto trouves = noms_->findItems(p.nom, Qt::MatchFixedString);
    if (trouves.isEmpty()) {
        noms_->insertItem(0, p.nom);
        trouves = noms_->findItems(p.nom, Qt::MatchFixedString);
    }
    noms_->setCurrentItem(trouves.first());
    styles_->setCurrentRow((p.gras ? 2 : 0) + (p.italique ? 1 : 0));
    taille_->setText(texteTaille(p.taille));
    const auto t = tailles_->findItems(QString::number(p.taille), Qt::MatchExactly);
    if (t.isEmpty())
        tailles_->setCurrentRow(-1);
    else
        tailles_->setCurrentItem(t.first());
    barre_->setChecked(p.barre);
    souligne_->setChecked(p.souligne);
    while (couleurs_->count() > static_cast<int>(couleursStandard().size()))
        couleurs_->removeItem(couleurs_->count() - 1);
    int i = couleurs_->findData(choix_.couleur);
    if (i < 0) {
        // A colour outside the sixteen is offered as it is.
        QPixmap carre(12, 12);
        carre.fill(couleurDepuisRvb(choix_.couleur));
        couleurs_->addItem(QIcon(carre), QStringLiteral("Personnalisée"), choix_.couleur);
        i = couleurs_->count() - 1;
    }
    couleurs_->setCurrentIndex(i);

    // The sample stays readable inside the dialog, however large the size.
    Police echantillon = p;
    echantillon.taille = std::min(p.taille, 36.0);
    exemple_->setFont(policeEcran(echantillon));
    QPalette pal = exemple_->palette();
    pal.setColor(QPalette::WindowText, couleurDepuisRvb(choix_.couleur));
    exemple_->setPalette(pal);
    maj_ = false;
}

}  // namespace kal
