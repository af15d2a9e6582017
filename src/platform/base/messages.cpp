#include "platform/base/messages.h"

#include <QApplication>
#include <QAbstractButton>
#include <QLibraryInfo>
#include <QFontMetrics>
#include <QElapsedTimer>
#include <QGridLayout>
#include <QKeyEvent>
#include <QMessageBox>
#include <QCursor>
#include <QMouseEvent>
#include <QScrollBar>
#include <QSpacerItem>
#include <QTranslator>
#include <QWindow>

#include <utility>

namespace kal {

static Repondeur* g_repondeur = nullptr;

QString lignesMessage(const QStringList& lignes) { return lignes.join(QLatin1Char('\r')); }

void installerRepondeur(Repondeur* r) { g_repondeur = r; }

static int premiereReponse(int style)
{
    switch (style & 7) {
    case msg::OuiNon:
    case msg::OuiNonAnnuler:
        return msg::RepOui;
    default:
        return msg::RepOK;
    }
}

int RepondeurEnregistreur::repondre(const MessageAffiche& m)
{
    messages_.push_back(m);
    if (!reponses_.empty()) {
        const int r = reponses_.front();
        reponses_.pop_front();
        return r;
    }
    return premiereReponse(m.style);
}

namespace {

// Keys and clicks the user gave before the box could be seen do not answer it: typed ahead while
// the program was busy, they wait in the queue and would reach the box the moment it opens,
// closing it before it was read; a key held down repeats on its own. Only input given once the
// box is on the screen counts.
class GardeSaisie : public QObject {
public:
    explicit GardeSaisie(QMessageBox& box) : box_(box)
    {
        ouverture_.start();
        qApp->installEventFilter(this);
    }
    ~GardeSaisie() override { qApp->removeEventFilter(this); }

protected:
    bool eventFilter(QObject* o, QEvent* e) override
    {
        switch (e->type()) {
        case QEvent::Expose:
            if (!vue_ && box_.windowHandle() && o == box_.windowHandle() && box_.windowHandle()->isExposed())
                vue_ = true;
            return false;
        case QEvent::KeyRelease: {
            const auto* k = static_cast<QKeyEvent*>(e);
            relachee_ = k->key();
            instantRelache_ = k->timestamp();
            return !vue();
        }
        case QEvent::KeyPress:
        case QEvent::ShortcutOverride: {
            // The system repeats a held key as a release and a press at the same instant, and
            // does not always mark them as repeats.
            const auto* k = static_cast<QKeyEvent*>(e);
            const bool repetee = k->isAutoRepeat() || (k->key() == relachee_ && k->timestamp() == instantRelache_);
            return !vue() || repetee;
        }
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonRelease:
        case QEvent::MouseButtonDblClick:
            return !vue();
        default:
            return false;
        }
    }

private:
    QMessageBox& box_;
    bool vue_ = false;
    QElapsedTimer ouverture_;
    int relachee_ = 0;                 // the last key released, and when (the system's clock)
    unsigned long long instantRelache_ = 0;
    // Where nothing tells the box it is on the screen, it counts as seen a second after it opened.
    bool vue() const { return vue_ || ouverture_.elapsed() > 1000; }
};

// A box opened while a scroll bar's arrow or trough is held down (its step stored on a full disk,
// say): the release then goes to no one, as the box takes the input, and the bar would go on
// repeating its step behind the box, and open it again once it is closed. Its press ends first.
void relacherBarres()
{
    if (QGuiApplication::mouseButtons() == Qt::NoButton)
        return;
    for (QWidget* w : QApplication::allWidgets()) {
        auto* barre = qobject_cast<QScrollBar*>(w);
        if (!barre || !barre->isVisible())
            continue;
        const QPointF ici = barre->mapFromGlobal(QCursor::pos());
        QMouseEvent relache(QEvent::MouseButtonRelease, ici, barre->mapToGlobal(ici), Qt::LeftButton, Qt::NoButton,
                            Qt::NoModifier);
        QCoreApplication::sendEvent(barre, &relache);
    }
}

}  // namespace

int MsgBox(const QString& texte, int style, const QString& titre)
{
    MessageAffiche m{titre, texte, style};
    if (g_repondeur)
        return g_repondeur->repondre(m);
    relacherBarres();

    QMessageBox box;
    box.setWindowTitle(titre);
    QString affiche = texte;
    affiche.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    box.setText(affiche);
    switch (style & 0x70) {
    case msg::Critique: box.setIcon(QMessageBox::Critical); break;
    case msg::Question: box.setIcon(QMessageBox::Question); break;
    case msg::Exclamation: box.setIcon(QMessageBox::Warning); break;
    case msg::Information: box.setIcon(QMessageBox::Information); break;
    default: box.setIcon(QMessageBox::NoIcon); break;
    }
    switch (style & 7) {
    case msg::OKAnnuler:
        box.setStandardButtons(QMessageBox::Ok | QMessageBox::Cancel);
        break;
    case msg::OuiNonAnnuler:
        box.setStandardButtons(QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
        break;
    case msg::OuiNon:
        box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
        break;
    default:
        box.setStandardButtons(QMessageBox::Ok);
        break;
    }
    // The buttons speak French whatever the desktop's language.
    const std::pair<QMessageBox::StandardButton, const char*> legendes[] = {
        {QMessageBox::Ok, "OK"}, {QMessageBox::Cancel, "Annuler"}, {QMessageBox::Yes, "Oui"}, {QMessageBox::No, "Non"}};
    for (const auto& [bouton, legende] : legendes)
        if (QAbstractButton* b = box.button(bouton))
            b->setText(QString::fromLatin1(legende));
    // The whole title stays readable in the window manager's title bar (its buttons and icon
    // take about 100 pixels): a box with a short text is widened to its title.
    QFont gras = box.font();
    gras.setBold(true);
    const int largeurTitre = QFontMetrics(gras).horizontalAdvance(titre) + 100;
    if (auto* grille = qobject_cast<QGridLayout*>(box.layout()))
        grille->addItem(new QSpacerItem(largeurTitre, 0, QSizePolicy::Minimum, QSizePolicy::Expanding),
                        grille->rowCount(), 0, 1, grille->columnCount());
    GardeSaisie garde(box);
    switch (box.exec()) {
    case QMessageBox::Cancel: return msg::RepAnnuler;
    case QMessageBox::Yes: return msg::RepOui;
    case QMessageBox::No: return msg::RepNon;
    default: return msg::RepOK;
    }
}

void installerTraductionsFrancaises()
{
    static QTranslator* traducteur = nullptr;
    if (traducteur || !QCoreApplication::instance())
        return;
    auto* t = new QTranslator(QCoreApplication::instance());
    if (t->load(QStringLiteral("qtbase_fr"), QLibraryInfo::path(QLibraryInfo::TranslationsPath)) &&
        QCoreApplication::installTranslator(t)) {
        traducteur = t;
        return;
    }
    delete t;
}

}  // namespace kal
